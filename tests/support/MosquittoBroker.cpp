#include "MosquittoBroker.h"

#include "EndsWithTest.h"

#include <QDeadlineTimer>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>

#include <csignal>
#include <pwd.h>
#include <unistd.h>

namespace qle::testing {

QString MosquittoBroker::program()
{
    if (QFileInfo(QStringLiteral("/usr/sbin/mosquitto")).isExecutable())
        return QStringLiteral("/usr/sbin/mosquitto");
    return QStandardPaths::findExecutable(QStringLiteral("mosquitto"));
}

quint16 MosquittoBroker::freePort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

bool MosquittoBroker::start(const QMap<QString, QString> &users, quint16 port)
{
    m_users = users;
    m_port = port != 0 ? port : freePort();
    if (m_port == 0 || program().isEmpty() || !m_dir.isValid())
        return false;
    // Run as root, mosquitto would become user "mosquitto", who cannot read
    // this folder. A subscriber may fall behind a burst of a thousand events.
    QString config =
        QStringLiteral("listener %1 127.0.0.1\npersistence false\nmax_queued_messages 10000\n").arg(m_port);
    if (const passwd *self = ::getpwuid(::geteuid()))
        config += QStringLiteral("user %1\n").arg(QString::fromLocal8Bit(self->pw_name));
    config += m_tls;
    if (users.isEmpty()) {
        config += "allow_anonymous true\n";
    } else {
        QFile::remove(passwordFile());
        QFile(passwordFile()).open(QIODevice::WriteOnly);
        for (auto user = users.cbegin(); user != users.cend(); ++user) {
            if (QProcess::execute("mosquitto_passwd", {"-b", passwordFile(), user.key(), user.value()}) != 0)
                return false;
        }
        config += "allow_anonymous false\npassword_file " + passwordFile() + "\n";
    }
    QFile file(m_dir.filePath("mosquitto.conf"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    file.write(config.toUtf8());
    file.close();
    return launch();
}

bool MosquittoBroker::launch()
{
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.setStandardOutputFile(m_dir.filePath("broker.log"), QIODevice::Append);
    endWithThisProcess(m_process);
    m_process.start(program(), {"-c", m_dir.filePath("mosquitto.conf")});
    if (!m_process.waitForStarted(5000))
        return false;
    // Ready once it takes a connection.
    QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired() && m_process.state() == QProcess::Running) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, m_port);
        if (probe.waitForConnected(200))
            return true;
        m_process.waitForFinished(50);
    }
    QFile log(m_dir.filePath("broker.log"));
    if (log.open(QIODevice::ReadOnly))
        qWarning().noquote() << "mosquitto did not start:" << log.readAll();
    return false;
}

bool MosquittoBroker::addUser(const QString &name, const QString &password)
{
    if (QProcess::execute("mosquitto_passwd", {"-b", passwordFile(), name, password}) != 0)
        return false;
    m_users.insert(name, password);
    return ::kill(static_cast<pid_t>(m_process.processId()), SIGHUP) == 0;
}

bool MosquittoBroker::restart()
{
    stop();
    return launch();
}

void MosquittoBroker::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(3000))
        kill();
}

void MosquittoBroker::kill()
{
    m_process.kill();
    m_process.waitForFinished(3000);
}

QString MosquittoBroker::url(const QString &bench, const QString &login) const
{
    const QString user = login.isEmpty() ? QString() : login + u'@';
    return "mqtt://" + user + "127.0.0.1:" + QString::number(m_port) + "/qle?bench=" + bench;
}

} // namespace qle::testing
