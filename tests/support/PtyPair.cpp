#include "PtyPair.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace qle::testing {

PtyPair::PtyPair()
{
    char name[256] = {};
    termios raw{};
    cfmakeraw(&raw);
    if (openpty(&m_master, &m_slave, name, &raw, nullptr) != 0) {
        m_master = m_slave = -1;
        return;
    }
    m_slavePath = QString::fromLocal8Bit(name);
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    m_notifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &PtyPair::onReadable);
}

PtyPair::~PtyPair()
{
    closeMaster();
    if (m_slave >= 0)
        ::close(m_slave);
}

void PtyPair::write(const QByteArray &data)
{
    if (m_master < 0)
        return;
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(m_master, data.constData() + done, static_cast<size_t>(data.size() - done));
        if (n <= 0)
            return;
        done += n;
    }
}

QByteArray PtyPair::takeReceived()
{
    QByteArray data = m_received;
    m_received.clear();
    return data;
}

void PtyPair::closeMaster()
{
    if (m_master < 0)
        return;
    delete m_notifier;
    m_notifier = nullptr;
    ::close(m_master);
    m_master = -1;
    // Without the spare slave descriptor the program's port gets EIO at once.
    if (m_slave >= 0) {
        ::close(m_slave);
        m_slave = -1;
    }
}

void PtyPair::onReadable()
{
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n <= 0)
            break;
        m_received.append(buffer, static_cast<qsizetype>(n));
    }
    emit dataReceived();
}

} // namespace qle::testing
