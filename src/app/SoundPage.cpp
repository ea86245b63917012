#include "app/SoundPage.h"

#include "app/ControlEvents.h"
#include "app/Prompter.h"
#include "app/WindowUi.h"
#include "monitor/SettingsStore.h"
#include "platform/AppError.h"
#include "platform/CodePage.h"
#include "sound/AlarmSounds.h"
#include "sound/SoundRecorder.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QStyle>
#include <QTimer>
#include <QToolButton>

namespace {
const char* const kFullPath = "fullPath";
const QString kCaptionInfo = QStringLiteral("提示");
const QString kCaptionError = QStringLiteral("错误");

bool isBusy(const QToolButton* button)
{
    return button->property("tag").toInt() == 0;
}

bool gbkHolds(const QString& text)
{
    return CodePage::fromGbk(CodePage::toGbk(text)) == text;
}
} // namespace

SoundPage::SoundPage(const WindowUi& ui, SettingsStore& settings, Prompter& prompter, AlarmSounds& sounds,
                     SoundRecorder& recorder, QString dataDir, std::function<void(const QString&)> addInfo)
    : m_ui(ui)
    , m_settings(settings)
    , m_prompter(prompter)
    , m_sounds(sounds)
    , m_recorder(recorder)
    , m_dataDir(std::move(dataDir))
    , m_addInfo(std::move(addInfo))
{
    connect(&m_recorder, &SoundRecorder::recordingInterrupted, this,
            [this](const QString& path, bool saved, const QString& reason) {
                m_addInfo(saved ? QStringLiteral("录音被中断，已录制的声音保存在\"%1\"。").arg(path)
                                : QStringLiteral("录音被中断，已录制的声音未能保存：%1").arg(reason));
                if (isBusy(m_ui.SpeedButton4))
                    SpeedButtonClick(m_ui.SpeedButton4);
            });
}

QString SoundPage::fullPath(const QLineEdit* field)
{
    return field->property(kFullPath).toString();
}

void SoundPage::wire(ControlEvents& events)
{
    m_events = &events;
    for (QLineEdit* field : {m_ui.Edit4, m_ui.Edit8, m_ui.Edit7}) {
        field->installEventFilter(this);
        field->setMouseTracking(true);
        events.onExit(field, [this, field] { EditAlarmExit(field); });
    }
    m_ui.netAlarmSD->installEventFilter(this);
    connect(m_ui.lbSD, &QListWidget::currentRowChanged, this, &SoundPage::lbSDClick);
    connect(m_ui.SpeedButton1, &QToolButton::clicked, this, &SoundPage::SpeedButton1Click);
    connect(m_ui.SpeedButton2, &QToolButton::clicked, this, &SoundPage::SpeedButton2Click);
    connect(m_ui.SpeedButton3, &QToolButton::clicked, this, &SoundPage::SpeedButton3Click);
    connect(m_ui.SpeedButton4, &QToolButton::clicked, this, &SoundPage::SpeedButton4Click);
}

bool SoundPage::eventFilter(QObject* watched, QEvent* event)
{
    auto* field = qobject_cast<QLineEdit*>(watched);
    if (field && event->type() == QEvent::FocusIn) {
        // The dialog opens once the focus has settled, not inside the focus change itself.
        QTimer::singleShot(0, this, [this, field] {
            if (field == m_ui.netAlarmSD)
                netAlarmSDEnter();
            else
                EditAlarmEnter(field);
        });
    } else if (field && event->type() == QEvent::MouseMove && field != m_ui.netAlarmSD) {
        Edit4MouseMove(field);
    }
    return false;
}

void SoundPage::write(const QString& section, const QString& key, const QString& value)
{
    try {
        m_settings.write(section, key, value);
    } catch (const AppError& e) {
        m_prompter.message(kCaptionError, e.text(), Prompter::Icon::Error);
    }
}

