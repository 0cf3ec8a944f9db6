#pragma once

#include "SettingsDialog.h"

#include <QList>
#include <QString>

class QSpinBox;

namespace qle {

// One remembered number: its field, its key in the dialog's settings section,
// the value a first run offers, the range of the field and the field's labels.
struct NumberField {
    QString name;
    QString key;
    int defaultValue = 0;
    int min = 0;
    int max = 0;
    QString labelName;
    QString labelText;
    QString unitName; // optional label behind the field
    QString unitText;
};

// A dialog that collects a few numbers and remembers them in one settings
// section. A stored value outside a field's range (a default below the
// minimum, a hand-edited file) is offered, and returned, as the nearest bound.
class NumberSettingsDialog : public SettingsDialog {
    Q_OBJECT
public:
    // True when the user pressed OK; the values are then saved.
    bool Execute();
    void GetSettings();
    void SetSettings();

    [[nodiscard]] QSpinBox *field(int index) const { return m_inputs.at(index); }

protected:
    NumberSettingsDialog(const QString &caption, const QString &section, const QList<NumberField> &fields,
                         QWidget *parent);
    [[nodiscard]] int value(int index) const { return m_values.at(index); }

private:
    QString m_section;
    QList<NumberField> m_fields;
    QList<QSpinBox *> m_inputs;
    QList<int> m_values;
};

} // namespace qle
