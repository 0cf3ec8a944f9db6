#include "Checked.h"
#include "comm/CommTasker.h"
#include "dialogs/dlgConfigRS232.h"
#include "ManualClock.h"
#include "panels/frmLayout1.h"
#include "panels/Panel.h"
#include "platform/SettingsStore.h"
#include "platform/widgets/CWNumEdit.h"
#include "recording/table/frmDataTable.h"
#include "recording/graph/frmGraphicRecord.h"
#include "recording/table/RecordTableModel.h"
#include "shell/MainMenu.h"
#include "shell/MainToolbar.h"
#include "ShellFixture.h"
#include "SimProcess.h"
#include "TraceRecorder.h"

#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPointer>
#include <QSerialPort>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <algorithm>
#include <tuple>

using namespace qle;
using namespace qle::testing;

namespace {

const QString OperationTimeout = QStringLiteral("Operation Timeout, Causes Reset Now.");
const QString IdentificationFailed = QStringLiteral("Querying the machine type is timeout!");
const QString Model = QStringLiteral("KMA-3303T");

// How a misbehaving instrument must end, by the engine's rules.
enum class Outcome {
    Works,                // nothing shown, the values are right
    KeepsRunning,         // no reset; wrong values may show for a while
    OperationTimeout,     // "Operation Timeout, Causes Reset Now.", back to idle
    IdentificationFailed, // "Querying the machine type is timeout!", back to idle
};

// A timer of the test's own: it must keep firing whatever the program does.
class Heartbeat {
public:
    Heartbeat()
    {
        m_timer.setInterval(20);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 gap = m_since.restart();
            if (m_ticks > 0)
                m_maxGap = std::max(m_maxGap, gap);
            ++m_ticks;
        });
    }
    void start()
    {
        m_ticks = 0;
        m_maxGap = 0;
        m_since.start();
        m_timer.start();
    }
    [[nodiscard]] int ticks() const { return m_ticks; }
    [[nodiscard]] qint64 maxGapMsec() const { return m_maxGap; }

private:
    QTimer m_timer;
    QElapsedTimer m_since;
    int m_ticks = 0;
    qint64 m_maxGap = 0;
};

} // namespace

Q_DECLARE_METATYPE(Outcome)

// The real main window against the virtual instrument misbehaving in every
// way it can, during identification, during the initial read and while
// polling with a recording running. The engine's 20-second response time-out
// is made to pass at once: the test clock jumps 21 seconds whenever a
// transaction has not moved for a while.
class TestFaultMatrix : public QObject {
    Q_OBJECT

private:
    QTemporaryDir config;
    std::unique_ptr<ShellFixture> fx;
    std::unique_ptr<SimProcess> sim;
    std::vector<std::unique_ptr<SimProcess>> replaced;
    std::unique_ptr<MDIForm1> w;
    std::unique_ptr<ManualClock> clock;
    Heartbeat heartbeat;
    QTimer stuckWatch;
    bool expireStuckTransactions = true;
    int expiries = 0;
    std::tuple<int, int, int, int> lastProgress{-1, -1, -1, -1};
    QElapsedTimer stuckFor;

    // A transaction that has not moved for 800 ms of real time would wait for
    // the engine's 20 s: let them pass.
    void watchForStuckTransactions()
    {
        if (!w || !expireStuckTransactions)
            return;
        CommTasker &engine = w->engine();
        const bool pending = engine.IsQueryPending || engine.IsCommandPending;
        const auto progress =
            std::make_tuple(engine.queryTail(), engine.cmdTail(), int(engine.QueryTaskCount), int(engine.CmdTaskCount));
        if (!pending || progress != lastProgress) {
            lastProgress = progress;
            stuckFor.restart();
            return;
        }
        if (stuckFor.elapsed() > 1500) {
            clock->advance(CommTasker::ResponseTimeoutSec + 1);
            ++expiries;
            stuckFor.restart();
        }
    }