void SoundPage::setField(QLineEdit* field, const QString& path)
{
    field->setProperty(kFullPath, path);
    field->setText(QFileInfo(path).fileName());
    field->setToolTip(path);
}

void SoundPage::lbSDClick()
{
    const QListWidgetItem* item = m_ui.lbSD->currentItem();
    if (!item)
        return;
    const QString key = item->text();
    const QStringList sections = m_ui.TabSheet2->property("hint").toString().split(u',');
    for (QLineEdit* field : {m_ui.Edit4, m_ui.Edit8, m_ui.Edit7})
        setField(field, m_settings.read(sections.value(field->property("tag").toInt()), key));
    const QString defaultKey = m_settings.read(QStringLiteral("SndPara"), QStringLiteral("DefSD"));
    m_ui.CheckBox4->setChecked(defaultKey.compare(key, Qt::CaseInsensitive) == 0);
}

void SoundPage::CheckBox4Click()
{
    const QListWidgetItem* item = m_ui.lbSD->currentItem();
    if (!item)
        return;
    const QStringList bound = m_ui.CheckBox4->property("hint").toString().split(u',');
    const QString section = bound.value(0), key = bound.value(1);
    const bool isDefault = m_settings.read(section, key).toLower() == item->text().toLower();
    if (m_ui.CheckBox4->isChecked() && !isDefault)
        write(section, key, item->text());
    else if (!m_ui.CheckBox4->isChecked() && isDefault)
        write(section, key, QString());
}

QString SoundPage::chooseSoundFile()
{
    const QString path = m_prompter.openFile(m_dataDir, QStringLiteral("声音文件 (*.WAV *.wav)"));
    // Para.ini is GBK: a path it cannot hold would come back as another, missing file.
    if (!path.isEmpty() && !gbkHolds(path)) {
        m_addInfo(QStringLiteral("声音文件的路径含有无法保存的字符：%1").arg(path));
        return {};
    }
    return path;
}

void SoundPage::returnFocusTo(QWidget* control)
{
    control->setFocus(Qt::OtherFocusReason);
    // Under X11 the window may not get its activation back from the closed dialog although the
    // window manager has given it the focus: Qt would then deliver no focus change, and the next
    // click into a sound field would open nothing.
    if (!control->window()->isActiveWindow())
        QApplication::setActiveWindow(control->window());
}

void SoundPage::EditAlarmEnter(QLineEdit* field)
{
    const QString path = chooseSoundFile();
    if (!path.isEmpty())
        setField(field, path);
    returnFocusTo(m_ui.lbSD);
    // The field has been left, whether or not the window system says so: under X11 the window may
    // not have its activation back yet when the dialog closes, and no focus-out follows.
    EditAlarmExit(field);
}

void SoundPage::EditAlarmExit(QLineEdit* field)
{
    const QListWidgetItem* item = m_ui.lbSD->currentItem();
    if (field->text().isEmpty() || !item)
        return;
    const QStringList sections = m_ui.TabSheet2->property("hint").toString().split(u',');
    write(sections.value(field->property("tag").toInt()), item->text(), fullPath(field));
}

void SoundPage::Edit4MouseMove(QLineEdit* field)
{
    if (field->text().isEmpty())
        field->setToolTip(emptyFieldTip());
}

void SoundPage::netAlarmSDEnter()
{
    const QString path = chooseSoundFile();
    if (!path.isEmpty())
        m_ui.netAlarmSD->setText(path);
    returnFocusTo(m_ui.mRecIp);
    // Stored now, for the reason EditAlarmEnter gives.
    if (m_events)
        m_events->leave(m_ui.netAlarmSD);
}

void SoundPage::SpeedButtonClick(QToolButton* button)
{
    const bool idle = button->property("tag").toInt() != 1;
    button->setProperty("tag", idle ? 1 : 0);
    button->setIcon(button->style()->standardIcon(idle ? QStyle::SP_MediaPlay : QStyle::SP_MediaStop));
}

