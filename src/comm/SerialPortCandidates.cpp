#include "SerialPortCandidates.h"

#include <QSerialPortInfo>

namespace qle {

QList<SerialCandidate> serialCandidates([[maybe_unused]] const QStringList &systemPorts,
                                        [[maybe_unused]] const QStringList &extraPaths)
{
    QList<SerialCandidate> result;
#ifdef Q_OS_WIN
    for (int n = 1; n <= MaxSerialPortNumber; ++n)
        result.append({n, "COM" + QString::number(n)});
#else
    QStringList paths;
    for (const QString &path : systemPorts + extraPaths) {
        if (!path.isEmpty() && !paths.contains(path))
            paths.append(path);
    }
    for (int i = 0; i < paths.size() && i < MaxSerialPortNumber; ++i)
        result.append({i + 1, paths.at(i)});
#endif
    return result;
}

QStringList systemSerialPorts()
{
    QStringList paths;
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &port : ports)
        paths.append(port.systemLocation());
    paths.sort();
    return paths;
}

int portNumberFromText(const QString &text)
{
    int number = 0;
    for (qsizetype i = 3; i < text.size() && text.at(i).isDigit() && number < 100000; ++i)
        number = number * 10 + text.at(i).digitValue();
    return number;
}

} // namespace qle
