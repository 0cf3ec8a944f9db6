#pragma once

#include "comm/GpibDevice.h"

#include <QTimer>

#include <memory>

namespace qle {

class LocalWait;
class PrologixLink;

// An instrument behind a Prologix GPIB-USB or GPIB-ETHERNET controller. The
// controller is set up for one instrument at configure(); a write sends the
// text as one message, a read asks the controller for the instrument's reply
// and delivers the line that comes back. All event-driven on the caller's
// thread. The board number does not apply: the controller is its own board.
class PrologixGpibDevice final : public GpibDevice {
    Q_OBJECT
public:
    static constexpr quint16 EthernetPort = 1234;
    static constexpr int OpenTimeoutMsec = 3000;
    static constexpr int ProbeTimeoutMsec = 2000;
    static constexpr int ReplyTimeoutMsec = 3000;

    explicit PrologixGpibDevice(std::unique_ptr<PrologixLink> link, QObject *parent = nullptr);
    ~PrologixGpibDevice() override;

    // Opens the link and checks that a controller answers "++ver".
    bool configure(int board, int address) override;
    [[nodiscard]] int address() const override { return m_address; }
    void write(const QByteArray &data) override;
    void readAsync() override;
    // Abandons the transaction on the wire and clears the instrument.
    void reset() override;

    // How long a write may take to leave and a reply to come back.
    void setReplyTimeout(int msec) { m_timer.setInterval(msec); }
    [[nodiscard]] QString lastError() const override { return m_lastError; }
    // The serial port or host:port of the controller.
    [[nodiscard]] QString adapterLocation() const;
    // The controller's answer to "++ver" at the last configure().
    [[nodiscard]] QByteArray controllerVersion() const { return m_version; }

private:
    enum class State { Closed, Opening, Probing, Idle, Writing, Reading };

    bool send(const QByteArray &bytes);
    void discardInput();
    void fail(const QString &description);
    void failSoon(const QString &description);
    void abandonConfigure(const QString &description);
    void onOpened();
    void onLost(const QString &description);
    void onReadyRead();
    void onBytesWritten();
    void onTimeout();

    std::unique_ptr<PrologixLink> m_link;
    QTimer m_timer;
    State m_state = State::Closed;
    QByteArray m_input;
    LocalWait *m_wait = nullptr;
    quint64 m_epoch = 0; // bumped whenever the transaction on the wire is given up
    int m_address = 0;
    QString m_lastError;
    QByteArray m_version;
};

} // namespace qle
