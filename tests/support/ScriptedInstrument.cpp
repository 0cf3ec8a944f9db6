#include "ScriptedInstrument.h"

namespace qle::testing {

ScriptedInstrument::ScriptedInstrument()
{
    connect(&m_pty, &PtyPair::dataReceived, this, &ScriptedInstrument::onData);
}

void ScriptedInstrument::onData()
{
    m_pending += m_pty.takeReceived();
    qsizetype end;
    while ((end = m_pending.indexOf("\r\n")) >= 0) {
        const QString line = QString::fromLatin1(m_pending.left(end));
        m_pending.remove(0, end + 2);
        received.append(line);
        if (silent || !line.contains(u'?'))
            continue;
        m_pty.write(replies.value(line, "0").toLatin1() + "\n");
    }
}

} // namespace qle::testing
