#include "ErrorQueue.h"

namespace psusim {

void ErrorQueue::push(int code, const QByteArray &text)
{
    if (m_entries.size() < kDepth) {
        m_entries.append({code, text});
        return;
    }
    m_entries.last() = {scpi_error::kQueueOverflow, QByteArrayLiteral("Queue overflow")};
}

QByteArray ErrorQueue::popReply()
{
    if (m_entries.isEmpty())
        return QByteArrayLiteral("0,\"No error\"");
    const Entry entry = m_entries.takeFirst();
    return QByteArray::number(entry.code) + ",\"" + entry.text + '"';
}

} // namespace psusim
