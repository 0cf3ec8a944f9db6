#include "ResponseRing.h"

#include "platform/Trace.h"

namespace qle {

void ResponseRing::RspPush(const QString &data)
{
    if (m_count < Size) {
        m_lines[static_cast<std::size_t>(m_count)] = data;
        ++m_count;
        m_lastLine = data;
        Trace("RspPush '" + data + "'");
    } else {
        Trace("Rsp overflow");
    }
}

QString ResponseRing::RspPop()
{
    if (m_count < 1)
        return {};
    QString line = m_lines[static_cast<std::size_t>(m_count - 1)];
    Trace("RspPop '" + line + "'");
    m_count = 0;
    return line;
}

void ResponseRing::RspTask(const QString &data)
{
    static const QChar cr(u'\r');
    static const QChar lf(u'\n');
    for (const QChar ch : data) {
        if (ch == cr || ch == lf) {
            if (ch == m_pairPartner) {
                m_pairPartner = QChar();
                continue;
            }
            ++m_linesEnded;
            if (!m_line.contains(QLatin1String("bit")))
                RspPush(m_line);
            m_line.clear();
            m_pairPartner = ch == cr ? lf : cr;
        } else {
            m_pairPartner = QChar();
            m_line.append(ch);
        }
    }
}

} // namespace qle
