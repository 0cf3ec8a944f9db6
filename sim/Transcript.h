#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

namespace psusim {

class MonotonicClock;

// A log of the conversation, one line per event, flushed at once:
//   "<ms> < <line>"  received from the program
//   "<ms> > <line>"  sent to the program (terminator not shown)
//   "<ms> # <text>"  what the simulator did (connection, fault, trip...)
// <ms> is the simulator's monotonic clock in whole milliseconds. Bytes
// outside printable ASCII are written as \xNN, a backslash as \\.
class Transcript {
public:
    explicit Transcript(const MonotonicClock &clock);

    bool open(const QString &path, QString *error);
    [[nodiscard]] bool isOpen() const { return m_file.isOpen(); }

    void received(const QByteArray &line);
    void sent(const QByteArray &line);
    void note(const QString &text);

    static QByteArray escaped(const QByteArray &bytes);

private:
    void write(char direction, const QByteArray &text);

    const MonotonicClock &m_clock;
    QFile m_file;
};

} // namespace psusim
