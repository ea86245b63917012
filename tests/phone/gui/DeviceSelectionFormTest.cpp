#include "phone/gui/TDeviceSelectionForm.h"

#include <QComboBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

TEST(TDeviceSelectionForm, ListsTheLinesAndReturnsTheChosenOne)
{
    const QStringList lines{QStringLiteral("Modem A (ttyACM0)"), QStringLiteral("Modem B (ttyUSB0)")};
    struct Case {
        QString current;
        bool ok;
        std::optional<QString> chosen;
    };
    const QList<Case> cases{
        {lines[1], true, lines[1]}, {QStringLiteral("gone"), true, lines[0]}, {lines[1], false, std::nullopt}};
    for (const Case& c : cases) {
        bool listed = false;
        QTimer::singleShot(0, [&] {
            auto* form = qobject_cast<TDeviceSelectionForm*>(QApplication::activeModalWidget());
            ASSERT_NE(form, nullptr);
            EXPECT_EQ(form->windowTitle(), QStringLiteral("Device Selection"));
            EXPECT_EQ(form->dsfComboBox->count(), 2);
            EXPECT_TRUE(form->dsfOkBitBtn->isDefault());
            EXPECT_EQ(form->dsfCancelBitBtn->text(), QStringLiteral("Cancel"));
            listed = form->isVisible();
            QTest::mouseClick(c.ok ? form->dsfOkBitBtn : form->dsfCancelBitBtn, Qt::LeftButton);
        });
        const auto chosen = TDeviceSelectionForm::chooser(nullptr)([&] { return lines; }, c.current);
        EXPECT_TRUE(listed);
        EXPECT_EQ(chosen, c.chosen);
    }
}

TEST(LineDevice, ChooseDeviceStoresTheChoiceOnOkOnly)
{
    LineDevice tel(nullptr);
    tel.setChooser([](const std::function<QStringList()>&, const QString&) {
        return std::optional<QString>(QStringLiteral("X"));
    });
    EXPECT_EQ(tel.ChooseDevice(), 1);
    EXPECT_EQ(tel.SelectedDevice(), QStringLiteral("X"));
    tel.setChooser([](const std::function<QStringList()>&, const QString&) { return std::optional<QString>(); });
    EXPECT_EQ(tel.ChooseDevice(), 2);
    EXPECT_EQ(tel.SelectedDevice(), QStringLiteral("X"));
    EXPECT_THROW(tel.PlaceCall(QStringLiteral("1")), TapiError) << "no port assigned";
}
