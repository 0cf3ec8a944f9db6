#include "PrologixSim.h"

#include "EndsWithTest.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTest>

namespace qle::testing {

bool PrologixSim::start(Link link, const QStringList &extra, bool prologix)
{
    QStringList args{"--no-noise", "--transcript", m_dir.filePath("transcript.txt")};
    if (prologix)
        args << "--prologix"
             << "--gpib-address" << QStringLiteral("%1=KMA-3303T").arg(ThreeOutputAddress) << "--gpib-address"
             << QStringLiteral("%1=QLE-5505").arg(LegacyAddress);
    else
        args << "--model"
             << "KMA-3303T";
    if (link == Link::Tcp)
        args << "--tcp"
             << "0";
    args += extra;
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    endWithThisProcess(m_process);
    m_process.start(QStringLiteral(QLE_PSU_SIM), args);
    if (!m_process.waitForStarted(5000))
        return false;
    QDeadlineTimer deadline(5000);
    while (!m_process.canReadLine() && !deadline.hasExpired())
        m_process.waitForReadyRead(100);
    if (!m_process.canReadLine())
        return false;
    const QString first = QString::fromLocal8Bit(m_process.readLine()).trimmed();
    if (link == Link::Tcp) {
        if (!first.startsWith(QLatin1String("tcp:")))
            return false;
        m_where = QStringLiteral("127.0.0.1:") + first.mid(4);
    } else {
        m_where = first;
    }
    return !m_where.isEmpty();
}

void PrologixSim::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.write("quit\n");
    if (!m_process.waitForFinished(3000))
        kill();
}

void PrologixSim::kill()
{
    m_process.kill();
    m_process.waitForFinished(3000);
}

bool PrologixSim::control(const QString &command)
{
    m_process.write(command.toUtf8() + "\n");
    QDeadlineTimer deadline(3000);
    while (!deadline.hasExpired()) {
        QTest::qWait(5); // the program under test keeps running meanwhile
        while (m_process.canReadLine()) {
            const QByteArray answer = m_process.readLine().trimmed();
            if (answer == "ok")
                return true;
            if (answer.startsWith("error"))
                return false;
        }
    }
    return false;
}

QStringList PrologixSim::received() const
{
    QFile file(m_dir.filePath("transcript.txt"));
    QStringList lines;
    if (!file.open(QIODevice::ReadOnly))
        return lines;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const qsizetype at = line.indexOf(" < ");
        if (at >= 0)
            lines.append(QString::fromLatin1(line.mid(at + 3)));
    }
    return lines;
}

} // namespace qle::testing
