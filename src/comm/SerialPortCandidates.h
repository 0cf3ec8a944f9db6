#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace qle {

// A serial device the link dialog may offer, under the port number the user
// sees ("COM" + number).
struct SerialCandidate {
    int number = 0;
    QString path;
};

// Port numbers run from 1 to this; devices beyond it are never offered.
inline constexpr int MaxSerialPortNumber = 16;

// The devices to try, numbered in order. On Windows these are COM1 to COM16;
// elsewhere the system's devices come first, then the extra paths (a device
// already in the list keeps its first number).
QList<SerialCandidate> serialCandidates(const QStringList &systemPorts, const QStringList &extraPaths);

// The system's serial devices by location, e.g. "/dev/ttyS0", "/dev/ttyUSB0".
QStringList systemSerialPorts();

// The port number in a list text: the digits after "COM", up to the first
// other character; 0 when there are none.
int portNumberFromText(const QString &text);

} // namespace qle
