#include "comm/CommTasker.h"
#include "dialogs/dlgQueryInitial.h"
#include "ManualClock.h"
#include "Receiver.h"
#include "ScriptedModalRunner.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace qle;
using namespace qle::testing;

namespace {

dlgQueryInitial &asDialog(QDialog &d)
{
    return static_cast<dlgQueryInitial &>(d);
}

} // namespace

class TestDlgQueryInitial : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        clock = std::make_unique<ManualClock>();
        engine = std::make_unique<CommTasker>();
        engine->WriterTimer.stop(); // only the dialog drives the engine here
        receiver = std::make_unique<Receiver>();
    }
    void cleanup()
    {
        receiver.reset();
        engine.reset();
        clock.reset();
    }

    void fixedTexts()
    {
        dlgQueryInitial dlg(*engine);
        QCOMPARE(dlg.windowTitle(), QString("Querying..."));
        QCOMPARE(dlg.findChild<QLabel *>("lblQuerying")->text(),
                 QString("Now querying initial values, please wait..."));
        QCOMPARE(dlg.findChild<QPushButton *>("CancelButton")->text(), QString("Cancel"));
        QCOMPARE(dlg.CheckTimer.interval(), 100);
        QVERIFY(!dlg.CheckTimer.isActive());
    }

    // The estimate is the integer part of MaxRspTimeSec x queued + 2.
    void remainingTime_data()
    {
        QTest::addColumn<int>("queued");
        QTest::addColumn<double>("maxRspTimeSec");
        QTest::addColumn<QString>("label");

        QTest::newRow("3 queued, 0.5 s") << 3 << 0.5 << "Remaining about 3 secs...";
        QTest::newRow("1 queued, nothing measured yet") << 1 << 0.0 << "Remaining about 2 secs...";
        QTest::newRow("4 queued, 0.7 s") << 4 << 0.7 << "Remaining about 4 secs...";
        QTest::newRow("10 queued, 1.25 s") << 10 << 1.25 << "Remaining about 14 secs...";
    }
    void remainingTime()
    {
        QFETCH(int, queued);
        QFETCH(double, maxRspTimeSec);
        QFETCH(QString, label);
        for (int i = 0; i < queued; ++i)
            engine->ExecQueryTask(":CHAN1:VOLT?", 5, receiver.get(), "Text", 4, false);
        engine->MaxRspTimeSec = maxRspTimeSec;

        ScriptedModalRunner runner;
        QString shown;
        int maximum = -1;
        runner.script([&](QDialog &d) {
            asDialog(d).CheckTimer_Timer();
            shown = asDialog(d).Label2()->text();
            maximum = asDialog(d).ProgressBar1()->maximum();
            asDialog(d).CancelButton()->click();
            return QDialog::Rejected;
        });
        dlgQueryInitial dlg(*engine);
        QVERIFY(dlg.Execute());
        QCOMPARE(shown, label);
        QCOMPARE(maximum, queued);
    }

    // Answered queries move the bar; the last answer ends the wait with
    // "not cancelled" and the timer off.
    void countsDownAndEndsWhenAllAreAnswered()
    {
        for (int i = 0; i < 3; ++i)
            engine->ExecQueryTask(":CHAN1:VOLT?", 5, receiver.get(), "Text", 4, false);
        engine->MaxRspTimeSec = 0.5;

        ScriptedModalRunner runner;
        QList<int> values;
        QStringList labels;
        bool timerRanAtOpen = false;
        bool closedByItself = false;
        runner.script([&](QDialog &d) {
            dlgQueryInitial &dlg = asDialog(d);
            timerRanAtOpen = dlg.CheckTimer.isActive();
            dlg.CheckTimer_Timer(); // written
            dlg.CheckTimer_Timer(); // waiting for the reply
            values.append(dlg.ProgressBar1()->value());
            for (const char *reply : {"1.00", "2.00", "3.00"}) {
                engine->RspPush(reply);
                for (int tick = 0; tick < 3 && dlg.CheckTimer.isActive(); ++tick)
                    dlg.CheckTimer_Timer();
                values.append(dlg.ProgressBar1()->value());
                labels.append(dlg.Label2()->text());
            }
            closedByItself = !dlg.CheckTimer.isActive() && dlg.result() == QDialog::Accepted;
            return dlg.result();
        });
        dlgQueryInitial dlg(*engine);
        QVERIFY(!dlg.Execute());
        QVERIFY(timerRanAtOpen);
        QVERIFY(closedByItself);
        QCOMPARE(receiver->texts, (QStringList{"1.00", "2.00", "3.00"}));
        // 0 answered, 1, 2, then reset to 0 when done.
        QCOMPARE(values, (QList<int>{0, 1, 2, 0}));
        QCOMPARE(labels.mid(0, 2), (QStringList{"Remaining about 3 secs...", "Remaining about 2 secs..."}));
    }

    void cancelLeavesTheQueriesQueued()
    {
        for (int i = 0; i < 3; ++i)
            engine->ExecQueryTask(":CHAN1:VOLT?", 5, receiver.get(), "Text", 4, false);

        ScriptedModalRunner runner;
        bool timerStopped = false;
        runner.script([&](QDialog &d) {
            asDialog(d).CheckTimer_Timer();
            asDialog(d).CancelButton()->click();
            timerStopped = !asDialog(d).CheckTimer.isActive();
            return QDialog::Rejected;
        });
        dlgQueryInitial dlg(*engine);
        QVERIFY(dlg.Execute());
        QVERIFY(timerStopped);
        QCOMPARE(engine->QueryTaskCount, qint16(3));
    }

    // With QDialog::exec behind the runner the dialog, shown, drives the
    // engine from its own timer and closes itself.
    void closesItselfUnderTheRealRunner()
    {
        for (int i = 0; i < 2; ++i)
            engine->ExecQueryTask("*CLS", 0, receiver.get(), "", 1, false);
        dlgQueryInitial dlg(*engine);
        QTimer::singleShot(5000, &dlg, &QDialog::reject); // a hung test ends as "cancelled"
        QVERIFY(!dlg.Execute());
        QVERIFY(!dlg.isVisible());
        QVERIFY(!dlg.CheckTimer.isActive());
        QCOMPARE(engine->QueryTaskCount, qint16(0));
    }

private:
    std::unique_ptr<ManualClock> clock;
    std::unique_ptr<CommTasker> engine;
    std::unique_ptr<Receiver> receiver;
};

QTEST_MAIN(TestDlgQueryInitial)
#include "tst_dlgqueryinitial.moc"
