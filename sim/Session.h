#pragma once

#include "Frontend.h"
#include "LineSplitter.h"
#include "OutputQueue.h"

#include <QObject>

namespace psusim {

class ByteLink;
class FaultInjector;
class MonotonicClock;
class Transcript;

// Joins the wire to the front end: cuts received bytes into lines, hands
// them on, shapes the replies through the active faults and queues them for
// sending. Everything is logged to the transcript.
class Session : public QObject {
    Q_OBJECT
public:
    Session(ByteLink &link, Frontend &frontend, FaultInjector &faults, const MonotonicClock &clock,
            Transcript &transcript, QObject *parent = nullptr);

    void setTerminator(const QByteArray &terminator) { m_terminator = terminator; }
    [[nodiscard]] QByteArray terminator() const { return m_terminator; }
    OutputQueue &output() { return m_output; }

private:
    void onReceived(const QByteArray &bytes);
    void onPeerChanged(bool present);
    void deliver(const Outgoing &out);

    ByteLink &m_link;
    Frontend &m_frontend;
    FaultInjector &m_faults;
    const MonotonicClock &m_clock;
    Transcript &m_transcript;
    LineSplitter m_splitter;
    OutputQueue m_output;
    QByteArray m_terminator = "\n";
    bool m_dropAfterLine = false;
};

} // namespace psusim
