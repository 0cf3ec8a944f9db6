#include "TopicReader.h"

#include "EndsWithTest.h"

#include <QDeadlineTimer>
#include <QTest>
#include <QUuid>

namespace qle::testing {

bool TopicReader::start(quint16 port, const QString &filter, const QStringList &options)
{
    m_probe = "probe/" + QUuid::createUuid().toString(QUuid::WithoutBraces);
    endWithThisProcess(m_process);
    // One line a message: retained flag, QoS, topic, payload. MQTT 5 keeps
    // the retained flag of a message that arrives while subscribed.
    m_process.start("mosquitto_sub", QStringList{"-p", QString::number(port), "-V", "5", "--retain-as-published", "-q",
                                                 "1", "-t", filter, "-t", m_probe, "-F", "%r %q %t %p"} +
                                         options);
    if (!m_process.waitForStarted(5000))
        return false;
    // Subscribed once a message of its own comes back.
    QDeadlineTimer deadline(5000);
    while (!m_probed && !deadline.hasExpired() && m_process.state() == QProcess::Running) {
        publish(port, m_probe, "probe", options);
        QTest::qWait(100);
        readLines();
    }
    return m_probed;
}

void TopicReader::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished(3000);
}

void TopicReader::readLines()
{
    m_pending += m_process.readAllStandardOutput();
    qsizetype end = 0;
    while ((end = m_pending.indexOf('\n')) >= 0) {
        const QByteArray line = m_pending.left(end);
        m_pending.remove(0, end + 1);
        const QList<QByteArray> head = line.split(' ');
        if (head.size() < 3)
            continue;
        Message message;
        message.retained = head.at(0) == "1";
        message.qos = head.at(1).toInt();
        message.topic = QString::fromUtf8(head.at(2));
        const qsizetype payloadAt = head.at(0).size() + head.at(1).size() + head.at(2).size() + 3;
        message.payload = line.mid(payloadAt);
        if (message.topic == m_probe)
            m_probed = true;
        else
            m_messages.append(message);
    }
}

QList<TopicReader::Message> TopicReader::messages()
{
    readLines();
    return m_messages;
}

QList<TopicReader::Message> TopicReader::on(const QString &topic)
{
    QList<Message> found;
    for (const Message &message : messages()) {
        if (message.topic == topic)
            found.append(message);
    }
    return found;
}

std::optional<TopicReader::Message> TopicReader::last(const QString &topic)
{
    const QList<Message> found = on(topic);
    if (found.isEmpty())
        return std::nullopt;
    return found.last();
}

std::optional<TopicReader::Message>
TopicReader::waitFor(const QString &topic, const std::function<bool(const Message &)> &wanted, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    do {
        for (const Message &message : on(topic)) {
            if (!wanted || wanted(message))
                return message;
        }
        QTest::qWait(20);
    } while (!deadline.hasExpired());
    return std::nullopt;
}

bool TopicReader::publish(quint16 port, const QString &topic, const QByteArray &payload, const QStringList &options)
{
    QProcess pub;
    pub.start("mosquitto_pub",
              QStringList{"-p", QString::number(port), "-t", topic, "-m", QString::fromUtf8(payload)} + options);
    return pub.waitForFinished(5000) && pub.exitStatus() == QProcess::NormalExit && pub.exitCode() == 0;
}

} // namespace qle::testing
