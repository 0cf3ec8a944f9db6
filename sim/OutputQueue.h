#pragma once

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <deque>

namespace psusim {

class ByteLink;
class MonotonicClock;

// Everything the instrument sends goes through this queue, in order. Each
// item may wait for a point in time and for a pause after the previous one;
// with a baud rate set, bytes leave at the pace of a serial line (10 bits per
// byte: start, 8 data, stop): byte k of an item leaves once k byte times have
// passed since the item started.
class OutputQueue : public QObject {
    Q_OBJECT
public:
    OutputQueue(ByteLink &link, const MonotonicClock &clock, QObject *parent = nullptr);

    void setBaud(int baud) { m_baud = baud; }
    [[nodiscard]] int baud() const { return m_baud; }

    // notBeforeMs: earliest start (clock time); gapMs: pause after the end of
    // the previous item; label: reported by started() when the item begins.
    void enqueue(const QByteArray &bytes, double notBeforeMs = 0, int gapMs = 0, const QByteArray &label = {});
    // Drops the connection once everything before it has been sent and the
    // peer has had a moment to read it (a hang-up discards unread input).
    void enqueueDisconnect();
    static constexpr int kDropGraceMs = 100;
    void clear();
    [[nodiscard]] bool isIdle() const { return m_items.empty(); }

signals:
    void started(const QByteArray &label);
    void drained();

private:
    struct Item {
        QByteArray bytes;
        double notBeforeMs = 0;
        int gapMs = 0;
        QByteArray label;
        bool disconnect = false;
    };

    void pump();
    void scheduleIn(double ms);

    ByteLink &m_link;
    const MonotonicClock &m_clock;
    QTimer m_timer;
    std::deque<Item> m_items;
    int m_baud = 0;
    double m_lineFreeAtMs = 0;
    bool m_headStarted = false;
    double m_headStartMs = 0;
    qsizetype m_headSent = 0;
};

} // namespace psusim
