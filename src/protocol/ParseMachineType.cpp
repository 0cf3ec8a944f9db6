#include "ParseMachineType.h"

#include <QStringList>

namespace qle {

QString ParseMachineType(const QString &reply)
{
    int commas = 0;
    int spaces = 0;
    QString token;
    for (const QChar ch : reply) {
        if (ch == u',') {
            ++commas;
        } else if (ch == u' ') {
            ++spaces;
        } else if (commas == 1 || spaces == 2) {
            token.append(ch);
        }
        if (commas >= 2 || spaces >= 3)
            return token;
    }
    return {};
}

QString ParseSerialNumber(const QString &reply)
{
    const QStringList fields = reply.split(u',');
    return fields.size() >= 3 ? fields.at(2).trimmed() : QString();
}

} // namespace qle
