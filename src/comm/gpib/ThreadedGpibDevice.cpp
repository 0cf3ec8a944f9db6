#include "ThreadedGpibDevice.h"

#include "BlockingGpibBus.h"
#include "GpibWorker.h"
#include "LocalWait.h"

#include <QTimer>

namespace qle {

ThreadedGpibDevice::ThreadedGpibDevice(std::unique_ptr<BlockingGpibBus> bus, QObject *parent)
    : GpibDevice(parent), m_worker(new GpibWorker(std::move(bus)))
{
    m_thread.setObjectName(QStringLiteral("gpib-worker"));
    m_worker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    connect(m_worker, &GpibWorker::finished, this, &ThreadedGpibDevice::onFinished);
    m_thread.start();
}

ThreadedGpibDevice::~ThreadedGpibDevice()
{
    // The close runs after every call already handed to the worker; a read
    // in progress ends within the library's I/O time-out.
    disconnect(m_worker, nullptr, this, nullptr);
    QMetaObject::invokeMethod(m_worker, &GpibWorker::shutdown, Qt::QueuedConnection);
    m_thread.wait();
}

bool ThreadedGpibDevice::configure(int board, int address)
{
    if (m_openWait)
        return false; // already waiting for an open
    // Whatever was in flight belongs to the previous configuration.
    m_pendingTicket = 0;
    m_pending = Pending::None;
    m_open = false;
    m_address = address;
    m_lastError.clear();
    const quint64 ticket = ++m_lastTicket;
    m_openTicket = ticket;

    LocalWait wait(ConfigureTimeoutMsec);
    m_openWait = &wait;
    QMetaObject::invokeMethod(
        m_worker, [worker = m_worker, ticket, board, address] { worker->open(ticket, board, address); },
        Qt::QueuedConnection);
    const bool ok = wait.exec();
    m_openWait = nullptr;
    m_openTicket = 0;
    if (!ok && m_lastError.isEmpty())
        m_lastError = QStringLiteral("no answer from the GPIB library");
    m_open = ok;
    return ok;
}

void ThreadedGpibDevice::write(const QByteArray &data)
{
    if (!m_open) {
        failSoon(QStringLiteral("GPIB device is not configured"));
        return;
    }
    start(Pending::Write);
    QMetaObject::invokeMethod(
        m_worker, [worker = m_worker, ticket = m_pendingTicket, data] { worker->write(ticket, data); },
        Qt::QueuedConnection);
}

void ThreadedGpibDevice::readAsync()
{
    if (!m_open) {
        failSoon(QStringLiteral("GPIB device is not configured"));
        return;
    }
    start(Pending::Read);
    QMetaObject::invokeMethod(
        m_worker, [worker = m_worker, ticket = m_pendingTicket] { worker->read(ticket); }, Qt::QueuedConnection);
}

void ThreadedGpibDevice::reset()
{
    m_pendingTicket = 0;
    m_pending = Pending::None;
    if (m_open)
        QMetaObject::invokeMethod(m_worker, &GpibWorker::clear, Qt::QueuedConnection);
}

void ThreadedGpibDevice::start(Pending kind)
{
    m_pendingTicket = ++m_lastTicket;
    m_pending = kind;
}

// The engine calls write() from inside its own pass; the notice must come
// from the event loop, as a bus result would.
void ThreadedGpibDevice::failSoon(const QString &description)
{
    start(Pending::Write);
    QTimer::singleShot(0, this, [this, ticket = m_pendingTicket, description] {
        if (ticket != m_pendingTicket)
            return;
        m_pendingTicket = 0;
        m_pending = Pending::None;
        emit error(description);
    });
}

void ThreadedGpibDevice::onFinished(quint64 ticket, bool ok, const QByteArray &data, const QString &description)
{
    if (ticket == m_openTicket && m_openWait) {
        m_lastError = description;
        m_openWait->finish(ok);
        return;
    }
    if (ticket == 0 || ticket != m_pendingTicket)
        return; // abandoned by reset() or a newer configure()
    const Pending kind = m_pending;
    m_pendingTicket = 0;
    m_pending = Pending::None;
    if (!ok)
        emit error(description);
    else if (kind == Pending::Write)
        emit writeComplete();
    else
        emit dataRead(data);
}

} // namespace qle