    void startSim(const QStringList &args, const QString &model = Model)
    {
        sim = std::make_unique<SimProcess>();
        QVERIFY(sim->start(QStringList{"--model", model, "--no-noise"} + args));
        QVERIFY(sim->control("set volt 1 5"));
        w = fx->makeWindow({sim->link()});
        QCOMPARE(w->Start(), MDIForm1::StartResult::Ready);
        // As after an earlier session on this link: the on-line button reconnects.
        platform::settings().SaveSetting("Common", "CommType", "RS232");
        platform::settings().SaveSetting("Common", "MType", model);
    }

    [[nodiscard]] bool running() const
    {
        return w->MainFormState == 3 && w->currentPanel() && w->currentPanel()->isVisibleTo(w.get());
    }

    void connectSerial()
    {
        fx->scriptSerialOk();
        fx->scriptRealRun();
        w->mnuRS232_Click();
        QTRY_VERIFY_WITH_TIMEOUT(running(), 15000);
    }

    static qint64 workingRows()
    {
        QSqlQuery q(QSqlDatabase::database("mtype"));
        return q.exec("select count(*) from datatemp") && q.next() ? q.value(0).toLongLong() : -1;
    }

    // One recorder tick after a fresh poll of channel 1's current.
    void recordOneRow(frmDataTable &table)
    {
        const auto polls = sim->received().filter(":CHAN1:MEAS:CURR?").size();
        QTRY_VERIFY(sim->received().filter(":CHAN1:MEAS:CURR?").size() > polls);
        clock->advance(1.0);
        table.TimerRecordData_Timer();
    }

    // Output on, polled every 50 ms, a recording of one row a (test) second,
    // five rows written.
    void startPollingAndRecording()
    {
        w->QueryTimer.setInterval(50);
        w->mnuOutput_Click();
        QTRY_COMPARE(w->currentPanel()->voltageText(0), QString("5.000"));
        frmDataTable *table = w->tableRecorder();
        QVERIFY(table);
        table->RecordPeriod(0, 1, 0, 0, 0, 0);
        w->mnuRecordStart_Click();
        QVERIFY(table->isRecording());
        table->TimerRecordData.stop(); // ticked by hand
        for (int i = 0; i < 5; ++i)
            recordOneRow(*table);
        QCOMPARE(workingRows(), 5);
        QVERIFY(fx->boxes.shown().isEmpty());
    }

    // The program reached the end the engine's rules give for the fault.
    void checkOutcome(Outcome outcome, int rowsBefore)
    {
        switch (outcome) {
        case Outcome::OperationTimeout:
            QTRY_COMPARE_WITH_TIMEOUT(fx->boxes.texts().filter(OperationTimeout).size(), 1, 10000);
            QCOMPARE(fx->boxes.shown().last().title, QString("TIMEOUT!"));
            QTRY_VERIFY(!w->currentPanel());
            // One lost link, one box: nothing follows it.
            QTest::qWait(300);
            QCOMPARE(fx->boxes.texts().size(), 1);
            QVERIFY(fx->boxes.texts().first().startsWith(OperationTimeout));
            QCOMPARE(w->MainFormState, 0);
            QVERIFY(!w->QueryTimer.isActive());
            QVERIFY(w->menu().mnuRS232->isEnabled());
            break;
        case Outcome::IdentificationFailed:
            QTRY_COMPARE_WITH_TIMEOUT(fx->boxes.texts(), QStringList{IdentificationFailed}, 10000);
            QCOMPARE(w->MainFormState, 0);
            QVERIFY(!w->currentPanel());
            QVERIFY(w->menu().mnuRS232->isEnabled());
            break;
        case Outcome::Works:
        case Outcome::KeepsRunning:
            QTRY_VERIFY_WITH_TIMEOUT(running(), 15000);
            // Long enough for a few dozen exchanges of the fault.
            QTest::qWait(1500);
            QVERIFY2(running(), qPrintable(fx->boxes.texts().join(u'|')));
            QCOMPARE(expiries, 0);
            if (outcome == Outcome::Works)
                QVERIFY2(fx->boxes.shown().isEmpty(), qPrintable(fx->boxes.texts().join(u'|')));
            break;
        }
        // Rows recorded before the fault stay in the working table.
        if (rowsBefore >= 0)
            QVERIFY(workingRows() >= rowsBefore);
    }

