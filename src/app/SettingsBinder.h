#pragma once

#include <QString>

#include <optional>
#include <utility>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;
class QWidget;
class SettingsStore;

// The binding of controls to Para.ini: a control whose "hint" property reads "Section,Key" is loaded at
// start-up and written back when it changes (check boxes) or is left (spin fields, edits, combos).
class SettingsBinder {
public:
    explicit SettingsBinder(SettingsStore& store)
        : m_store(store)
    {}

    // Section and key of a bound control; nullopt for a control that binds nothing.
    static std::optional<std::pair<QString, QString>> binding(const QWidget* control);

    // Loads every bound control that is a direct child of the container, in child order. Check boxes
    // that change state run their click handlers through their signals.
    void loadContainer(QWidget* container) const;

    // The write step of each handler; they raise AppError when Para.ini cannot be written.
    void spinEditExit(QSpinBox* spin) const;
    void checkBoxClick(QCheckBox* box) const;
    void editExit(QLineEdit* edit) const;
    void comboBoxExit(QComboBox* combo) const;
    // A password field holds the scrambled form: a changed password is scrambled, stored and shown so.
    void passwordExit(QLineEdit* field) const;

    // Remembers an edit box's text when it takes the focus: its undo point if it is left empty.
    static void rememberText(QLineEdit* edit);

private:
    SettingsStore& m_store;
};
