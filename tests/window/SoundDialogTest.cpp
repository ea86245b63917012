#include "DesktopWindowFixture.h"

#include "monitor/SettingsStore.h"
#include "sound/WaveFile.h"

#include <cmath>

namespace {

class SoundDialogTest : public DesktopWindowFixture {
protected:
    void SetUp() override
    {
        writeGbk(QStringLiteral("Ip.txt"), QStringLiteral("127.0.0.1:本机\r\n127.0.0.2:甲\r\n"));
        // The sound page opens on 甲, the default address.
        writeGbk(QStringLiteral("Para.ini"), QStringLiteral("[SndPara]\r\nDefSD=127.0.0.2:甲\r\n"));
        std::vector<qint16> tone(800);
        for (size_t i = 0; i < tone.size(); ++i)
            tone[i] = qint16(8000 * std::sin(i * 0.3));
        writeWaveFile(path(QStringLiteral("chime.wav")), PcmSound{8000, 1, tone}, 16);
    }

    // Turns to the page and clicks the field, and in the file dialog that opens types the name of
    // the sound and presses Return. Turning the page may already give the field the focus (and
    // open its dialog), as it does for an operator. Returns the files the dialog listed.
    QStringList chooseThroughTheDialog(QWidget* page, QWidget* field)
    {
        QStringList listed;
        bool handled = false;
        onFileDialog([&](QFileDialog* dialog) {
            listed = listedFiles(dialog);
            buttons.clear();
            for (const QPushButton* button : dialog->findChildren<QPushButton*>())
                if (button->isVisible())
                    buttons << QString(button->text()).remove(QRegularExpression(QStringLiteral("\\(&.\\)|&")));
            EXPECT_TRUE(typeAndEnter(QStringLiteral("chime.wav")));
            handled = true;
        });
        window->ui().PageControl1->setCurrentWidget(page);
        waitFor([&] { return handled; }, 500);
        if (!handled) {
            EXPECT_TRUE(click(field));
        }
        EXPECT_TRUE(waitFor([&] { return handled && !QApplication::activeModalWidget(); }, 20000))
            << "no file dialog came and went";
        return listed;
    }

    QStringList buttons; // the visible buttons of the last file dialog, without their mnemonics
};

TEST_F(SoundDialogTest, ASoundChosenInTheFileDialogIsStoredWhenTheDialogCloses)
{
    TfrmTarnwick& w = start();
    const WindowUi& ui = w.ui();
    const QString chime = path(QStringLiteral("chime.wav"));
    const QString key = QStringLiteral("127.0.0.2:甲");
    struct Case {
        QLineEdit* field;
        QWidget* page;
        QString section, key;
    } cases[] = {
        {ui.Edit4, ui.TabSheet2, QStringLiteral("Break"), key},
        {ui.Edit8, ui.TabSheet2, QStringLiteral("Bad"), key},
        {ui.Edit7, ui.TabSheet2, QStringLiteral("Slow"), key},
        {ui.netAlarmSD, ui.TabSheet5, QStringLiteral("NetPara"), QStringLiteral("AlarmSd")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.field->objectName().toStdString());
        const QStringList listed = chooseThroughTheDialog(c.page, c.field);
        EXPECT_TRUE(listed.contains(QStringLiteral("chime.wav"))) << listed.join(u' ').toStdString();
        // What the monitor finds in Para.ini when it next starts.
        const SettingsStore stored(path(QStringLiteral("Para.ini")));
        EXPECT_EQ(stored.read(c.section, c.key), chime) << readGbk(QStringLiteral("Para.ini")).toStdString();
    }
}

TEST_F(SoundDialogTest, TheTestRecordingDialogListsTheSoundFilesInChinese)
{
    TfrmTarnwick& w = start();
    const WindowUi& ui = w.ui();
    QStringList listed = chooseThroughTheDialog(ui.TabSheet3, ui.Edit6);
    // Folders are listed too (the history the first cycle began); of the files, only the sound.
    listed.removeIf([this](const QString& name) { return QFileInfo(path(name)).isDir(); });
    EXPECT_EQ(listed, QStringList{QStringLiteral("chime.wav")});
    // Qt's own texts of the dialog speak the monitor's language.
    EXPECT_TRUE(buttons.contains(QStringLiteral("打开")) && buttons.contains(QStringLiteral("取消")))
        << buttons.join(u' ').toStdString();
    EXPECT_EQ(ui.Edit6->text(), path(QStringLiteral("chime.wav")));
}

} // namespace