    // The event loop kept turning while the program dealt with the fault.
    void checkHeartbeat(int ticksBefore)
    {
        QTest::qWait(100);
        QVERIFY2(heartbeat.ticks() > ticksBefore + 3, qPrintable(QString::number(heartbeat.ticks())));
        QVERIFY2(heartbeat.maxGapMsec() < 2000, qPrintable(QString::number(heartbeat.maxGapMsec())));
    }

    // Once the instrument behaves, the program runs again: by itself when the
    // fault did no lasting harm, through the on-line toolbar button after a
    // reset. A program that kept running on wrong replies may have lost step
    // between queries and replies for good (see the pairing test): the user
    // reconnects, answering Yes to "Reset and open it?".
    void checkRecovers(Outcome outcome, bool instrumentRestarted = false)
    {
        if (!instrumentRestarted)
            QVERIFY(sim->control("fault clear"));
        // Replies the program took for values may have changed the instrument
        // (coupling, auto-run, output): set channel 1 again.
        QVERIFY(sim->control("set volt 1 5"));
        if (outcome == Outcome::Works) {
            QVERIFY(running());
            QCOMPARE(w->currentPanel()->voltageText(0).isEmpty(), !w->menu().mnuOutput->isChecked());
            w->QueryTimer.setInterval(50);
            if (!w->menu().mnuOutput->isChecked())
                w->mnuOutput_Click();
            QTRY_COMPARE_WITH_TIMEOUT(w->currentPanel()->voltageText(0), QString("5.000"), 10000);
            QTRY_COMPARE_WITH_TIMEOUT(w->currentPanel()->currentText(0), QString("0.500"), 10000);
            return;
        }
        const bool reopen = running();
        fx->boxes.clear();
        if (reopen)
            fx->boxes.script(IMessageBox::Answer::Yes);
        fx->scriptRealRun();
        w->toolbar().button("OnOffLine")->trigger();
        if (reopen)
            QCOMPARE(fx->boxes.texts(), QStringList{"Reset and open it?"});
        QTRY_VERIFY_WITH_TIMEOUT(running() && w->engine().QueryTaskCount == 0, 15000);
        QCOMPARE(w->windowTitle(), Model);
        QCOMPARE(fx->boxes.shown().size(), reopen ? 1 : 0);
        auto *panel = static_cast<frmLayout1 *>(w->currentPanel());
        QCOMPARE(panel->channel(0).numVoltage->Value(), 5.0);
        w->QueryTimer.setInterval(50);
        if (!w->menu().mnuOutput->isChecked())
            w->mnuOutput_Click();
        QTRY_COMPARE_WITH_TIMEOUT(panel->voltageText(0), QString("5.000"), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(panel->currentText(0), QString("0.500"), 10000);
    }

    // What goes wrong: a fault of the virtual instrument ("fault" and its
    // arguments), or "kill" for the instrument vanishing with its link.
    enum class Phase { Identification, InitialRead, Polling };
    static void faultRows(Phase phase)
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<Outcome>("outcome");
        const bool identifying = phase == Phase::Identification;
        const Outcome lost = identifying ? Outcome::IdentificationFailed : Outcome::OperationTimeout;
        // noreply-after counts from the moment the fault is set.
        QTest::newRow("stops answering") << (identifying ? "noreply-after 0" : "noreply-after 2") << lost;
        QTest::newRow("garbage") << "garbage" << (identifying ? lost : Outcome::KeepsRunning);
        QTest::newRow("no line end") << "noterm" << lost;
        QTest::newRow("in pieces with pauses") << "split 4 30" << Outcome::Works;
        QTest::newRow("unsolicited lines") << "extra 2" << (identifying ? lost : Outcome::KeepsRunning);
        QTest::newRow("flood of 500 lines") << "flood 500" << (identifying ? lost : Outcome::KeepsRunning);
        QTest::newRow("bit line first") << "bit" << Outcome::Works;
        if (!identifying)
            QTest::newRow("link drops after a reply") << "disconnect 3" << lost;
        QTest::newRow("instrument killed") << "kill" << lost;
    }