void SoundPage::SpeedButtonPlay(const QString& path, QToolButton* button)
{
    if (isBusy(button)) {
        m_sounds.StopSound();
        SpeedButtonClick(button);
        return;
    }
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        m_prompter.message(kCaptionInfo, QStringLiteral("请指定声音文件！"), Prompter::Icon::Information);
        return;
    }
    if (QStringLiteral(".") + QFileInfo(path).suffix().toUpper() != QLatin1String(".WAV")) {
        m_prompter.message(kCaptionInfo, QStringLiteral("指定文件不是的声音文件(.WAV)！"), Prompter::Icon::Information);
        return;
    }
    try {
        m_sounds.PlaySoundFile(path);
    } catch (const SoundFileError& e) {
        m_addInfo(AlarmSounds::cannotPlayLine(path, e.reason()));
        return;
    }
    SpeedButtonClick(button);
}

void SoundPage::SpeedButton1Click()
{
    SpeedButtonPlay(fullPath(m_ui.Edit4), m_ui.SpeedButton1);
}

void SoundPage::SpeedButton2Click()
{
    SpeedButtonPlay(fullPath(m_ui.Edit8), m_ui.SpeedButton2);
}

void SoundPage::SpeedButton3Click()
{
    SpeedButtonPlay(fullPath(m_ui.Edit7), m_ui.SpeedButton3);
}

void SoundPage::endPreviews()
{
    if (isBusy(m_ui.SpeedButton1))
        SpeedButton1Click();
    if (isBusy(m_ui.SpeedButton2))
        SpeedButton2Click();
    if (isBusy(m_ui.SpeedButton3))
        SpeedButton3Click();
}

void SoundPage::SpeedButton4Click()
{
    if (isBusy(m_ui.SpeedButton4))
        stopRecording();
    else
        startRecording();
}

void SoundPage::startRecording()
{
    const QString name = m_ui.Edit5->text();
    // A name that leads out of the program's folder is refused like a missing one.
    if (!SoundRecorder::isPlainName(name)) {
        m_prompter.message(kCaptionInfo, QStringLiteral("请指定要录制的声音文件名"), Prompter::Icon::Information);
        m_ui.Edit5->setFocus(Qt::OtherFocusReason);
        return;
    }
    const QString path = m_recorder.recordingPath(name);
    if (QFileInfo::exists(path) &&
        !m_prompter.question(kCaptionInfo, QStringLiteral("指定的声音文件已经存在，要替换它吗？"))) {
        m_ui.Edit5->setFocus(Qt::OtherFocusReason);
        return;
    }
    const RecordingFormat format = RecordingFormat::fromChoices(
        m_ui.ComboBox1->currentIndex(), m_ui.ComboBox2->currentIndex(), m_ui.ComboBox3->currentIndex());
    try {
        m_recorder.start(path, format);
    } catch (const SoundFileError& e) {
        m_addInfo(QStringLiteral("无法录制声音\"%1\"：%2").arg(path, e.reason()));
        m_prompter.message(kCaptionError, QStringLiteral("媒体设备初始化失败！"), Prompter::Icon::Error);
        return;
    }
    SpeedButtonClick(m_ui.SpeedButton4);
}

void SoundPage::stopRecording()
{
    try {
        m_recorder.stopAndSave();
    } catch (const SoundFileError& e) {
        // The recorder is idle again either way: a second press could save nothing either.
        m_addInfo(QStringLiteral("录制的声音未能保存：%1").arg(e.reason()));
        m_prompter.message(kCaptionError, QStringLiteral("保存声音文件出错!"), Prompter::Icon::Error);
        SpeedButtonClick(m_ui.SpeedButton4);
        return;
    }
    m_prompter.message(QStringLiteral("信息"), QStringLiteral("声音录制完毕!"), Prompter::Icon::Information);
    SpeedButtonClick(m_ui.SpeedButton4);
}
