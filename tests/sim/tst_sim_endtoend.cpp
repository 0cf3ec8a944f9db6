// The psu-sim program as the application meets it: a serial port on a
// pseudo-terminal (or TCP), the control channel on standard input, the
// transcript file and a clean exit.
#include "SimProcess.h"

#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QSerialPort>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {
const QByteArray kIdn = "QV Instruments,KMA-3303T,SN000123,1.0";

// Writes a line as the application does (CR LF) and returns the reply line.
template <typename Device> QByteArray query(Device &device, const QByteArray &line, int timeoutMs = 3000)
{
    device.write(line + "\r\n");
    QByteArray reply;
    const bool complete = QTest::qWaitFor(
        [&] {
            reply += device.readAll();
            return reply.contains('\n');
        },
        timeoutMs);
    return complete ? reply.left(reply.indexOf('\n')) : "<timeout: " + reply + ">";
}

bool openPort(QSerialPort &port, const QString &path)
{
    port.setPortName(path);
    port.setBaudRate(QSerialPort::Baud9600);
    port.setDataBits(QSerialPort::Data8);
    port.setParity(QSerialPort::NoParity);
    port.setStopBits(QSerialPort::OneStop);
    return port.open(QIODevice::ReadWrite);
}
} // namespace

class TestSimEndToEnd : public QObject {
    Q_OBJECT
private slots:
    void identifiesOverASerialPort();
    void portCanBeReopened();
    void controlChannelOnStdin();
    void controlSocket();
    void tcpWithPrologixController();
    void disconnectFaultThenReconnect();
    void quitsCleanly_data();
    void quitsCleanly();
    void commandLine_data();
    void commandLine();

private:
    QTemporaryDir m_dir;
};

void TestSimEndToEnd::identifiesOverASerialPort()
{
    const QString transcript = m_dir.filePath(QStringLiteral("identify.log"));
    SimProcess sim;
    const QString path = sim.start({"--no-noise", "--transcript", transcript});
    QVERIFY2(path.startsWith(QLatin1String("/dev/pts/")), qPrintable(path));

    QSerialPort port;
    QVERIFY2(openPort(port, path), qPrintable(port.errorString()));
    QCOMPARE(query(port, "*IDN?"), kIdn);
    port.write(":CHAN2:VOLT 12.5\r\n:OUTP:STAT 1\r\n");
    QCOMPARE(query(port, ":CHAN2:MEAS:VOLT?"), QByteArray("12.500"));
    QCOMPARE(query(port, ":CHAN2:MEAS:CURR?"), QByteArray("1.250"));
    QCOMPARE(query(port, ":SYST:ERR?"), QByteArray("0,\"No error\""));
    port.close();

    QFile file(transcript);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray log = file.readAll();
    QVERIFY2(log.contains(" < *IDN?\n"), log.constData());
    QVERIFY2(log.contains(" > " + kIdn + "\n"), log.constData());
    QVERIFY2(log.contains(" < :CHAN2:VOLT 12.5\n"), log.constData());
    QVERIFY2(log.contains(" > 12.500\n"), log.constData());
}

void TestSimEndToEnd::portCanBeReopened()
{
    SimProcess sim;
    const QString link = m_dir.filePath(QStringLiteral("reopen-link"));
    const QString path = sim.start({"--no-noise", "--link", link});
    QVERIFY(!path.isEmpty());
    QCOMPARE(QFileInfo(link).symLinkTarget(), path);
    for (int round = 0; round < 4; ++round) {
        QSerialPort port;
        QVERIFY2(openPort(port, link), qPrintable(port.errorString()));
        port.write(":CHAN1:VOLT " + QByteArray::number(round + 1) + "\r\n");
        QCOMPARE(query(port, ":CHAN1:VOLT?"), QByteArray::number(round + 1) + ".000");
        port.close();
    }
}

void TestSimEndToEnd::controlChannelOnStdin()
{
    SimProcess sim;
    const QString path = sim.start({"--no-noise"});
    QSerialPort port;
    QVERIFY(openPort(port, path));
    port.write(":CHAN1:VOLT 12\r\n:OUTP:STAT 1\r\n");
    QCOMPARE(query(port, ":CHAN1:MEAS:CURR?"), QByteArray("1.200"));
    QCOMPARE(sim.control("load 1 4"), QByteArray("ok"));
    QCOMPARE(query(port, ":CHAN1:MEAS:CURR?"), QByteArray("3.000"));
    QCOMPARE(query(port, ":CHAN1:MEAS:VOLT?"), QByteArray("12.000"));
    QCOMPARE(sim.control("set volt 1 6"), QByteArray("ok"));
    QCOMPARE(query(port, ":CHAN1:VOLT?"), QByteArray("6.000"));
    QCOMPARE(sim.control("fault noreply *IDN?"), QByteArray("ok"));
    QCOMPARE(query(port, "*IDN?", 500), QByteArray("<timeout: >"));
    QCOMPARE(sim.control("fault clear"), QByteArray("ok"));
    QCOMPARE(query(port, "*IDN?"), kIdn);
    QCOMPARE(sim.control("coupling sideways"), QByteArray("error: usage: coupling indep|track|parallel"));
}