    // Brings the fault about; true when the instrument process is gone.
    bool act(const QString &action)
    {
        if (action == QLatin1String("kill")) {
            sim->kill();
            return true;
        }
        if (!sim->control("fault " + action))
            qWarning("the fault was not set: %s", qPrintable(action));
        return false;
    }

    // A new instrument on the same link path, as when it is plugged in again.
    void replaceInstrument()
    {
        // The old one's folder holds the link path: keep it until the new one runs.
        std::unique_ptr<SimProcess> old = std::move(sim);
        sim = std::make_unique<SimProcess>();
        QVERIFY(sim->start({"--model", Model, "--no-noise"}, old->link()));
        QVERIFY(sim->control("set volt 1 5"));
        replaced.push_back(std::move(old));
    }

    // The reply line splitter's part, seen in the trace.
    void checkTrace(const QString &action, const TraceRecorder &trace)
    {
        if (action == QLatin1String("bit")) {
            QVERIFY(!trace.lines.filter(QLatin1String("RspPush 'Data bits")).size());
            QVERIFY(!trace.lines.filter(QLatin1String("paired")).filter(QLatin1String("bit")).size());
            QVERIFY(trace.lines.filter(QLatin1String("RspPush '")).size() > 0);
        }
        // The flood went through the reply store, filling it or not.
        if (action.startsWith(QLatin1String("flood")))
            QVERIFY(trace.contains("Rsp overflow") || trace.lines.filter(QLatin1String("RspPush 'FLOOD")).size() > 0);
    }

private slots:
    void initTestCase()
    {
        ShellFixture::isolateSettings(config);
        connect(&stuckWatch, &QTimer::timeout, this, &TestFaultMatrix::watchForStuckTransactions);
        stuckWatch.setInterval(50);
    }
    void init()
    {
        ShellFixture::clearSettings();
        fx = std::make_unique<ShellFixture>();
        clock = std::make_unique<ManualClock>();
        expireStuckTransactions = true;
        expiries = 0;
        stuckFor.start();
        stuckWatch.start();
        heartbeat.start();
    }
    void cleanup()
    {
        stuckWatch.stop();
        w.reset();
        sim.reset();
        replaced.clear();
        clock.reset();
        fx.reset();
    }

    // ------------------------------------------------------------ identification

    void duringIdentification_data() { faultRows(Phase::Identification); }
    void duringIdentification()
    {
        QFETCH(QString, action);
        QFETCH(Outcome, outcome);
        const bool kill = action == QLatin1String("kill");
        // Killed while the identification reply is still on its way.
        CHECKED(startSim({"--fault", kill ? QString("idn-late 3000") : action}));
        TraceRecorder trace;
        w->StatusTimer.stop(); // keeps what the failure writes on the status line
        const int ticks = heartbeat.ticks();
        fx->scriptSerialOk();
        fx->scriptRealRun();
        w->mnuRS232_Click();
        if (kill) {
            QTRY_VERIFY(sim->received().contains("*IDN?"));
            act(action);
        }
        CHECKED(checkOutcome(outcome, -1));
        CHECKED(checkHeartbeat(ticks));
        CHECKED(checkTrace(action, trace));
        if (outcome == Outcome::IdentificationFailed && !kill) {
            QCOMPARE(sim->received().first(), QString("*IDN?"));
            // No reply at all, or an engine time-out, also says so on the status line.
            if (expiries > 0 || kill)
                QCOMPARE(w->statusText(), QString("Timeout!"));
        }
        if (kill)
            CHECKED(replaceInstrument());
        CHECKED(checkRecovers(outcome, kill));
    }

