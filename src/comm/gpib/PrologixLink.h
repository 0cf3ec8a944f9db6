#pragma once

#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QTcpSocket>

namespace qle {

// The byte link to a Prologix controller: a serial port (GPIB-USB) or a TCP
// connection (GPIB-ETHERNET). Event-driven; nothing here blocks.
class PrologixLink : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Starts opening; opened() or lost() follows, possibly before this returns.
    // lost() may come more than once for one loss.
    virtual void open() = 0;
    // Closes without a lost() notice.
    virtual void close() = 0;
    [[nodiscard]] virtual QIODevice &io() = 0;
    // Where the link goes, for messages.
    [[nodiscard]] virtual QString where() const = 0;

signals:
    void opened();
    void lost(const QString &description);
};

class PrologixSerialLink final : public PrologixLink {
    Q_OBJECT
public:
    explicit PrologixSerialLink(QString portName, QObject *parent = nullptr);

    void open() override;
    void close() override;
    [[nodiscard]] QIODevice &io() override { return m_port; }
    [[nodiscard]] QString where() const override { return m_portName; }

private:
    void onError(QSerialPort::SerialPortError error);

    QString m_portName;
    QSerialPort m_port;
};

class PrologixTcpLink final : public PrologixLink {
    Q_OBJECT
public:
    PrologixTcpLink(QString host, quint16 port, QObject *parent = nullptr);

    void open() override;
    void close() override;
    [[nodiscard]] QIODevice &io() override { return m_socket; }
    [[nodiscard]] QString where() const override;

private:
    void onError();

    QString m_host;
    quint16 m_port;
    QTcpSocket m_socket;
    bool m_closing = false;
};

} // namespace qle
