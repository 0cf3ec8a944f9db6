#include "NumberSettingsDialog.h"

#include "platform/Platform.h"
#include "platform/SettingsStore.h"

#include <QSpinBox>

#include <algorithm>

namespace qle {

NumberSettingsDialog::NumberSettingsDialog(const QString &caption, const QString &section,
                                           const QList<NumberField> &fields, QWidget *parent)
    : SettingsDialog(parent), m_section(section), m_fields(fields)
{
    setWindowTitle(caption);
    for (int row = 0; row < m_fields.size(); ++row) {
        const NumberField &f = m_fields.at(row);
        m_inputs.append(addNumber(row, f.name, f.min, f.max, f.labelName, f.labelText));
        if (!f.unitName.isEmpty())
            addLabel(row, 2, f.unitName, f.unitText);
        m_values.append(std::clamp(f.defaultValue, f.min, f.max));
    }
}

bool NumberSettingsDialog::Execute()
{
    GetSettings();
    for (int i = 0; i < m_inputs.size(); ++i)
        m_inputs.at(i)->setValue(m_values.at(i));
    if (!runModal())
        return false;
    for (int i = 0; i < m_inputs.size(); ++i) {
        // Text typed but not yet committed (no Enter, no focus change) counts too.
        m_inputs.at(i)->interpretText();
        m_values[i] = m_inputs.at(i)->value();
    }
    SetSettings();
    return true;
}

void NumberSettingsDialog::GetSettings()
{
    const ISettingsStore &store = platform::settings();
    for (int i = 0; i < m_fields.size(); ++i) {
        const NumberField &f = m_fields.at(i);
        // Unreadable text gives the default, which itself may lie below the minimum.
        m_values[i] = std::clamp(store.GetInt(m_section, f.key, f.defaultValue, f.min, f.max), f.min, f.max);
    }
}

void NumberSettingsDialog::SetSettings()
{
    ISettingsStore &store = platform::settings();
    for (int i = 0; i < m_fields.size(); ++i)
        store.SaveInt(m_section, m_fields.at(i).key, m_values.at(i));
}

} // namespace qle
