#pragma once

#include "ByteLink.h"

#include <QTimer>

class QSocketNotifier;

namespace psusim {

// A pseudo-terminal in raw mode; the program opens the slave side as a
// serial port. The master stays open for the simulator's whole life. While no
// process has the slave open the master reports hang-up; then it is polled
// every few milliseconds until a peer opens it again, and output is
// discarded, as on a real line nobody listens to. Bytes a peer wrote before
// closing are still read at the next poll, even when the peer came and went
// between two polls.
class PtyLink : public ByteLink {
    Q_OBJECT
public:
    static constexpr int kPeerPollMs = 10;

    explicit PtyLink(QObject *parent = nullptr);
    ~PtyLink() override;

    bool open(QString *error);
    // Keeps a symbolic link at path pointing to the current slave; removed
    // when the link is destroyed.
    bool setSymlink(const QString &path, QString *error);

    [[nodiscard]] bool peerPresent() const override { return m_peer; }
    qint64 write(const QByteArray &data) override;
    void dropConnection() override;
    [[nodiscard]] QString address() const override { return m_slavePath; }

private:
    void closeMaster();
    void onReadable();
    void checkPeer();
    void lostPeer();
    bool updateSymlink(QString *error);

    int m_master = -1;
    QString m_slavePath;
    QString m_symlink;
    QSocketNotifier *m_notifier = nullptr;
    QTimer m_peerPoll;
    bool m_peer = false;
};

} // namespace psusim