void TestSimEndToEnd::controlSocket()
{
    const QString socketPath = m_dir.filePath(QStringLiteral("control.sock"));
    SimProcess sim;
    QVERIFY(!sim.start({"--control", "none", "--control-socket", socketPath}).isEmpty());
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    QVERIFY(socket.waitForConnected(3000));
    socket.write("model KMB-6001\nstatus\n");
    QTRY_VERIFY(socket.canReadLine());
    QCOMPARE(socket.readLine(), QByteArray("ok\n"));
    QTRY_VERIFY(socket.canReadLine());
    QVERIFY(socket.readLine().startsWith("ok model=KMB-6001 output=off"));
}

void TestSimEndToEnd::tcpWithPrologixController()
{
    SimProcess sim;
    const QString first = sim.start(
        {"--tcp", "0", "--prologix", "--gpib-address", "5=KMA-3005", "--gpib-address", "7=QLE-5505", "--no-noise"});
    QVERIFY2(first.startsWith(QLatin1String("tcp:")), qPrintable(first));
    const quint16 port = quint16(first.mid(4).toUInt());
    QVERIFY(port > 0);

    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(socket.waitForConnected(3000));
    QCOMPARE(query(socket, "++ver"), QByteArray("Prologix GPIB-USB Controller version 6.101"));
    socket.write("++addr 7\r\n*IDN?\r\n");
    QCOMPARE(query(socket, "++read eoi"), QByteArray("QV Instruments,QLE-5505,SN000123,1.0"));
    socket.write("++auto 1\r\n++addr 5\r\n:CHAN1:VOLT 30\r\n");
    QCOMPARE(query(socket, ":CHAN1:VOLT?"), QByteArray("30.000"));
    socket.disconnectFromHost();

    // A second client is served as well.
    QTcpSocket again;
    again.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(again.waitForConnected(3000));
    QCOMPARE(query(again, "*IDN?"), QByteArray("QV Instruments,KMA-3005,SN000123,1.0"));
}

void TestSimEndToEnd::disconnectFaultThenReconnect()
{
    SimProcess sim;
    const QString link = m_dir.filePath(QStringLiteral("drop-link"));
    const QString path = sim.start({"--link", link, "--fault", "disconnect 2"});
    QVERIFY(!path.isEmpty());
    QSerialPort port;
    QVERIFY(openPort(port, link));
    QCOMPARE(query(port, "*IDN?"), kIdn);
    QCOMPARE(query(port, ":OUTP:STAT?"), QByteArray("0"));
    QByteArray moved;
    QVERIFY(sim.nextLine(moved));
    QVERIFY2(moved.startsWith("moved /dev/pts/"), moved.constData());
    QCOMPARE(QFileInfo(link).symLinkTarget(), QString::fromLocal8Bit(moved.mid(6)));
    port.close();

    QSerialPort fresh;
    QVERIFY2(openPort(fresh, link), qPrintable(fresh.errorString()));
    QCOMPARE(query(fresh, "*IDN?"), kIdn);
    QCOMPARE(query(fresh, ":OUTP:STAT?"), QByteArray("0"));
}

void TestSimEndToEnd::quitsCleanly_data()
{
    QTest::addColumn<bool>("bySignal");
    QTest::newRow("quit on the control channel") << false;
    QTest::newRow("SIGTERM") << true;
}

void TestSimEndToEnd::quitsCleanly()
{
    QFETCH(bool, bySignal);
    SimProcess sim;
    const QString link = m_dir.filePath(QStringLiteral("quit-link"));
    QVERIFY(!sim.start({"--link", link}).isEmpty());
    QVERIFY(QFileInfo(link).isSymLink());
    if (bySignal)
        ::kill(pid_t(sim.process.processId()), SIGTERM);
    else
        QCOMPARE(sim.control("quit"), QByteArray("ok"));
    // The exit may already have been seen while waiting for the answer.
    QVERIFY(sim.process.state() == QProcess::NotRunning || sim.process.waitForFinished(3000));
    QCOMPARE(sim.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.process.exitCode(), 0);
    QVERIFY(!QFileInfo(link).isSymLink());
}

void TestSimEndToEnd::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output"); // expected in stdout or stderr

    QTest::newRow("help") << QStringList{"--help"} << 0 << "--gpib-address <ADDR=MODEL>";
    QTest::newRow("help lists faults") << QStringList{"--help"} << 0 << "disconnect N";
    QTest::newRow("list models") << QStringList{"--list-models"} << 0 << "QLE-5505    legacy";
    QTest::newRow("unknown model") << QStringList{"--model", "XY-1"} << 2 << "unknown model 'XY-1'";
    QTest::newRow("bad fault") << QStringList{"--fault", "delay soon"} << 2 << "delay needs milliseconds";
    QTest::newRow("bad terminator") << QStringList{"--term", "nul"} << 2 << "--term is lf, crlf or cr";
    QTest::newRow("gpib without prologix")
        << QStringList{"--gpib-address", "3=KMA-3005"} << 2 << "--gpib-address needs --prologix";
    QTest::newRow("unknown option") << QStringList{"--frobnicate"} << 2 << "frobnicate";
}

void TestSimEndToEnd::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    QProcess process;
    process.start(QStringLiteral(PSU_SIM_PATH), arguments);
    QVERIFY(process.waitForFinished(5000));
    QCOMPARE(process.exitCode(), exitCode);
    const QString text = QString::fromLocal8Bit(process.readAllStandardOutput() + process.readAllStandardError());
    QVERIFY2(text.contains(output), qPrintable(text));
}

QTEST_GUILESS_MAIN(TestSimEndToEnd)
#include "tst_sim_endtoend.moc"
