#pragma once

#include "ByteLink.h"

#include <QElapsedTimer>
#include <QList>

// An in-memory wire: what the simulator writes is recorded with the time it
// was written; what the test sends arrives as if from the program.
class FakeLink : public psusim::ByteLink {
    Q_OBJECT
public:
    struct Chunk {
        qint64 atMs;
        QByteArray bytes;
    };

    FakeLink() { m_clock.start(); }

    [[nodiscard]] bool peerPresent() const override { return m_peer; }
    qint64 write(const QByteArray &data) override
    {
        chunks.append({m_clock.elapsed(), data});
        written += data;
        return data.size();
    }
    void dropConnection() override
    {
        ++drops;
        setPeer(false);
    }
    [[nodiscard]] QString address() const override { return QStringLiteral("fake"); }

    void send(const QByteArray &bytes) { emit received(bytes); }
    void setPeer(bool present)
    {
        m_peer = present;
        emit peerChanged(present);
    }
    [[nodiscard]] qint64 elapsed() const { return m_clock.elapsed(); }

    QByteArray written;
    QList<Chunk> chunks;
    int drops = 0;

private:
    QElapsedTimer m_clock;
    bool m_peer = true;
};
