#include "GpibWorker.h"

#include <QThread>

namespace qle {

GpibWorker::GpibWorker(std::unique_ptr<BlockingGpibBus> bus) : m_bus(std::move(bus))
{
}

GpibWorker::~GpibWorker() = default;

void GpibWorker::answer(quint64 ticket, const BusResult &result)
{
    emit finished(ticket, result.ok, result.data, result.error);
}

void GpibWorker::open(quint64 ticket, int board, int address)
{
    const BusResult result = m_bus->open(board, address);
    m_open = result.ok;
    answer(ticket, result);
}

void GpibWorker::write(quint64 ticket, const QByteArray &data)
{
    answer(ticket, m_open ? m_bus->write(data) : BusResult::failure(QStringLiteral("GPIB device is not open")));
}

void GpibWorker::read(quint64 ticket)
{
    answer(ticket, m_open ? m_bus->read() : BusResult::failure(QStringLiteral("GPIB device is not open")));
}

void GpibWorker::clear()
{
    if (m_open)
        m_bus->clear();
}

void GpibWorker::shutdown()
{
    if (m_open)
        m_bus->close();
    m_open = false;
    QThread::currentThread()->quit();
}

} // namespace qle
