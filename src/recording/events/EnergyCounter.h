#pragma once

#include "RecordEvent.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <optional>

namespace qle {

class Instrument;

// Power, charge and energy of each output, from the pairs of readings the
// program receives. Charge (Ah) and energy (Wh) add the trapezoid between
// each pair and the one before it, inside a segment only: a pair that comes
// more than the gap limit after the previous one, a reading that is blank or
// not a number, an output switched off or a lost link ends the segment, and
// the time in between adds nothing. Counts only while started.
//
// Fed directly (addReading, gap) or by an attached instrument: a pair is
// complete once both the voltage and the current reading have come again
// since the last pair, at the later of their two times.
class EnergyCounter final : public QObject {
    Q_OBJECT
public:
    // What is known of one output.
    struct Channel {
        double chargeAh = 0;
        double energyWh = 0;
        qint64 countedMs = 0;        // time covered by segments
        int segments = 0;            // segments begun
        int pairs = 0;               // pairs taken
        std::optional<double> volts; // latest pair; empty after a gap
        std::optional<double> amps;
        qint64 lastAtMs = -1;
        bool inSegment = false; // the latest pair opens the next trapezoid
    };

    static constexpr qint64 DefaultGapLimitMs = 2000;

    explicit EnergyCounter(QObject *parent = nullptr);
    ~EnergyCounter() override;

    // A pair further apart than this starts a new segment; twice the
    // expected reading period is a good value.
    void setGapLimitMs(qint64 ms);
    [[nodiscard]] qint64 gapLimitMs() const { return m_gapLimitMs; }

    // Listens to the instrument's readings, output and link; one at a time.
    void attach(Instrument *instrument);
    void detach();

    // With a recording: start counting (totals kept), stop counting, and
    // back to nothing counted. Outside a recording pairs tell the power only.
    void start();
    void stop();
    void reset();
    [[nodiscard]] bool isRunning() const { return m_running; }

    // One pair of readings at `atMs` on the monotonic clock (ms).
    void addReading(int channel, double volts, double amps, qint64 atMs);
    // Ends the channel's segment: the next pair begins a new one.
    void gap(int channel);
    void gapAll();
    // A pair as the instrument sent it (a unit letter allowed); a blank or
    // unreadable one ends the channel's segment.
    void addReadingText(int channel, const QString &volts, const QString &amps, qint64 atMs);

    // CSV columns after a row's own: ",Ch1 W,Ch1 Ah,Ch1 Wh" and so on, and
    // for one channel the power of the row's pair, then its charge and
    // energy so far, each after a comma.
    [[nodiscard]] static QString csvHeader(int channels);
    [[nodiscard]] QString csvFields(int channel, const QString &volts, const QString &amps) const;

    // V × A of the latest pair; empty before one or after a gap.
    [[nodiscard]] std::optional<double> powerW(int channel) const;
    [[nodiscard]] Channel channel(int channel) const;
    // Every channel that has taken a pair, in channel order.
    [[nodiscard]] QList<ChannelTotal> totals() const;

signals:
    // After a pair or a gap changed the channel's power or totals.
    void totalsChanged(int channel);

private:
    void onReading(int channel, bool current);
    void closeSegments();
    Channel &slot(int channel);

    struct Fresh {
        bool volts = false;
        bool amps = false;
    };
    QList<Channel> m_channels;
    QList<Fresh> m_fresh;
    QPointer<Instrument> m_instrument;
    QList<QMetaObject::Connection> m_connections;
    qint64 m_gapLimitMs = DefaultGapLimitMs;
    bool m_running = false;
};

} // namespace qle
