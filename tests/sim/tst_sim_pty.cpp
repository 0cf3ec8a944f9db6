// The pseudo-terminal link and serial pacing, on a real pseudo-terminal.
#include "MonotonicClock.h"
#include "OutputQueue.h"
#include "PtyLink.h"
#include "PtyPeer.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace psusim;

class TestSimPty : public QObject {
    Q_OBJECT
private slots:
    void pacedReplyTakesItsLineTime_data();
    void pacedReplyTakesItsLineTime();
    void unpacedReplyIsImmediate();
    void peerCanCloseAndReopen_data();
    void peerCanCloseAndReopen();
    void outputWithoutPeerIsDropped();
    void dropGivesANewTerminalAndMovesTheLink();
};

void TestSimPty::pacedReplyTakesItsLineTime_data()
{
    QTest::addColumn<int>("baud");
    QTest::addColumn<QList<int>>("pieces");
    // 10 bits a byte: 1000 bytes at 9600 baud take 1041.7 ms.
    QTest::newRow("1000 bytes at 9600") << 9600 << QList<int>{1000};
    QTest::newRow("two items share the line") << 9600 << QList<int>{400, 600};
    QTest::newRow("1000 bytes at 19200") << 19200 << QList<int>{1000};
}

void TestSimPty::pacedReplyTakesItsLineTime()
{
    QFETCH(int, baud);
    QFETCH(QList<int>, pieces);

    PtyLink link;
    QVERIFY(link.open(nullptr));
    PtyPeer peer;
    QVERIFY(peer.open(link.address()));
    QTRY_VERIFY(link.peerPresent());

    MonotonicClock clock;
    OutputQueue queue(link, clock);
    queue.setBaud(baud);
    qsizetype total = 0;
    peer.startClock();
    for (int size : pieces) {
        queue.enqueue(QByteArray(size, 'x'));
        total += size;
    }
    QTRY_COMPARE_WITH_TIMEOUT(peer.received.size(), total, 5000);

    const double byteMs = 10000.0 / baud;
    const double expected = double(total) * byteMs;
    const qint64 last = peer.arrivalOf(total);
    QVERIFY2(qAbs(last - expected) <= expected * 0.10,
             qPrintable(QStringLiteral("%1 bytes took %2 ms, expected %3 ms").arg(total).arg(last).arg(expected)));
    // Evenly spread, not a burst at either end.
    const qsizetype half = total / 2;
    const double expectedHalf = double(half) * byteMs;
    QVERIFY2(
        qAbs(peer.arrivalOf(half) - expectedHalf) <= expected * 0.10,
        qPrintable(
            QStringLiteral("byte %1 at %2 ms, expected %3 ms").arg(half).arg(peer.arrivalOf(half)).arg(expectedHalf)));
}

void TestSimPty::unpacedReplyIsImmediate()
{
    PtyLink link;
    QVERIFY(link.open(nullptr));
    PtyPeer peer;
    QVERIFY(peer.open(link.address()));
    QTRY_VERIFY(link.peerPresent());
    MonotonicClock clock;
    OutputQueue queue(link, clock);
    peer.startClock();
    queue.enqueue(QByteArray(1000, 'y'));
    QTRY_COMPARE(peer.received.size(), 1000);
    QVERIFY2(peer.arrivalOf(1000) < 200, qPrintable(QString::number(peer.arrivalOf(1000))));
}

void TestSimPty::peerCanCloseAndReopen_data()
{
    QTest::addColumn<bool>("closeAtOnce");
    QTest::newRow("peer waits for the reply") << false;
    // Opened, written and closed before the link could see the peer: the
    // line still arrives, without a next peer opening the terminal.
    QTest::newRow("peer writes and closes at once") << true;
}

void TestSimPty::peerCanCloseAndReopen()
{
    QFETCH(bool, closeAtOnce);
    PtyLink link;
    QVERIFY(link.open(nullptr));
    QSignalSpy peerChanges(&link, &ByteLink::peerChanged);
    QSignalSpy received(&link, &ByteLink::received);
    for (int round = 0; round < 5; ++round) {
        PtyPeer peer;
        QVERIFY(peer.open(link.address()));
        const QByteArray line = "*IDN? " + QByteArray::number(round) + "\r\n";
        if (closeAtOnce) {
            QVERIFY(peer.write(line));
            peer.close();
            QTRY_COMPARE_WITH_TIMEOUT(received.size(), round + 1, 1000);
            QCOMPARE(received.last().at(0).toByteArray(), line);
            QTRY_VERIFY(!link.peerPresent());
            continue;
        }
        QTRY_VERIFY(link.peerPresent());
        QVERIFY(peer.write(line));
        QTRY_COMPARE(received.size(), round + 1);
        QCOMPARE(received.last().at(0).toByteArray(), line);
        QCOMPARE(link.write("ok\n"), 3);
        QTRY_COMPARE(peer.received, QByteArray("ok\n"));
        peer.close();
        QTRY_VERIFY(!link.peerPresent());
    }
    QCOMPARE(peerChanges.size(), 10);
}

void TestSimPty::outputWithoutPeerIsDropped()
{
    PtyLink link;
    QVERIFY(link.open(nullptr));
    {
        PtyPeer first;
        QVERIFY(first.open(link.address()));
        QTRY_VERIFY(link.peerPresent());
        first.close();
        QTRY_VERIFY(!link.peerPresent());
    }
    QCOMPARE(link.write("stale\n"), 6); // taken and lost, like on a dead line
    PtyPeer second;
    QVERIFY(second.open(link.address()));
    QTRY_VERIFY(link.peerPresent());
    QCOMPARE(link.write("fresh\n"), 6);
    QTRY_COMPARE(second.received, QByteArray("fresh\n"));
}

void TestSimPty::dropGivesANewTerminalAndMovesTheLink()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString symlink = dir.filePath(QStringLiteral("psu"));
    QString oldAddress;
    {
        PtyLink link;
        QVERIFY(link.open(nullptr));
        QVERIFY(link.setSymlink(symlink, nullptr));
        QCOMPARE(QFileInfo(symlink).symLinkTarget(), link.address());
        oldAddress = link.address();

        PtyPeer peer;
        QVERIFY(peer.open(symlink));
        QTRY_VERIFY(link.peerPresent());
        QSignalSpy moved(&link, &ByteLink::addressChanged);
        link.dropConnection();
        QCOMPARE(moved.size(), 1);
        QVERIFY(!link.peerPresent());
        // The old descriptor sees the hang-up.
        QTRY_VERIFY(peer.hungUp);
        QCOMPARE(QFileInfo(symlink).symLinkTarget(), link.address());

        PtyPeer again;
        QVERIFY(again.open(symlink));
        QTRY_VERIFY(link.peerPresent());
        QVERIFY(again.write("X\n"));
        QSignalSpy received(&link, &ByteLink::received);
        QVERIFY(received.wait(2000));
    }
    QVERIFY2(!QFileInfo::exists(symlink) && !QFileInfo(symlink).isSymLink(), "link must go with the simulator");
}

QTEST_GUILESS_MAIN(TestSimPty)
#include "tst_sim_pty.moc"
