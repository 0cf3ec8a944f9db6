#include "Session.h"

#include "ByteLink.h"
#include "FaultInjector.h"
#include "MonotonicClock.h"
#include "Transcript.h"

namespace psusim {

Session::Session(ByteLink &link, Frontend &frontend, FaultInjector &faults, const MonotonicClock &clock,
                 Transcript &transcript, QObject *parent)
    : QObject(parent), m_link(link), m_frontend(frontend), m_faults(faults), m_clock(clock), m_transcript(transcript),
      m_output(link, clock)
{
    connect(&m_link, &ByteLink::received, this, &Session::onReceived);
    connect(&m_link, &ByteLink::peerChanged, this, &Session::onPeerChanged);
    connect(&m_link, &ByteLink::addressChanged, this,
            [this](const QString &address) { m_transcript.note(QStringLiteral("link now at %1").arg(address)); });
    connect(&m_output, &OutputQueue::started, this, [this](const QByteArray &label) { m_transcript.sent(label); });
    m_frontend.setCommandObserver([this](const QByteArray &command) {
        const FaultInjector::Verdict verdict = m_faults.onCommand(command);
        if (verdict.disconnect)
            m_dropAfterLine = true;
        return verdict;
    });
}

void Session::onPeerChanged(bool present)
{
    m_transcript.note(present ? QStringLiteral("peer connected") : QStringLiteral("peer gone"));
    if (!present) {
        m_output.clear();
        m_splitter.clear();
    }
}

void Session::onReceived(const QByteArray &bytes)
{
    for (const QByteArray &line : m_splitter.feed(bytes)) {
        m_transcript.received(line);
        const QList<Outgoing> replies = m_frontend.handleLine(line, m_clock.nowMs());
        for (const Outgoing &out : replies)
            deliver(out);
        if (m_dropAfterLine) {
            m_dropAfterLine = false;
            m_transcript.note(QStringLiteral("fault disconnect after command %1").arg(m_faults.commandCount()));
            m_output.enqueueDisconnect();
        }
    }
}

void Session::deliver(const Outgoing &out)
{
    if (!out.fromInstrument) {
        m_output.enqueue(out.text + m_terminator, out.readyAtMs, 0, out.text);
        return;
    }
    if (out.muted) {
        m_transcript.note(QStringLiteral("fault noreply: '%1' not sent").arg(QString::fromLatin1(out.text)));
        return;
    }
    const FaultInjector::Shaped shaped = m_faults.shapeReply(out.text, out.command, m_terminator, out.readyAtMs);
    for (const QString &note : shaped.notes)
        m_transcript.note(note);
    for (const FaultInjector::Piece &piece : shaped.pieces)
        m_output.enqueue(piece.bytes, piece.notBeforeMs, piece.gapMs, piece.label);
}

} // namespace psusim
