#include "OutputQueue.h"

#include "ByteLink.h"
#include "MonotonicClock.h"

#include <cmath>

namespace psusim {

namespace {
constexpr int kRetryMs = 5;   // link buffer full
constexpr int kMinTickMs = 2; // paced output leaves in small bursts
} // namespace

OutputQueue::OutputQueue(ByteLink &link, const MonotonicClock &clock, QObject *parent)
    : QObject(parent), m_link(link), m_clock(clock)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &OutputQueue::pump);
}

void OutputQueue::enqueue(const QByteArray &bytes, double notBeforeMs, int gapMs, const QByteArray &label)
{
    Item item;
    item.bytes = bytes;
    // Nothing starts before it was handed over, even after an idle line.
    item.notBeforeMs = qMax(notBeforeMs, m_clock.nowMs());
    item.gapMs = gapMs;
    item.label = label;
    m_items.push_back(item);
    if (!m_timer.isActive())
        pump();
}

void OutputQueue::enqueueDisconnect()
{
    Item item;
    item.disconnect = true;
    item.notBeforeMs = m_clock.nowMs();
    item.gapMs = kDropGraceMs;
    m_items.push_back(item);
    if (!m_timer.isActive())
        pump();
}

void OutputQueue::clear()
{
    m_items.clear();
    m_headStarted = false;
    m_headSent = 0;
    m_timer.stop();
}

void OutputQueue::scheduleIn(double ms)
{
    m_timer.start(qMax(0, int(std::ceil(ms))));
}

void OutputQueue::pump()
{
    while (!m_items.empty()) {
        Item &item = m_items.front();
        const double now = m_clock.nowMs();
        if (!m_headStarted) {
            const double start = qMax(item.notBeforeMs, m_lineFreeAtMs + item.gapMs);
            if (now < start) {
                scheduleIn(start - now);
                return;
            }
            m_headStarted = true;
            m_headStartMs = qMax(start, m_lineFreeAtMs);
            m_headSent = 0;
            if (!item.label.isEmpty())
                emit started(item.label);
        }
        if (item.disconnect) {
            m_items.pop_front();
            m_headStarted = false;
            m_lineFreeAtMs = now;
            m_link.dropConnection();
            continue;
        }
        const qsizetype size = item.bytes.size();
        qsizetype due = size;
        double byteMs = 0;
        if (m_baud > 0) {
            byteMs = 10000.0 / m_baud;
            due = qMin(size, qsizetype(std::floor((now - m_headStartMs) / byteMs + 1e-9)));
        }
        if (due > m_headSent) {
            const qint64 taken = m_link.write(item.bytes.mid(m_headSent, due - m_headSent));
            m_headSent += qsizetype(taken);
            if (m_headSent < due) {
                scheduleIn(kRetryMs);
                return;
            }
        }
        if (m_headSent < size) {
            const double nextDue = m_headStartMs + double(m_headSent + 1) * byteMs;
            scheduleIn(qMax(double(kMinTickMs), nextDue - now));
            return;
        }
        m_lineFreeAtMs = m_baud > 0 ? m_headStartMs + double(size) * byteMs : now;
        m_items.pop_front();
        m_headStarted = false;
    }
    emit drained();
}

} // namespace psusim
