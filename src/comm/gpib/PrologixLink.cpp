#include "PrologixLink.h"

#include <utility>

namespace qle {

PrologixSerialLink::PrologixSerialLink(QString portName, QObject *parent)
    : PrologixLink(parent), m_portName(std::move(portName))
{
    connect(&m_port, &QSerialPort::errorOccurred, this, &PrologixSerialLink::onError);
}

void PrologixSerialLink::open()
{
    close();
    m_port.setPortName(m_portName);
    // The USB controller ignores the line settings; these suit any adapter.
    if (!m_port.open(QIODevice::ReadWrite)) {
        emit lost(m_port.errorString());
        return;
    }
    m_port.setBaudRate(QSerialPort::Baud115200);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    m_port.clear();
    emit opened();
}

void PrologixSerialLink::close()
{
    if (m_port.isOpen())
        m_port.close();
}

void PrologixSerialLink::onError(QSerialPort::SerialPortError error)
{
    // The adapter was unplugged or the other end went away. A failed read
    // would otherwise be reported again at every wake-up of the port.
    const bool broken = error == QSerialPort::ResourceError || error == QSerialPort::ReadError;
    if (!broken || !m_port.isOpen())
        return;
    const QString description = m_port.errorString();
    m_port.close();
    emit lost(description);
}

PrologixTcpLink::PrologixTcpLink(QString host, quint16 port, QObject *parent)
    : PrologixLink(parent), m_host(std::move(host)), m_port(port)
{
    connect(&m_socket, &QTcpSocket::connected, this, &PrologixLink::opened);
    connect(&m_socket, &QTcpSocket::errorOccurred, this, &PrologixTcpLink::onError);
    connect(&m_socket, &QTcpSocket::disconnected, this, [this] {
        if (!m_closing)
            emit lost(QStringLiteral("the adapter closed the connection"));
    });
}

QString PrologixTcpLink::where() const
{
    return m_host + u':' + QString::number(m_port);
}

void PrologixTcpLink::open()
{
    close();
    m_socket.connectToHost(m_host, m_port);
}

void PrologixTcpLink::close()
{
    m_closing = true;
    m_socket.abort();
    m_closing = false;
}

// A refused or broken connection; a close by the adapter may be reported
// here and again by disconnected().
void PrologixTcpLink::onError()
{
    if (!m_closing)
        emit lost(m_socket.errorString());
}

} // namespace qle
