#pragma once

#include <QSerialPort>
#include <QString>

namespace qle {

// Opens `device` at `baud`, 8 data bits, no parity, one stop bit, no flow
// control, with nothing left in its buffers. False (the port closed) with
// *error naming the cause when the port is missing, busy or refuses a setting.
bool openSerialPort(QSerialPort &port, const QString &device, int baud, QString *error = nullptr);

} // namespace qle
