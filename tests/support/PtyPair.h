#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QSocketNotifier;

namespace qle::testing {

// A raw pseudo-terminal pair: the program under test opens slavePath() as a
// serial port, the test plays the instrument on the master side.
class PtyPair final : public QObject {
    Q_OBJECT
public:
    PtyPair();
    ~PtyPair() override;

    [[nodiscard]] bool isValid() const { return m_master >= 0; }
    [[nodiscard]] QString slavePath() const { return m_slavePath; }

    void write(const QByteArray &data);
    // Everything received from the program so far; takeReceived() empties it.
    [[nodiscard]] const QByteArray &received() const { return m_received; }
    QByteArray takeReceived();
    // Closes the master side: the program's port sees the link vanish.
    void closeMaster();

signals:
    void dataReceived();

private:
    void onReadable();

    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
    QByteArray m_received;
    QSocketNotifier *m_notifier = nullptr;
};

} // namespace qle::testing
