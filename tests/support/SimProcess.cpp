#include "SimProcess.h"

#include "EndsWithTest.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QTest>

namespace qle::testing {

bool SimProcess::start(const QStringList &arguments, const QString &linkPath)
{
    // On a TCP port the instrument announces "tcp:PORT"; the link is then
    // "127.0.0.1:PORT".
    const bool tcp = arguments.contains("--tcp");
    m_link = linkPath.isEmpty() ? m_dir.filePath("psu") : linkPath;
    QStringList args{"--transcript", m_dir.filePath("transcript.txt")};
    if (!tcp)
        args += QStringList{"--link", m_link};
    args += arguments;
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    testing::endWithThisProcess(m_process);
    m_process.start(QStringLiteral(QLE_PSU_SIM), args);
    if (!m_process.waitForStarted(5000))
        return false;
    QDeadlineTimer deadline(5000);
    while (!m_process.canReadLine() && !deadline.hasExpired())
        m_process.waitForReadyRead(100);
    if (!m_process.canReadLine())
        return false;
    const QByteArray announced = m_process.readLine().trimmed();
    if (tcp) {
        m_link = "127.0.0.1:" + QString::fromLatin1(announced.mid(announced.indexOf(':') + 1));
        return announced.startsWith("tcp:");
    }
    return QFile::exists(m_link);
}

void SimProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.write("quit\n");
    if (!m_process.waitForFinished(3000))
        kill();
}

void SimProcess::kill()
{
    m_process.kill();
    m_process.waitForFinished(3000);
    // As an unplugged adapter's device goes, the link goes with the
    // instrument: left behind, it would point at the next terminal the
    // system hands out, another test's.
    if (QFileInfo(m_link).isSymLink())
        QFile::remove(m_link);
}

bool SimProcess::control(const QString &command)
{
    m_process.write(command.toUtf8() + "\n");
    QDeadlineTimer deadline(3000);
    QByteArray answer;
    while (!deadline.hasExpired()) {
        // Keep the program under test running while we wait.
        QTest::qWait(5);
        while (m_process.canReadLine()) {
            answer = m_process.readLine().trimmed();
            if (answer == "ok")
                return true;
            if (answer.startsWith("error"))
                return false;
        }
    }
    return false;
}

QStringList SimProcess::transcript(const char *direction) const
{
    QFile file(m_dir.filePath("transcript.txt"));
    QStringList lines;
    if (!file.open(QIODevice::ReadOnly))
        return lines;
    const QByteArray marker = QByteArray(" ") + direction + " ";
    for (const QByteArray &line : file.readAll().split('\n')) {
        const qsizetype at = line.indexOf(marker);
        if (at >= 0)
            lines.append(QString::fromLatin1(line.mid(at + marker.size())));
    }
    return lines;
}

QStringList SimProcess::received() const
{
    return transcript("<");
}

QStringList SimProcess::commands() const
{
    QStringList commands;
    for (const QString &line : received()) {
        if (!line.endsWith(u'?'))
            commands << line;
    }
    return commands;
}

QStringList SimProcess::sent() const
{
    return transcript(">");
}

} // namespace qle::testing