    // ------------------------------------------------------------ initial read

    void duringInitialRead_data() { faultRows(Phase::InitialRead); }
    void duringInitialRead()
    {
        QFETCH(QString, action);
        QFETCH(Outcome, outcome);
        CHECKED(startSim({}));
        TraceRecorder trace;
        const int ticks = heartbeat.ticks();
        fx->scriptSerialOk();
        // The fault starts when the initial reading does.
        bool gone = false;
        fx->dialogs.script([this, action, &gone](QDialog &d) {
            gone = act(action);
            return d.exec();
        });
        w->mnuRS232_Click();
        QTRY_COMPARE_WITH_TIMEOUT(fx->dialogs.shownTitles.size(), 2, 10000);
        QCOMPARE(fx->dialogs.shownTitles.last(), QString("Querying..."));
        CHECKED(checkOutcome(outcome, -1));
        CHECKED(checkHeartbeat(ticks));
        CHECKED(checkTrace(action, trace));
        if (gone)
            CHECKED(replaceInstrument());
        CHECKED(checkRecovers(outcome, gone));
    }

    // ------------------------------------------------------------ polling, recording

    void duringPollingWhileRecording_data() { faultRows(Phase::Polling); }
    void duringPollingWhileRecording()
    {
        QFETCH(QString, action);
        QFETCH(Outcome, outcome);
        CHECKED(startSim({}));
        CHECKED(connectSerial());
        CHECKED(startPollingAndRecording());
        TraceRecorder trace;
        const qint64 rows = workingRows();
        const int ticks = heartbeat.ticks();
        QElapsedTimer elapsed;
        elapsed.start();
        // A vanished link must be noticed by itself: no exchange is expired
        // for it, however long the one in flight has been waiting.
        const bool killing = action == QLatin1String("kill");
        expireStuckTransactions = !killing;
        const bool gone = act(action);
        CHECKED(checkOutcome(outcome, static_cast<int>(rows)));
        if (gone) {
            // At once, not after the 20 s of the engine's time-out (with room
            // for a loaded machine).
            QVERIFY2(elapsed.elapsed() < 3000, qPrintable(QString::number(elapsed.elapsed())));
        }
        expireStuckTransactions = true;
        CHECKED(checkHeartbeat(ticks));
        CHECKED(checkTrace(action, trace));
        if (running()) {
            // The recording goes on through the fault, whether the polling
            // goes on or the output was switched off.
            frmDataTable *table = w->tableRecorder();
            QVERIFY(table);
            const qint64 before = workingRows();
            for (int i = 0; i < 3; ++i) {
                QTest::qWait(60);
                clock->advance(1.0);
                table->TimerRecordData_Timer();
            }
            QCOMPARE(workingRows(), before + 3);
        }
        if (gone)
            CHECKED(replaceInstrument());
        CHECKED(checkRecovers(outcome, gone));
    }

    // ------------------------------------------------------------ single cases

    // A model the catalogue does not offer (discontinued) is not accepted.
    void modelNotInTheCatalogue()
    {
        CHECKED(startSim({}, "KMA-9000"));
        const int ticks = heartbeat.ticks();
        fx->scriptSerialOk();
        w->mnuRS232_Click();
        CHECKED(checkOutcome(Outcome::IdentificationFailed, -1));
        CHECKED(checkHeartbeat(ticks));
        QCOMPARE(sim->received(), QStringList{"*IDN?"});
        QCOMPARE(w->windowTitle(), QString("QLE"));
        // The same link with a known model works.
        QVERIFY(sim->control("model " + Model));
        QVERIFY(sim->control("set volt 1 5"));
        platform::settings().SaveSetting("Common", "MType", Model);
        CHECKED(checkRecovers(Outcome::IdentificationFailed));
    }

