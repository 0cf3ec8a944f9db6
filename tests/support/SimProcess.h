#pragma once

#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

namespace qle::testing {

// The virtual instrument as a child process on a pseudo-terminal, with a
// stable link path, a transcript and its control channel on standard input.
class SimProcess final {
public:
    // Starts psu-sim with the given extra arguments; false when it did not
    // announce its terminal (or, with "--tcp 0", its port).
    bool start(const QStringList &arguments, const QString &linkPath = {});
    void stop();
    void kill();
    ~SimProcess() { stop(); }

    // The terminal's path, or "127.0.0.1:PORT" on TCP.
    [[nodiscard]] QString link() const { return m_link; }
    // Sends one control command and waits for its "ok".
    bool control(const QString &command);
    // Lines the instrument received ("< ...") so far, without timestamps.
    [[nodiscard]] QStringList received() const;
    [[nodiscard]] QStringList sent() const;
    // The received lines that are commands, not queries.
    [[nodiscard]] QStringList commands() const;
    [[nodiscard]] QString transcriptPath() const { return m_dir.filePath("transcript.txt"); }
    [[nodiscard]] bool isRunning() const { return m_process.state() == QProcess::Running; }

private:
    [[nodiscard]] QStringList transcript(const char *direction) const;

    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_link;
};

} // namespace qle::testing
