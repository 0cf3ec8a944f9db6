#pragma once

// What every benchmark program shares: the machine line, medians, the one-line
// figure format, a quiet message box, and the virtual instrument as a child
// process with its transcript.

#include "platform/MessageBox.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdio>
#include <optional>

namespace qle::bench {

// "machine: host, N cores (nproc), CPU model, load a b c, date".
QString machineLine();
// Prints the machine line under a title, so that every program's output says
// where its figures came from.
void printHeader(const char *title);

double median(QList<double> values);
// The value at or below which p percent of the values lie (nearest rank).
double percentile(QList<double> values, double p);
// Seconds on a monotonic clock since the first call.
double nowMs();

// One figure on one line: name, measured value, the reference, the ratio
// value/reference, the goal and PASS or MISS (or INFO when no goal applies).
struct Figure {
    QString name;
    double value = 0;
    QString unit;
    QString refName;
    double ref = 0;
    QString goal;           // human-readable goal, e.g. "<= 1.15 x ref"
    std::optional<bool> ok; // empty: no goal, printed as INFO
    QString note;           // appended after the verdict
};
void print(const Figure &figure);
// A line for a figure that could not be measured here.
void printNotAvailable(const QString &name, const QString &why);
// Free text under the figures (repetitions, raw medians).
void printDetail(const QString &text);

// Resident set size of this process, kB (VmRSS of /proc/self/status).
qint64 residentKb();
// CPU time (user + system) of this process so far, ms.
double cpuMs();

// A message box that never waits: it records the text and answers Ok / Yes.
class QuietMessageBox final : public IMessageBox {
public:
    QuietMessageBox();
    ~QuietMessageBox() override;
    Answer show(const QString &text, const QString &title, Buttons buttons, Icon icon) override;
    QStringList shown;
};

// One line of the transcript: '<' received by the instrument, '>' sent by it.
struct WireLine {
    char direction = '<';
    qint64 bytes = 0; // on the wire, with its terminator
    QString text;
};

// Bytes and lines the instrument logged in its transcript since the last take.
struct Exchange {
    QList<WireLine> lines;
    int linesIn = 0;     // lines the instrument received
    int linesOut = 0;    // lines the instrument sent
    qint64 bytesIn = 0;  // with the "\r\n" the program sends after each line
    qint64 bytesOut = 0; // with the "\n" the instrument ends each reply with
    [[nodiscard]] qint64 bytes() const { return bytesIn + bytesOut; }
};

// psu-sim as a child process on a pseudo-terminal, with a link path and a transcript.
class SimInstrument final {
public:
    SimInstrument() = default;
    ~SimInstrument() { stop(); }
    SimInstrument(const SimInstrument &) = delete;
    SimInstrument &operator=(const SimInstrument &) = delete;

    bool start(const QStringList &arguments);
    void stop();
    [[nodiscard]] QString link() const { return m_link; }
    // What the transcript gained since the previous call.
    Exchange takeExchange();
    // "<ms> < line" received, "<ms> > line" sent, ms on the simulator's own
    // monotonic clock.
    [[nodiscard]] QString transcriptPath() const { return m_dir.filePath("transcript.txt"); }
    // A control-channel command ("set volt 1 5"), written without waiting
    // for its answer (it needs "--control stdin").
    void control(const QString &command);

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_link;
    qint64 m_offset = 0;
};

// Bytes of a transcript text as it went over the wire (the transcript writes
// "\\" for a backslash and "\xNN" for any other byte outside printable ASCII).
qint64 wireLength(const QByteArray &escaped);

// 1 byte = 10 bits (8N1) at the given baud rate, in ms.
inline double byteMs(int baud)
{
    return 10000.0 / baud;
}

} // namespace qle::bench