    // The identification reply 8 s late: the 7.5 s watchdog has ended it,
    // and the late reply starts nothing.
    void identificationEightSecondsLate()
    {
        expireStuckTransactions = false; // the real watchdog decides here
        CHECKED(startSim({"--fault", "idn-late 8000"}));
        const int ticks = heartbeat.ticks();
        QElapsedTimer elapsed;
        fx->scriptSerialOk();
        qint64 shownAfter = 0;
        bool sentBeforeTheBox = false;
        // The box stays open until the reply has come and been read.
        fx->boxes.whileShown([&](const ScriptedMessageBox::Shown &) {
            shownAfter = elapsed.elapsed();
            sentBeforeTheBox = sim->sent().join(u'|').contains(Model);
            QTRY_VERIFY_WITH_TIMEOUT(sim->sent().join(u'|').contains(Model), 5000);
            QTest::qWait(500);
        });
        elapsed.start();
        w->mnuRS232_Click();
        QTRY_COMPARE_WITH_TIMEOUT(fx->boxes.texts(), QStringList{IdentificationFailed}, 12000);
        fx->boxes.whileShown({});
        QVERIFY2(shownAfter >= 7400, qPrintable(QString::number(shownAfter)));
        QVERIFY2(!sentBeforeTheBox, "the reply came before the watchdog");
        // The reply came while the box was open; nothing follows from it.
        QCOMPARE(w->MainFormState, 0);
        QCOMPARE(w->MainFormState, 0);
        QVERIFY(!w->currentPanel());
        QCOMPARE(fx->boxes.texts(), QStringList{IdentificationFailed});
        QCOMPARE(sim->received(), QStringList{"*IDN?"});
        CHECKED(checkHeartbeat(ticks));
        CHECKED(checkRecovers(Outcome::IdentificationFailed));
    }

    // Another program has the port open: the link does not open, the program
    // says so and stays idle; once the port is free it connects.
    void portBusyWhenTheLinkOpens()
    {
        CHECKED(startSim({}));
        QSerialPort holder;
        // The port is grabbed after it was chosen in the dialog, before the
        // program opens it.
        dlgConfigRS232 *dialog = nullptr;
        fx->dialogs.script([&holder, &dialog, this](QDialog &d) {
            dialog = static_cast<dlgConfigRS232 *>(&d);
            dialog->Combo1()->setCurrentIndex(0);
            dialog->Combo2()->setCurrentIndex(0);
            d.findChild<QPushButton *>("OKButton")->click();
            holder.setPortName(sim->link());
            if (!holder.open(QIODevice::ReadWrite))
                qWarning("the test could not hold the port: %s", qPrintable(holder.errorString()));
            return QDialog::Accepted;
        });
        w->mnuRS232_Click();
        QVERIFY(holder.isOpen());
        QCOMPARE(fx->boxes.texts(), QStringList{"Open RS232 Failed!"});
        QCOMPARE(w->MainFormState, 0);
        QVERIFY(w->menu().mnuRS232->isEnabled());
        QVERIFY(sim->received().isEmpty());

        // The on-line button on the busy port: the same.
        fx->boxes.clear();
        w->toolbar().button("OnOffLine")->trigger();
        QCOMPARE(fx->boxes.texts(), QStringList{"Open RS232 Failed!"});
        QCOMPARE(w->MainFormState, 0);
        QVERIFY(sim->received().isEmpty());

        holder.close();
        CHECKED(checkRecovers(Outcome::IdentificationFailed));
    }

