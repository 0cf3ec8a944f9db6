#pragma once

#include <QHash>
#include <QObject>
#include <QTimer>

namespace qle {

// The control port's watchdogs: a client that sent `WDOG S` must send
// something at least every S seconds and end with `WDOG 0`; silence or
// leaving with its watchdog armed trips it.
class ControlWatchdog final : public QObject {
    Q_OBJECT
public:
    explicit ControlWatchdog(QObject *parent = nullptr);
    ~ControlWatchdog() override;

    void arm(quintptr client, double seconds);
    void disarm(quintptr client);
    // A client's bytes arrived: its watchdog starts again.
    void activity(quintptr client);
    void clientLeft(quintptr client);
    [[nodiscard]] bool isArmed(quintptr client) const { return m_timers.contains(client); }

signals:
    // Why: "no line from a control-port client for 2 s".
    void tripped(const QString &why);

private:
    void remove(quintptr client);

    QHash<quintptr, QTimer *> m_timers; // children, deleted later
};

} // namespace qle
