#pragma once

#include "SettingsDialog.h"

#include <QList>

class QComboBox;

namespace qle {

// How the open panel asks the instrument. Classic: one query every 3 s while
// the output is on. Live: every reading and the instrument's state each
// period. Kept in the settings section "Polling".
struct PollingChoice {
    static constexpr int DefaultPeriodMs = 1000;
    static const QList<int> &periods();

    bool live = false;
    int periodMs = DefaultPeriodMs;

    // A stored period that is not one of the offered ones reads as 1 s.
    [[nodiscard]] static PollingChoice load();
    void save() const;

    friend bool operator==(const PollingChoice &, const PollingChoice &) = default;
};

// Function > Polling...: the mode and the Live period.
class dlgPolling final : public SettingsDialog {
    Q_OBJECT
public:
    explicit dlgPolling(QWidget *parent = nullptr);

    // Offers `current`; true with the new choice in `chosen` when OK closed it.
    bool Execute(const PollingChoice &current, PollingChoice &chosen);

    [[nodiscard]] QComboBox *modeBox() const { return m_mode; }
    [[nodiscard]] QComboBox *periodBox() const { return m_period; }

private:
    QComboBox *m_mode;
    QComboBox *m_period;
};

} // namespace qle
