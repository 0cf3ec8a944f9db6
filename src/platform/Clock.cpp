#include "Clock.h"

#include <QTime>

namespace qle {

double SystemClock::timeOfDaySec() const
{
    return QTime::currentTime().msecsSinceStartOfDay() / 1000.0;
}

double SystemClock::monotonicSec() const
{
    // Counted from the first use, offset by one second so that it is never 0.
    static const QElapsedTimer started = [] {
        QElapsedTimer timer;
        timer.start();
        return timer;
    }();
    return 1.0 + static_cast<double>(started.nsecsElapsed()) / 1e9;
}

} // namespace qle
