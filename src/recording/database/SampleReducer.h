#pragma once

#include <QString>

#include <array>

namespace qle {

// Folds the one-second readings of one row into the values the row stores:
// the largest, the smallest or the average of the row's ticks. Values stay
// the texts the panel showed, except averages, which are formatted.
class SampleReducer {
public:
    static constexpr int Channels = 3;

    // 0 maximum, 1 minimum, 2 average; any other mode keeps the start values.
    void setMode(int opmode) { m_mode = opmode; }
    [[nodiscard]] int mode() const { return m_mode; }

    // Takes the readings of one channel at a tick of the row (0 = the row's
    // first tick, which restarts the values). A reading that is not a number
    // (blank until first polled, blank in parallel mode, a garbled reply) is
    // left out of the row; the result is false and *bad holds it. A value
    // that took no reading in its row is empty.
    bool fold(int channel, int tick, const QString &voltage, const QString &current, QString *bad);

    [[nodiscard]] QString voltage(int channel) const { return m_boxes.at(index(channel, 0)).text; }
    [[nodiscard]] QString current(int channel) const { return m_boxes.at(index(channel, 1)).text; }

    // Every value back to "0", as after a written row.
    void reset();

private:
    struct Box {
        QString text = QStringLiteral("0");
        double value = 0;
        double sum = 0;
        int taken = 0; // readings folded into this row
    };

    static std::size_t index(int channel, int which)
    {
        return static_cast<std::size_t>(channel) * 2 + static_cast<std::size_t>(which);
    }
    void startRow(Box &box) const;
    void foldBox(Box &box, const QString &text, double reading) const;

    int m_mode = 0;
    std::array<Box, std::size_t{Channels} * 2> m_boxes{};
};

} // namespace qle
