#include "phone/gui/TDeviceSelectionForm.h"

#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

TDeviceSelectionForm::TDeviceSelectionForm(QWidget* parent)
    : QDialog(parent)
    , dsfComboBox(new QComboBox(this))
    , dsfOkBitBtn(new QPushButton(QStringLiteral("OK"), this))
    , dsfCancelBitBtn(new QPushButton(QStringLiteral("Cancel"), this))
{
    setObjectName(QStringLiteral("TDeviceSelectionForm"));
    setWindowTitle(QStringLiteral("Device Selection"));
    dsfComboBox->setObjectName(QStringLiteral("dsfComboBox"));
    dsfComboBox->setMinimumWidth(320);
    dsfOkBitBtn->setObjectName(QStringLiteral("dsfOkBitBtn"));
    dsfCancelBitBtn->setObjectName(QStringLiteral("dsfCancelBitBtn"));
    dsfOkBitBtn->setDefault(true);
    connect(dsfOkBitBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(dsfCancelBitBtn, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(dsfOkBitBtn);
    buttons->addWidget(dsfCancelBitBtn);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(dsfComboBox);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize); // a fixed border
}

void TDeviceSelectionForm::fill(const std::function<QStringList()>& entries, const QString& current)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QStringList list;
    try {
        list = entries();
    } catch (...) {
        QApplication::restoreOverrideCursor();
        throw;
    }
    QApplication::restoreOverrideCursor();
    dsfComboBox->clear();
    dsfComboBox->addItems(list);
    const int index = dsfComboBox->findText(current);
    dsfComboBox->setCurrentIndex(index >= 0 ? index : 0);
    adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

QString TDeviceSelectionForm::selected() const
{
    return dsfComboBox->currentText();
}

LineDevice::Chooser TDeviceSelectionForm::chooser(QWidget* parent)
{
    return [parent](const std::function<QStringList()>& entries, const QString& current) -> std::optional<QString> {
        TDeviceSelectionForm form(parent);
        form.fill(entries, current);
        if (form.exec() != QDialog::Accepted || form.selected().isEmpty())
            return std::nullopt;
        return form.selected();
    };
}
