#pragma once

#include <QMap>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace qle::testing {

// A mosquitto broker of the test's own on 127.0.0.1, from a generated
// configuration: anonymous clients, or only the users given, from a password
// file made with mosquitto_passwd. It keeps no retained messages across a
// restart, as a broker without persistence.
class MosquittoBroker final {
public:
    // /usr/sbin/mosquitto or mosquitto on PATH; empty when neither is there.
    [[nodiscard]] static QString program();

    // Starts on `port`, a free one when 0; false when it did not take
    // connections in time. With users, only they may log in.
    bool start(const QMap<QString, QString> &users = {}, quint16 port = 0);
    // TLS on the listener from the next start, with these PEM files.
    void useTls(const QString &caFile, const QString &certFile, const QString &keyFile)
    {
        m_tls = QStringLiteral("cafile %1\ncertfile %2\nkeyfile %3\n").arg(caFile, certFile, keyFile);
    }
    // Adds a user (or changes a password) and has the running broker read
    // its password file again.
    bool addUser(const QString &name, const QString &password);
    // Stops it and starts it again on the same port.
    bool restart();
    void stop();
    void kill();
    ~MosquittoBroker() { stop(); }

    [[nodiscard]] quint16 port() const { return m_port; }
    [[nodiscard]] bool isRunning() const { return m_process.state() == QProcess::Running; }
    // "mqtt://[user:password@]127.0.0.1:PORT/qle?bench=BENCH".
    [[nodiscard]] QString url(const QString &bench, const QString &login = {}) const;

    // A free TCP port of 127.0.0.1 now.
    [[nodiscard]] static quint16 freePort();

private:
    bool launch();
    [[nodiscard]] QString passwordFile() const { return m_dir.filePath("passwords"); }

    QTemporaryDir m_dir;
    QProcess m_process;
    QMap<QString, QString> m_users;
    QString m_tls;
    quint16 m_port = 0;
};

} // namespace qle::testing
