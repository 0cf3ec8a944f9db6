#pragma once

#include "comm/GpibDevice.h"

#include <QThread>

#include <memory>

namespace qle {

class BlockingGpibBus;
class GpibWorker;
class LocalWait;

// A GPIB device over a vendor library whose calls block. The calls run on a
// worker thread owned by the device; their results come back as the device's
// signals on the thread that created it. A result that arrives after reset()
// or after a newer configure() belongs to an abandoned transaction and is
// dropped.
class ThreadedGpibDevice : public GpibDevice {
    Q_OBJECT
public:
    // Longest wait in configure() for the library to open the instrument.
    static constexpr int ConfigureTimeoutMsec = 10000;

    ~ThreadedGpibDevice() override;

    bool configure(int board, int address) override;
    [[nodiscard]] int address() const override { return m_address; }
    void write(const QByteArray &data) override;
    void readAsync() override;
    void reset() override;

    // Why the last configure() failed, for the trace and the tests.
    [[nodiscard]] QString lastError() const override { return m_lastError; }

protected:
    ThreadedGpibDevice(std::unique_ptr<BlockingGpibBus> bus, QObject *parent);

private:
    enum class Pending { None, Write, Read };

    void start(Pending kind);
    void failSoon(const QString &description);
    void onFinished(quint64 ticket, bool ok, const QByteArray &data, const QString &description);

    QThread m_thread;
    GpibWorker *m_worker; // lives on m_thread, deleted when it finishes
    quint64 m_lastTicket = 0;
    quint64 m_pendingTicket = 0;
    Pending m_pending = Pending::None;
    quint64 m_openTicket = 0;
    LocalWait *m_openWait = nullptr;
    bool m_open = false;
    int m_address = 0;
    QString m_lastError;
};

} // namespace qle
