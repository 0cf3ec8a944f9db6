#pragma once

#include "SettingsDialog.h"

#include <QList>

#include <functional>

class QComboBox;
class QLabel;

namespace qle {

// How the open panel asks the instrument. Classic: one query every 3 s while
// the output is on. Live: every reading and the instrument's state each
// period. Kept in the settings section "Polling".
struct PollingChoice {
    static constexpr int DefaultPeriodMs = 1000;
    static const QList<int> &periods();

    bool live = false;
    int periodMs = DefaultPeriodMs;

    // "0.5 s", "2 s".
    [[nodiscard]] static QString periodText(int ms);

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

    // How often readings come at a period on the open link.
    using ReadingPeriod = std::function<int(int periodMs)>;

    // Offers `current`; true with the new choice in `chosen` when OK closed it.
    // Under the period it says when the link cannot keep it.
    bool Execute(const PollingChoice &current, PollingChoice &chosen, ReadingPeriod readingPeriod = {});

    [[nodiscard]] QComboBox *modeBox() const { return m_mode; }
    [[nodiscard]] QComboBox *periodBox() const { return m_period; }

private:
    QComboBox *m_mode;
    QComboBox *m_period;
    QLabel *m_linkNote;
    ReadingPeriod m_readingPeriod;

    void showLinkNote();
};

} // namespace qle
