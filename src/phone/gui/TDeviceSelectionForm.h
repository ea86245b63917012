#pragma once

#include "phone/LineDevice.h"

#include <QDialog>

class QComboBox;
class QPushButton;

// The device selection dialog: a drop-down list of the lines (and serial ports) and OK / Cancel.
class TDeviceSelectionForm : public QDialog {
    Q_OBJECT
public:
    explicit TDeviceSelectionForm(QWidget* parent = nullptr);

    // Fills the list (with the hourglass cursor while the lines are found) and preselects `current`,
    // else the first entry.
    void fill(const std::function<QStringList()>& entries, const QString& current);
    QString selected() const;

    // The chooser a line device shows the dialog through.
    static LineDevice::Chooser chooser(QWidget* parent);

    QComboBox* dsfComboBox;
    QPushButton* dsfOkBitBtn;
    QPushButton* dsfCancelBitBtn;
};
