#include "comm/CommTasker.h"
#include "PtyPair.h"
#include "Receiver.h"
#include "ScriptedMessageBox.h"

#include <QTest>

using namespace qle;
using namespace qle::testing;

// How the engine pairs replies with queries when the instrument sends one
// line nobody asked for, on a real serial link (a pseudo-terminal) with the
// test playing the instrument line by line.
class TestPairing : public QObject {
    Q_OBJECT

private:
    // Answers each query with the reply given for it, once the query is in.
    static void answer(PtyPair &pty, const QByteArray &query, const QByteArray &reply)
    {
        QTRY_VERIFY(pty.received().endsWith(query + "\r\n"));
        pty.takeReceived();
        pty.write(reply + "\n");
    }

private slots:
    void oneStrayLineAndTheRepliesThatFollow()
    {
        ScriptedMessageBox boxes;
        PtyPair pty;
        QVERIFY(pty.isValid());
        CommTasker engine;
        engine.MSComm1.setPortName(pty.slavePath());
        QVERIFY(engine.MSComm1.open(QIODevice::ReadWrite));
        QVERIFY(engine.MSComm1.setBaudRate(9600));
        engine.CommType = "RS232";
        Receiver r;

        QVERIFY(engine.ExecQueryTask("A?", 5, &r, "Text", 4, false));
        answer(pty, "A?", "1");
        QTRY_COMPARE(r.texts, QStringList{"1"});
        QTRY_VERIFY(!engine.IsQueryPending);

        // A line nobody asked for: it waits in the reply store until the next
        // query is written, and is dropped then.
        pty.write("STRAY\n");
        QTRY_COMPARE(engine.RspCount(), 1);
        const QList<QPair<QByteArray, QByteArray>> exchanges{{"B?", "2"}, {"C?", "3"}, {"D?", "4"}, {"E?", "5"}};
        for (const auto &[query, reply] : exchanges) {
            const qsizetype before = r.texts.size();
            QVERIFY(engine.ExecQueryTask(QString::fromLatin1(query), 5, &r, "Text", 4, false));
            answer(pty, query, reply);
            QTRY_COMPARE(r.texts.size(), before + 1);
            QTRY_VERIFY(!engine.IsQueryPending);
            QTest::qWait(50); // the reply line is in before the next query goes out
        }
        // Every reply belongs to its own query; the stray line costs nothing.
        QCOMPARE(r.texts, (QStringList{"1", "2", "3", "4", "5"}));
        QVERIFY(boxes.shown().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestPairing)
#include "tst_reliability_pairing.moc"
