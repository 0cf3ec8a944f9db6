#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

// The program's end of a pseudo-terminal, opened as a plain descriptor:
// collects what arrives, with the time the n-th byte was seen.
class PtyPeer : public QObject {
    Q_OBJECT
public:
    ~PtyPeer() override { close(); }

    bool open(const QString &path)
    {
        m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (m_fd < 0)
            return false;
        m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &PtyPeer::onReadable);
        return true;
    }
    void close()
    {
        delete m_notifier;
        m_notifier = nullptr;
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }
    bool write(const QByteArray &bytes)
    {
        return ::write(m_fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    }
    void startClock() { m_clock.start(); }
    // Milliseconds from startClock() until byte number n (1-based) arrived.
    [[nodiscard]] qint64 arrivalOf(qsizetype n) const
    {
        return n >= 1 && n <= m_arrivals.size() ? m_arrivals.at(n - 1) : -1;
    }

    QByteArray received;
    bool hungUp = false;

private:
    void onReadable()
    {
        char buffer[4096];
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n > 0) {
            received.append(buffer, n);
            const qint64 now = m_clock.isValid() ? m_clock.elapsed() : 0;
            for (ssize_t i = 0; i < n; ++i)
                m_arrivals.append(now);
        } else if (n == 0 || errno != EAGAIN) {
            hungUp = true;
            m_notifier->setEnabled(false);
        }
    }

    int m_fd = -1;
    QSocketNotifier *m_notifier = nullptr;
    QElapsedTimer m_clock;
    QList<qint64> m_arrivals;
};
