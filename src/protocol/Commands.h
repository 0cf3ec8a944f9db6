#pragma once

#include <QString>

#include <array>

namespace qle {

// The indexed query table. Callers take queries by index, so a panel works
// with either command family. Set commands are built by the operations.
class Commands {
public:
    static constexpr int QueryCount = 29;

    Commands() { IdnCommand = "*IDN?"; }

    // The colon-separated family of most models.
    void LoadScpiCommands();
    // The older family of model QLE-5505. Indices it does not fill keep what
    // an earlier load left there.
    void LoadLegacyCommands();

    [[nodiscard]] const QString &query(int index) const { return QueryCommands.at(static_cast<std::size_t>(index)); }

    QString IdnCommand;
    std::array<QString, QueryCount> QueryCommands{};
};

// Indices into the query table.
namespace query {
enum : int {
    MeasVolt1 = 0,
    MeasCurr1 = 1,
    MeasVolt2 = 2,
    MeasCurr2 = 3,
    MeasVolt3 = 4,
    MeasCurr3 = 5,
    OutputState = 6,
    OutputMode = 7,
    AutoRunState = 8,
    AutoStartMemory = 9,
    AutoEndMemory = 10,
    AutoCycle = 11,
    AutoDelay = 12,
    Memory = 13,
    OvpLevel1 = 14,
    OcpState1 = 17,
    SetVolt1 = 20,
    SetCurr1 = 23,
    Error = 26,
    LegacyStatus = 28,
};
} // namespace query

} // namespace qle
