#pragma once

#include "ChannelLimits.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <array>
#include <optional>

namespace qle {

class EnergyCounter;
class EventRecorder;
class Instrument;

// Checks each reading (and each new total) against the limits of its
// output. A crossing is told once: breached() and, with a recorder, one
// LimitBreach event at the reading's time; the limit is armed again only
// when the value is back inside by the hysteresis (a share of the limit's
// value). The front end carries out the action; for OutputOff the watcher
// switches the output off itself (source Program) when it is attached to
// an instrument, and still tells breached().
class LimitWatcher final : public QObject {
    Q_OBJECT
public:
    static constexpr double DefaultHysteresis = 0.01;

    explicit LimitWatcher(QObject *parent = nullptr);
    ~LimitWatcher() override;

    void setLimits(int channel, const ChannelLimits &limits);
    [[nodiscard]] ChannelLimits limits(int channel) const;
    // Share of a limit's value a reading must come back by to arm it again.
    void setHysteresis(double share);
    [[nodiscard]] double hysteresis() const { return m_hysteresis; }

    // Readings, output and totals to watch; either may be null.
    void attach(Instrument *instrument, EnergyCounter *counter = nullptr);
    void detach();
    // Where breaches are put down as events; may be null.
    void setRecorder(EventRecorder *recorder);

    // Direct feeding. `atMs` on platform::clock() in ms.
    void checkReading(int channel, double volts, double amps, qint64 atMs);
    void checkValue(int channel, LimitKind kind, double value, qint64 atMs);
    void checkTotals(int channel, double chargeAh, double energyWh, qint64 atMs);

    // Every limit armed again (a new recording).
    void rearm();
    [[nodiscard]] bool isBreached(int channel, LimitKind kind) const;

    // "CH1 voltage 12.4 V above 12 V".
    [[nodiscard]] static QString breachText(int channel, LimitKind kind, double value, double limit);

signals:
    void breached(int channel, qle::LimitKind kind, qle::LimitAction action, const QString &text);

private:
    void onReading(int channel, bool current);
    void onTotals(int channel);
    void ensure(int channel);

    QList<ChannelLimits> m_limits;
    QList<std::array<bool, LimitKindCount>> m_breached;
    double m_hysteresis = DefaultHysteresis;
    QPointer<Instrument> m_instrument;
    QPointer<EnergyCounter> m_counter;
    QPointer<EventRecorder> m_recorder;
    QList<QMetaObject::Connection> m_connections;
};

} // namespace qle
