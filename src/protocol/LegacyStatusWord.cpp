#include "LegacyStatusWord.h"

namespace qle {

LegacyStatusWord LegacyStatusWord::parse(const QString &text)
{
    LegacyStatusWord status;
    QString word = text;
    word.remove(u' ');
    const QString coupling = word.mid(2, 2);
    const QString output = word.mid(6, 1);
    if (coupling == QLatin1String("01"))
        status.coupling = Coupling::Independent;
    else if (coupling == QLatin1String("11"))
        status.coupling = Coupling::Track;
    else if (coupling == QLatin1String("10"))
        status.coupling = Coupling::Parallel;
    if (output == QLatin1String("0"))
        status.output = false;
    else if (output == QLatin1String("1"))
        status.output = true;
    return status;
}

} // namespace qle
