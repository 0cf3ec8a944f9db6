#include "RunLog.h"

#include <cmath>

namespace qle::sequence {

QString RunLogEntry::format() const
{
    QString out = QStringLiteral("%1 s  ").arg(actualMs / 1000, 10, 'f', 3);
    if (line > 0)
        out += QStringLiteral("line %1: ").arg(line);
    out += text;
    if (plannedMs >= 0) {
        const auto late = std::llround(actualMs - plannedMs);
        out += QStringLiteral("  (planned %1 s, %2%3 ms)")
                   .arg(plannedMs / 1000, 0, 'f', 3)
                   .arg(late >= 0 ? "+" : "")
                   .arg(late);
    }
    return out;
}

} // namespace qle::sequence
