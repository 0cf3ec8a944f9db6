#include "PtyLink.h"

#include <QFile>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace psusim {

PtyLink::PtyLink(QObject *parent) : ByteLink(parent)
{
    m_peerPoll.setInterval(kPeerPollMs);
    connect(&m_peerPoll, &QTimer::timeout, this, &PtyLink::checkPeer);
}

PtyLink::~PtyLink()
{
    closeMaster();
    if (!m_symlink.isEmpty())
        ::unlink(QFile::encodeName(m_symlink).constData());
}

bool PtyLink::open(QString *error)
{
    int master = -1;
    int slave = -1;
    char name[256] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        if (error)
            *error = QStringLiteral("openpty: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    termios tio{};
    if (::tcgetattr(slave, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(slave, TCSANOW, &tio);
    }
    // The settings stay with the terminal; the program opens its own slave.
    ::close(slave);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    m_master = master;
    m_slavePath = QString::fromLocal8Bit(name);
    m_notifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    m_notifier->setEnabled(false);
    connect(m_notifier, &QSocketNotifier::activated, this, &PtyLink::onReadable);
    m_peer = false;
    m_peerPoll.start();
    return true;
}

void PtyLink::closeMaster()
{
    m_peerPoll.stop();
    if (m_notifier) {
        m_notifier->setEnabled(false);
        delete m_notifier;
        m_notifier = nullptr;
    }
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}

bool PtyLink::setSymlink(const QString &path, QString *error)
{
    m_symlink = path;
    return updateSymlink(error);
}

bool PtyLink::updateSymlink(QString *error)
{
    if (m_symlink.isEmpty())
        return true;
    // Replace atomically, so a program re-opening the path never misses it.
    const QByteArray target = QFile::encodeName(m_slavePath);
    const QByteArray link = QFile::encodeName(m_symlink);
    const QByteArray temporary = link + ".new";
    ::unlink(temporary.constData());
    if (::symlink(target.constData(), temporary.constData()) != 0 ||
        ::rename(temporary.constData(), link.constData()) != 0) {
        if (error)
            *error = QStringLiteral("cannot create link %1: %2")
                         .arg(m_symlink, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    return true;
}

qint64 PtyLink::write(const QByteArray &data)
{
    if (m_master < 0 || !m_peer)
        return data.size();
    const ssize_t n = ::write(m_master, data.constData(), size_t(data.size()));
    if (n >= 0)
        return n;
    if (errno == EAGAIN || errno == EINTR)
        return 0;
    lostPeer();
    return data.size();
}

void PtyLink::onReadable()
{
    char buffer[4096];
    QByteArray data;
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n > 0) {
            data.append(buffer, n);
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            break;
        // EIO (or end of file): the last slave descriptor was closed.
        if (!data.isEmpty())
            emit received(data);
        lostPeer();
        return;
    }
    if (!data.isEmpty())
        emit received(data);
}

void PtyLink::lostPeer()
{
    if (m_master < 0)
        return;
    m_notifier->setEnabled(false);
    ::tcflush(m_master, TCIOFLUSH);
    const bool was = m_peer;
    m_peer = false;
    m_peerPoll.start();
    if (was)
        emit peerChanged(false);
}

void PtyLink::checkPeer()
{
    if (m_master < 0)
        return;
    pollfd pfd{m_master, POLLIN, 0};
    if (::poll(&pfd, 1, 0) < 0)
        return;
    if (pfd.revents & POLLHUP) {
        // A peer that opened, wrote and closed between two polls: what it
        // wrote waits on the master until read. It came and went, as a TCP
        // client that writes and closes at once does; its bytes count now.
        if (pfd.revents & POLLIN) {
            m_peer = true;
            emit peerChanged(true);
            onReadable();
            if (m_peer)
                lostPeer();
        }
        return;
    }
    m_peerPoll.stop();
    m_peer = true;
    m_notifier->setEnabled(true);
    emit peerChanged(true);
}

void PtyLink::dropConnection()
{
    const bool was = m_peer;
    closeMaster();
    m_peer = false;
    if (was)
        emit peerChanged(false);
    QString error;
    if (!open(&error)) {
        qWarning("psu-sim: %s", qPrintable(error));
        return;
    }
    updateSymlink(&error);
    emit addressChanged(m_slavePath);
}

} // namespace psusim
