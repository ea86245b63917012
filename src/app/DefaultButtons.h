#pragma once

class QAbstractButton;
class QWidget;

// The window's default and cancel buttons: Esc presses the cancel button wherever the focus is;
// Enter presses the default button unless the focused control takes Enter itself (a button, which
// is pressed, or a list being edited, which starts a new line).
namespace DefaultButtons {
void install(QWidget* window, QAbstractButton* defaultButton, QAbstractButton* cancelButton);
}
