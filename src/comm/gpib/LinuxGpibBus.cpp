#include "LinuxGpibBus.h"

namespace qle {

using namespace linuxgpib;

namespace {
constexpr long ReadChunk = 1024;
constexpr qsizetype MaxReply = 1 << 20;
static_assert(BlockingGpibBus::IoTimeoutMsec == 3000, "T3s is the I/O time-out given to ibdev");
} // namespace

LinuxGpibBus::~LinuxGpibBus()
{
    close();
}

BusResult LinuxGpibBus::failure(const QString &call) const
{
    const int code = m_api.lastError();
    const QString why = code == EABO ? QStringLiteral(" (time-out)") : QString();
    return BusResult::failure(call + QStringLiteral(" failed, iberr %1").arg(code) + why);
}

BusResult LinuxGpibBus::open(int board, int address)
{
    close();
    QString why;
    if (!m_api.load(&why))
        return BusResult::failure(QStringLiteral("no linux-gpib library: ") + why);
    m_ud = m_api.ibdev(board, address, 0, T3s, 1, 0);
    if (m_ud < 0)
        return failure(QStringLiteral("ibdev"));
    return BusResult::success();
}

BusResult LinuxGpibBus::write(const QByteArray &data)
{
    const int status = m_api.ibwrt(m_ud, data.constData(), static_cast<long>(data.size()));
    if (status & ERR)
        return failure(QStringLiteral("ibwrt"));
    return BusResult::success();
}

BusResult LinuxGpibBus::read()
{
    QByteArray reply;
    char chunk[ReadChunk];
    for (;;) {
        const int status = m_api.ibrd(m_ud, chunk, ReadChunk);
        if (status & ERR)
            return failure(QStringLiteral("ibrd"));
        const long count = qBound(0L, m_api.lastCount(), ReadChunk);
        reply.append(chunk, static_cast<qsizetype>(count));
        if ((status & END) || count < ReadChunk)
            return BusResult::success(reply);
        if (reply.size() > MaxReply)
            return BusResult::failure(QStringLiteral("ibrd: reply too long"));
    }
}

void LinuxGpibBus::clear()
{
    if (m_ud >= 0)
        m_api.ibclr(m_ud);
}

void LinuxGpibBus::close()
{
    if (m_ud >= 0)
        m_api.ibonl(m_ud, 0);
    m_ud = -1;
}

} // namespace qle