    // The link disappears just as a set command is written.
    void linkLostWhileWriting()
    {
        CHECKED(startSim({}));
        CHECKED(connectSerial());
        CHECKED(startPollingAndRecording());
        const qint64 rows = workingRows();
        const int ticks = heartbeat.ticks();
        auto *panel = static_cast<frmLayout1 *>(w->currentPanel());
        QElapsedTimer elapsed;
        elapsed.start();
        expireStuckTransactions = false; // the loss must be noticed without it
        sim->kill();
        // Before the program has noticed anything, the user changes a value.
        TraceRecorder trace;
        panel->channel(0).numVoltage->spinBox()->setValue(7);
        QTRY_COMPARE_WITH_TIMEOUT(fx->boxes.texts().filter(OperationTimeout).size(), 1, 3000);
        QVERIFY2(elapsed.elapsed() < 3000, qPrintable(QString::number(elapsed.elapsed())));
        expireStuckTransactions = true;
        // The engine took the command; it went to the dead link, or the
        // hang-up was seen before it was written.
        QVERIFY2(!trace.lines.filter(":CHAN1:VOLT 7.").isEmpty(), qPrintable(trace.lines.join(u'|')));
        QCOMPARE(fx->boxes.texts(),
                 QStringList{OperationTimeout + "\nThe serial port " + sim->link() + " was closed or removed."});
        CHECKED(checkOutcome(Outcome::OperationTimeout, static_cast<int>(rows)));
        CHECKED(checkHeartbeat(ticks));
        CHECKED(replaceInstrument());
        CHECKED(checkRecovers(Outcome::OperationTimeout, true));
    }

    // The instrument dies during a recording: one box, the recording ends
    // with the rows it had, and the next connection's recorders show them,
    // ready to be saved with the record settings confirmed before.
    void recordingOfALostLinkIsKept()
    {
        CHECKED(startSim({}));
        CHECKED(connectSerial());
        fx->dialogs.script([](QDialog &d) {
            d.findChild<QComboBox *>("cmbHours")->setCurrentIndex(1);
            d.findChild<QPushButton *>("OKButton")->click();
            return QDialog::Accepted;
        });
        w->mnuRecordPeriod_Click();
        w->QueryTimer.setInterval(50);
        w->mnuOutput_Click();
        QTRY_COMPARE(w->currentPanel()->voltageText(0), QString("5.000"));
        QPointer<frmDataTable> table = w->tableRecorder();
        w->mnuRecordStart_Click();
        QVERIFY(table->isRecording());
        table->TimerRecordData.setInterval(100); // real ticks, faster
        QTRY_VERIFY(workingRows() >= 3);

        bool recordingWhileShown = true;
        bool pollingWhileShown = true;
        qint64 rowsAtTheBox = -1;
        fx->boxes.whileShown([&](const ScriptedMessageBox::Shown &) {
            recordingWhileShown = table && table->isRecording();
            pollingWhileShown = w->QueryTimer.isActive();
            rowsAtTheBox = workingRows();
            QTest::qWait(1000); // the box stays open a while
        });
        expireStuckTransactions = false;
        sim->kill();
        QTRY_VERIFY_WITH_TIMEOUT(!fx->boxes.shown().isEmpty(), 5000);
        QTRY_VERIFY(!w->currentPanel());
        fx->boxes.whileShown({});
        QTest::qWait(300);
        QCOMPARE(fx->boxes.texts().size(), 1);
        QVERIFY(fx->boxes.texts().first().startsWith(OperationTimeout + "\nThe serial port "));
        QVERIFY(!recordingWhileShown);
        QVERIFY(!pollingWhileShown);
        QCOMPARE(workingRows(), rowsAtTheBox);

        CHECKED(replaceInstrument());
        fx->boxes.clear();
        fx->scriptRealRun();
        w->toolbar().button("OnOffLine")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(running(), 15000);
        QVERIFY(fx->boxes.shown().isEmpty());
        table = w->tableRecorder();
        QCOMPARE(table->gridModel().rowCount(), int(rowsAtTheBox));
        QCOMPARE(w->graphWindow()->lIdx, int(rowsAtTheBox));
        QVERIFY(table->txtRecno->text().isEmpty());
        QVERIFY2(w->StatusLine.startsWith(QString::number(rowsAtTheBox) + " unsaved rows"), qPrintable(w->StatusLine));

        // Start asks before the rows go; No keeps everything as it was.
        w->mnuOutput_Click();
        fx->boxes.script(IMessageBox::Answer::No);
        w->mnuRecordStart_Click();
        QCOMPARE(fx->boxes.texts(), QStringList{"The current recording has not been saved. Discard it?"});
        QVERIFY(!table->isRecording());
        QCOMPARE(workingRows(), rowsAtTheBox);
        QCOMPARE(table->gridModel().rowCount(), int(rowsAtTheBox));

        // Saved, they are a record; a Start then asks nothing and records
        // with the settings confirmed before the link was lost.
        fx->boxes.clear();
        table->cmdSave_Click();
        QCOMPARE(fx->boxes.texts(), QStringList{"Do you want to save this record data?"});
        QVERIFY(!table->txtRecno->text().isEmpty());
        fx->boxes.clear();
        w->mnuRecordStart_Click();
        QVERIFY2(fx->boxes.shown().isEmpty(), qPrintable(fx->boxes.texts().join(u'|')));
        QVERIFY(table->isRecording());
        QCOMPARE(table->CountRecordCount, 3600);
        QCOMPARE(workingRows(), 0);
    }

