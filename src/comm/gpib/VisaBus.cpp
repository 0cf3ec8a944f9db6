#include "VisaBus.h"

namespace qle {

using namespace visa;

namespace {
constexpr ViUInt32 OpenTimeoutMsec = 2000;
constexpr ViUInt32 ReadChunk = 1024;
constexpr qsizetype MaxReply = 1 << 20;
} // namespace

VisaBus::~VisaBus()
{
    close();
}

BusResult VisaBus::failure(const QString &call, ViStatus status) const
{
    return BusResult::failure(call + QStringLiteral(" failed: ") + m_api.describe(m_vi ? m_vi : m_rm, status));
}

BusResult VisaBus::open(int board, int address)
{
    close();
    QString why;
    if (!m_api.load(&why))
        return BusResult::failure(QStringLiteral("no VISA library: ") + why);
    ViStatus status = m_api.viOpenDefaultRM(&m_rm);
    if (failed(status)) {
        m_rm = 0;
        return failure(QStringLiteral("viOpenDefaultRM"), status);
    }
    const QByteArray resource = resourceName(board, address).toLatin1();
    status = m_api.viOpen(m_rm, resource.constData(), 0, OpenTimeoutMsec, &m_vi);
    if (failed(status)) {
        m_vi = 0;
        BusResult result = failure(QStringLiteral("viOpen ") + QString::fromLatin1(resource), status);
        close();
        return result;
    }
    // Best effort: a library that refuses these keeps its own defaults.
    m_api.viSetAttribute(m_vi, VI_ATTR_TMO_VALUE, BlockingGpibBus::IoTimeoutMsec);
    m_api.viSetAttribute(m_vi, VI_ATTR_TERMCHAR_EN, 0);
    m_api.viSetAttribute(m_vi, VI_ATTR_SEND_END_EN, 1);
    return BusResult::success();
}

BusResult VisaBus::write(const QByteArray &data)
{
    const auto *bytes = reinterpret_cast<const unsigned char *>(data.constData());
    qsizetype done = 0;
    while (done < data.size()) {
        ViUInt32 written = 0;
        const ViStatus status = m_api.viWrite(m_vi, bytes + done, static_cast<ViUInt32>(data.size() - done), &written);
        if (failed(status))
            return failure(QStringLiteral("viWrite"), status);
        if (written == 0)
            return BusResult::failure(QStringLiteral("viWrite wrote nothing"));
        done += written;
    }
    return BusResult::success();
}

BusResult VisaBus::read()
{
    QByteArray reply;
    unsigned char chunk[ReadChunk];
    for (;;) {
        ViUInt32 count = 0;
        const ViStatus status = m_api.viRead(m_vi, chunk, ReadChunk, &count);
        if (failed(status))
            return failure(status == VI_ERROR_TMO ? QStringLiteral("viRead (time-out)") : QStringLiteral("viRead"),
                           status);
        reply.append(reinterpret_cast<const char *>(chunk), count);
        // Only a full buffer means more of the message is waiting.
        if (status != VI_SUCCESS_MAX_CNT)
            return BusResult::success(reply);
        if (reply.size() > MaxReply)
            return BusResult::failure(QStringLiteral("viRead: reply too long"));
    }
}

void VisaBus::clear()
{
    if (m_vi)
        m_api.viClear(m_vi);
}

void VisaBus::close()
{
    if (m_vi)
        m_api.viClose(m_vi);
    if (m_rm)
        m_api.viClose(m_rm);
    m_vi = 0;
    m_rm = 0;
}

} // namespace qle
