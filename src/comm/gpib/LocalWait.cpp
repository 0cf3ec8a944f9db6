#include "LocalWait.h"

namespace qle {

LocalWait::LocalWait(int timeoutMsec)
{
    m_deadline.setSingleShot(true);
    m_deadline.setInterval(timeoutMsec);
    QObject::connect(&m_deadline, &QTimer::timeout, &m_loop, [this] { m_loop.exit(); });
}

void LocalWait::finish(bool ok)
{
    if (m_done)
        return;
    m_done = true;
    m_ok = ok;
    m_loop.exit();
}

bool LocalWait::exec()
{
    if (!m_done) {
        m_deadline.start();
        m_loop.exec();
        m_deadline.stop();
    }
    return m_done && m_ok;
}

} // namespace qle
