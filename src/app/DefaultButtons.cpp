#include "app/DefaultButtons.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QPlainTextEdit>
#include <QShortcut>

namespace DefaultButtons {

void install(QWidget* window, QAbstractButton* defaultButton, QAbstractButton* cancelButton)
{
    auto* cancel = new QShortcut(QKeySequence(Qt::Key_Escape), window);
    QObject::connect(cancel, &QShortcut::activated, cancelButton, &QAbstractButton::click);
    for (int key : {int(Qt::Key_Return), int(Qt::Key_Enter)}) {
        auto* enter = new QShortcut(QKeySequence(key), window);
        QObject::connect(enter, &QShortcut::activated, defaultButton, [defaultButton] {
            QWidget* focus = QApplication::focusWidget();
            auto* memo = qobject_cast<QPlainTextEdit*>(focus);
            auto* button = qobject_cast<QAbstractButton*>(focus);
            if (memo && !memo->isReadOnly())
                memo->textCursor().insertText(QStringLiteral("\n"));
            else if (button && !qobject_cast<QCheckBox*>(button))
                button->click();
            else if (defaultButton->isEnabled())
                defaultButton->click();
        });
    }
}

} // namespace DefaultButtons
