// The reply line splitter and store, fed the way the transports feed it: any
// bytes, cut into chunks of any size, with pops and resets of the store in
// between. Checked against the documented rules, worked out independently
// over the text received so far.
#include "comm/ResponseRing.h"
#include "FuzzCheck.h"
#include "platform/Trace.h"

#include <QRegularExpression>
#include <QStringList>

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>

namespace {

using qle::ResponseRing;

// What the store reports through the trace, in order.
class Sink final : public qle::ITraceSink {
public:
    void printd(const QString &message) override { lines.append(message); }
    QStringList lines;
};

// The expected behaviour. A CR or an LF ends a line; the other one of the
// pair right after it belongs to the same line end. Lines containing "bit"
// are dropped; the store keeps at most 200 lines until a pop or a reset.
class Expected {
public:
    // Feeds received text; returns the lines that this text ended.
    QStringList feed(const QString &text)
    {
        m_text += text;
        static const QRegularExpression lineEnd(QStringLiteral("\r\n|\n\r|\r|\n"));
        QStringList ended;
        qsizetype start = 0;
        qsizetype lastEndStart = -1;
        qsizetype lastEndLength = 0;
        QRegularExpressionMatchIterator it = lineEnd.globalMatch(m_text);
        bool first = true;
        while (it.hasNext()) {
            const QRegularExpressionMatch match = it.next();
            // The kept end of the previous call, matched again: already counted,
            // unless it now is longer (its pair partner arrived) - still one end.
            if (first && m_keptEnd && match.capturedStart() == 0) {
                first = false;
                start = match.capturedEnd();
                lastEndStart = match.capturedStart();
                lastEndLength = match.capturedLength();
                continue;
            }
            first = false;
            ended.append(m_text.mid(start, match.capturedStart() - start));
            start = match.capturedEnd();
            lastEndStart = match.capturedStart();
            lastEndLength = match.capturedLength();
        }
        // Keep the last line end (it may still pair with what comes next) and
        // the characters after it, the line in the making.
        if (lastEndStart >= 0 && lastEndStart + lastEndLength == m_text.size() && lastEndLength == 1) {
            m_text = m_text.mid(lastEndStart);
            m_keptEnd = true;
        } else if (lastEndStart >= 0 && lastEndStart + lastEndLength == m_text.size()) {
            // A complete pair ends the text: nothing can join it any more.
            m_text.clear();
            m_keptEnd = false;
        } else if (lastEndStart >= 0) {
            m_text = m_text.mid(start);
            m_keptEnd = false;
        }
        return ended;
    }
    // The characters after the last line end.
    [[nodiscard]] QString pending() const { return m_keptEnd ? m_text.mid(1) : m_text; }

private:
    QString m_text;
    bool m_keptEnd = false; // m_text starts with a lone CR or LF already counted
};

// Chunk text from the input: as Latin-1 bytes (the serial and GPIB paths),
// as UTF-8, or over a small alphabet that reaches line ends, "bit" and a full
// store quickly.
QString takeChunk(FuzzedDataProvider &input, int kind)
{
    const std::size_t length = input.ConsumeIntegralInRange<std::size_t>(0, 96);
    const std::string bytes = input.ConsumeBytesAsString(length);
    if (kind == 0)
        return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    if (kind == 1)
        return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    static const char alphabet[] = {'\r', '\n', 'b', 'i', 't', '1', '.', ' '};
    QString text;
    for (const char byte : bytes)
        text.append(QLatin1Char(alphabet[static_cast<unsigned char>(byte) % sizeof alphabet]));
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    Sink sink;
    qle::setTraceSink(&sink);
    ResponseRing ring;
    Expected expected;
    int count = 0;
    QStringList stored; // what the store holds, oldest first
    QString last;
    quint64 ended = 0;

    while (input.remaining_bytes() > 0) {
        sink.lines.clear();
        const int op = input.ConsumeIntegralInRange<int>(0, 9);
        if (op <= 6) {
            const QString chunk = takeChunk(input, op % 3);
            ring.RspTask(chunk);
            QStringList pushes;
            for (const QString &line : expected.feed(chunk)) {
                ++ended;
                if (line.contains(QLatin1String("bit")))
                    continue;
                if (count < ResponseRing::Size) {
                    ++count;
                    stored.append(line);
                    pushes.append(QStringLiteral("RspPush '") + line + QStringLiteral("'"));
                    last = line;
                } else {
                    pushes.append(QStringLiteral("Rsp overflow"));
                }
            }
            FUZZ_CHECK(sink.lines == pushes, sink.lines.join(u'|'), pushes.join(u'|'), chunk);
            for (const QString &line : stored) {
                FUZZ_CHECK(!line.contains(u'\r') && !line.contains(u'\n'), line);
                FUZZ_CHECK(!line.contains(QLatin1String("bit")), line);
            }
        } else if (op <= 8) {
            const QString popped = ring.RspPop();
            const QString want = count > 0 ? stored.last() : QString();
            FUZZ_CHECK(popped == want, popped, want);
            if (count > 0)
                FUZZ_CHECK(sink.lines == QStringList{QStringLiteral("RspPop '") + want + QStringLiteral("'")},
                           sink.lines.join(u'|'));
            else
                FUZZ_CHECK(sink.lines.isEmpty(), sink.lines.join(u'|'));
            count = 0;
            stored.clear();
        } else {
            ring.ResetRspArray();
            count = 0;
            stored.clear();
        }
        FUZZ_CHECK(ring.RspCount() == count, ring.RspCount(), count);
        FUZZ_CHECK(ring.RspCount() >= 0 && ring.RspCount() <= ResponseRing::Size, ring.RspCount());
        FUZZ_CHECK(ring.RspLine() == expected.pending(), ring.RspLine(), expected.pending());
        FUZZ_CHECK(ring.lastLine() == last, ring.lastLine(), last);
        FUZZ_CHECK(ring.linesEnded() == ended, static_cast<double>(ring.linesEnded()), static_cast<double>(ended));
    }
    qle::setTraceSink(nullptr);
    return 0;
}