    // An instrument that sent its identification without a line end is
    // replaced by another model on the same link. The characters the first
    // one left must not become part of the second one's reply.
    void partLineOfAnEarlierInstrumentIsNotKept()
    {
        CHECKED(startSim({"--fault", "noterm"}, "QLE-5505"));
        fx->scriptSerialOk();
        w->mnuRS232_Click();
        CHECKED(checkOutcome(Outcome::IdentificationFailed, -1));
        QVERIFY(sim->control("fault clear"));
        QVERIFY(sim->control("model " + Model));
        fx->boxes.clear();
        fx->scriptRealRun();
        w->toolbar().button("OnOffLine")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(w->MainFormState == 3 || !fx->boxes.shown().isEmpty(), 15000);
        QVERIFY2(fx->boxes.shown().isEmpty(), qPrintable(fx->boxes.texts().join(u'|')));
        QCOMPARE(w->windowTitle(), Model);
        QCOMPARE(w->LayoutType, 1);
    }

    // A recording that folds readings (here the average of 5 s), started
    // right after the output was switched on: the readings are blank until
    // each has been polled once. The blank ticks are left out of the row.
    void recordingStartedRightAfterTheOutputGoesOn()
    {
        CHECKED(startSim({}));
        CHECKED(connectSerial());
        w->QueryTimer.setInterval(50);
        w->mnuOutput_Click();
        QVERIFY(w->menu().mnuOutput->isChecked());
        frmDataTable *table = w->tableRecorder();
        table->RecordPeriod(0, 0, 1, 0, 2, 2);
        w->mnuRecordStart_Click();
        QVERIFY(table->isRecording());
        table->TimerRecordData.stop();
        QVERIFY(w->currentPanel()->voltageText(0).isEmpty());
        for (int tick = 0; tick < 5; ++tick) {
            clock->advance(1.0);
            table->TimerRecordData_Timer();
            QVERIFY2(fx->boxes.shown().isEmpty(), qPrintable(fx->boxes.texts().join(u'|')));
            QCOMPARE(table->txtTick->text(), QString::number(tick < 4 ? tick : 0));
            // Polled in the meantime.
            QTRY_VERIFY(!w->currentPanel()->voltageText(0).isEmpty());
        }
        QCOMPARE(workingRows(), 1);
        QSqlQuery row(QSqlDatabase::database("mtype"));
        QVERIFY(row.exec("select PVal from datatemp") && row.next());
        QCOMPARE(row.value(0).toString(), QString("5.00")); // the average of the four polled ticks
    }
};

QTEST_MAIN(TestFaultMatrix)
#include "tst_faultmatrix.moc"
