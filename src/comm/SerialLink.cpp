#include "SerialLink.h"

namespace qle {

bool openSerialPort(QSerialPort &port, const QString &device, int baud, QString *error)
{
    if (port.isOpen())
        port.close();
    port.setPortName(device);
    if (!port.open(QIODevice::ReadWrite)) {
        if (error)
            *error = "cannot open the serial port " + device + ": " + port.errorString();
        return false;
    }
    const bool configured = port.setBaudRate(baud) && port.setDataBits(QSerialPort::Data8) &&
                            port.setParity(QSerialPort::NoParity) && port.setStopBits(QSerialPort::OneStop) &&
                            port.setFlowControl(QSerialPort::NoFlowControl);
    if (!configured) {
        if (error)
            *error =
                "the serial port " + device + " refused " + QString::number(baud) + " baud 8N1: " + port.errorString();
        port.close();
        return false;
    }
    port.clear();
    return true;
}

} // namespace qle
