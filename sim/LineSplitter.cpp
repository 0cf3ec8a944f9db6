#include "LineSplitter.h"

namespace psusim {

QList<QByteArray> LineSplitter::feed(const QByteArray &bytes)
{
    QList<QByteArray> lines;
    for (char c : bytes) {
        if (c == '\n' && m_afterCr) {
            m_afterCr = false;
            continue;
        }
        m_afterCr = c == '\r';
        if (c == '\r' || c == '\n') {
            if (!m_line.isEmpty())
                lines.append(m_line);
            m_line.clear();
            continue;
        }
        if (m_line.size() >= kMaxLine) {
            lines.append(m_line);
            m_line.clear();
        }
        m_line.append(c);
    }
    return lines;
}

QList<QByteArray> LineSplitter::flush()
{
    QList<QByteArray> lines;
    if (!m_line.isEmpty())
        lines.append(m_line);
    m_line.clear();
    m_afterCr = false;
    return lines;
}

void LineSplitter::clear()
{
    m_line.clear();
    m_afterCr = false;
}

} // namespace psusim
