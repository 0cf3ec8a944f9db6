#include "ControlWatchdog.h"

namespace qle {

ControlWatchdog::ControlWatchdog(QObject *parent) : QObject(parent)
{
}

ControlWatchdog::~ControlWatchdog() = default;

void ControlWatchdog::arm(quintptr client, double seconds)
{
    remove(client);
    auto *timer = new QTimer(this);
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    timer->setInterval(static_cast<int>(seconds * 1000));
    const QString why = QStringLiteral("no line from a control-port client for %1 s").arg(seconds);
    connect(timer, &QTimer::timeout, this, [this, client, why] {
        remove(client);
        emit tripped(why);
    });
    timer->start();
    m_timers.insert(client, timer);
}

void ControlWatchdog::remove(quintptr client)
{
    // A timer may be the one whose timeout is running.
    if (QTimer *timer = m_timers.take(client)) {
        timer->stop();
        timer->deleteLater();
    }
}

void ControlWatchdog::disarm(quintptr client)
{
    remove(client);
}

void ControlWatchdog::activity(quintptr client)
{
    if (QTimer *timer = m_timers.value(client))
        timer->start();
}

void ControlWatchdog::clientLeft(quintptr client)
{
    if (!m_timers.contains(client))
        return;
    remove(client);
    emit tripped(QStringLiteral("a control-port client left without WDOG 0"));
}

} // namespace qle
