#include "app/SettingsBinder.h"

#include "alarm/PasswordScrambler.h"
#include "monitor/SettingsStore.h"
#include "shared/TextSplit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QVariant>

namespace {
constexpr char kUndoText[] = "textOnEnter";

// The value a spin field holds as the operator sees it: its text, 0 when it is empty or no number.
int spinValue(const QSpinBox* spin)
{
    return TextSplit::toInt(spin->cleanText()).value_or(0);
}

// An editable combo box whose text was typed over has no item chosen.
int comboIndex(const QComboBox* combo)
{
    const int index = combo->currentIndex();
    if (index >= 0 && combo->isEditable() && combo->currentText() != combo->itemText(index))
        return -1;
    return index;
}
} // namespace

std::optional<std::pair<QString, QString>> SettingsBinder::binding(const QWidget* control)
{
    const QString hint = control->property("hint").toString();
    const QString section = TextSplit::leftPart(hint, u',');
    const QString key = TextSplit::rightPart(hint, u',');
    if (!hint.contains(u',') || section.isEmpty() || key.isEmpty())
        return std::nullopt;
    return std::make_pair(section, key);
}

void SettingsBinder::loadContainer(QWidget* container) const
{
    for (QObject* child : container->children()) {
        auto* control = qobject_cast<QWidget*>(child);
        if (!control)
            continue;
        const auto bound = binding(control);
        if (!bound)
            continue;
        const QString value = m_store.read(bound->first, bound->second);
        if (value.isEmpty())
            continue;
        if (auto* edit = qobject_cast<QLineEdit*>(control)) {
            edit->setText(value);
        } else if (auto* spin = qobject_cast<QSpinBox*>(control)) {
            spin->setValue(TextSplit::toInt(value).value_or(1));
        } else if (auto* box = qobject_cast<QCheckBox*>(control)) {
            box->setChecked(value == QStringLiteral("1"));
        } else if (auto* combo = qobject_cast<QComboBox*>(control)) {
            const int index = TextSplit::toInt(value).value_or(0);
            combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
        }
    }
}

void SettingsBinder::spinEditExit(QSpinBox* spin) const
{
    const int value = spinValue(spin);
    if (value == 0) {
        spin->setValue(1);
        return;
    }
    spin->setValue(value);
    if (const auto bound = binding(spin))
        m_store.write(bound->first, bound->second, QString::number(value));
}

void SettingsBinder::checkBoxClick(QCheckBox* box) const
{
    if (const auto bound = binding(box))
        m_store.write(bound->first, bound->second, box->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
}

void SettingsBinder::editExit(QLineEdit* edit) const
{
    if (edit->text().isEmpty())
        edit->setText(edit->property(kUndoText).toString());
    if (const auto bound = binding(edit))
        m_store.write(bound->first, bound->second, edit->text());
}

void SettingsBinder::comboBoxExit(QComboBox* combo) const
{
    const int index = comboIndex(combo);
    if (index < 0) {
        combo->setCurrentIndex(0);
        combo->setEditText(combo->itemText(0));
        return;
    }
    if (const auto bound = binding(combo))
        m_store.write(bound->first, bound->second, QString::number(index));
}

void SettingsBinder::passwordExit(QLineEdit* field) const
{
    const auto bound = binding(field);
    if (!bound || !field->isModified())
        return;
    const QString scrambled = PasswordScrambler::scramble(field->text());
    m_store.write(bound->first, bound->second, scrambled);
    field->setText(scrambled);
}

void SettingsBinder::rememberText(QLineEdit* edit)
{
    edit->setProperty(kUndoText, edit->text());
}
