#pragma once

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

namespace qle::testing {

// The virtual instrument as a Prologix GPIB controller with a three-output
// supply at address 5 and the legacy two-output model at address 7, on a
// pseudo-terminal or a TCP port of its choice.
class PrologixSim final {
public:
    enum class Link { Pty, Tcp };
    static constexpr int ThreeOutputAddress = 5;
    static constexpr int LegacyAddress = 7;

    PrologixSim() = default;
    PrologixSim(const PrologixSim &) = delete;
    PrologixSim &operator=(const PrologixSim &) = delete;
    ~PrologixSim() { stop(); }

    // False when it did not announce where to connect. extra: more options
    // (faults); prologix false makes it a bare instrument instead.
    bool start(Link link, const QStringList &extra = {}, bool prologix = true);
    void stop();
    void kill();

    // The pseudo-terminal's path, or the TCP endpoint as "127.0.0.1:PORT".
    [[nodiscard]] QString where() const { return m_where; }
    // One control command, answered "ok".
    bool control(const QString &command);
    // Lines the controller received so far, in order.
    [[nodiscard]] QStringList received() const;

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_where;
};

} // namespace qle::testing
