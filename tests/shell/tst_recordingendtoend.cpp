#include "comm/CommTasker.h"
#include "ManualClock.h"
#include "panels/Panel.h"
#include "recording/table/frmDataTable.h"
#include "recording/graph/frmGraphicRecord.h"
#include "recording/table/RecordTableModel.h"
#include "ShellFixture.h"
#include "SimProcess.h"

#include <QLineEdit>
#include <QListWidget>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>

#include "dialogs/dlgPolling.h"

using namespace qle;
using namespace qle::testing;

// Recording a supply run by the program against the virtual instrument: the
// one-second ticks are driven by hand on a test clock, the readings are real.
class TestRecordingEndToEnd : public QObject {
    Q_OBJECT

private:
    QTemporaryDir config;
    std::unique_ptr<ShellFixture> fx;
    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<MDIForm1> w;

    struct Row {
        int seqNo;
        QString v1, a1, v2;
        int tick, diff;
    };

    static QList<Row> workingRows()
    {
        QList<Row> rows;
        QSqlQuery q(QSqlDatabase::database("mtype"));
        if (!q.exec("select SeqNo, PVal, SVal, PVal2, TimeTick, DiffLastTime from datatemp order by SeqNo"))
            return rows;
        while (q.next())
            rows.append({q.value(0).toInt(), q.value(1).toString(), q.value(2).toString(), q.value(3).toString(),
                         q.value(4).toInt(), q.value(5).toInt()});
        return rows;
    }

    // One recorder tick after a fresh poll of channel 1's readings.
    void tick(ManualClock &clock, frmDataTable &table)
    {
        const int before = static_cast<int>(sim->received().filter(":CHAN1:MEAS:CURR?").size());
        QTRY_VERIFY(sim->received().filter(":CHAN1:MEAS:CURR?").size() > before);
        QTRY_VERIFY(!w->engine().IsQueryPending);
        clock.advance(1.0);
        table.TimerRecordData_Timer();
    }

    void connect(const QStringList &noise = {"--no-noise"})
    {
        sim = std::make_unique<SimProcess>();
        QVERIFY(sim->start(QStringList{"--model", "KMA-3303T"} + noise));
        QVERIFY(sim->control("set volt 1 5"));
        QVERIFY(sim->control("set volt 2 3"));
        w = fx->makeWindow({sim->link()});
        QCOMPARE(w->Start(), MDIForm1::StartResult::Ready);
        fx->scriptSerialOk();
        fx->scriptRealRun();
        w->mnuRS232_Click();
        QTRY_VERIFY_WITH_TIMEOUT(w->MainFormState == 3 && w->currentPanel() && w->currentPanel()->isVisibleTo(w.get()),
                                 10000);
        if (!w->polling().live)
            w->QueryTimer.setInterval(20);
        w->mnuOutput_Click();
        if (noise.contains("--no-noise"))
            QTRY_COMPARE(w->currentPanel()->currentText(0), QString("0.500"));
    }

private slots:
    void initTestCase() { ShellFixture::isolateSettings(config); }
    void init()
    {
        ShellFixture::clearSettings();
        fx = std::make_unique<ShellFixture>();
    }
    void cleanup()
    {
        w.reset();
        sim.reset();
        fx.reset();
    }

    void startNeedsAPeriod()
    {
        connect();
        w->mnuRecordStart_Click();
        QCOMPARE(fx->boxes.texts(), QStringList{"Please Setup Record the period first."});
        QVERIFY(!w->tableRecorder()->isRecording());
    }

    void recordsEverySecondAndFollowsTheLoad()
    {
        connect();
        ManualClock clock;
        frmDataTable *table = w->tableRecorder();
        table->RecordPeriod(0, 0, 0, 20, 0, 0);
        w->mnuRecordStart_Click();
        QVERIFY(table->isRecording());
        table->TimerRecordData.stop(); // the test ticks by hand
        for (int i = 0; i < 10; ++i)
            tick(clock, *table);
        QVERIFY(sim->control("load 1 2.5"));
        QTRY_COMPARE(w->currentPanel()->currentText(0), QString("2.000"));
        for (int i = 0; i < 10; ++i)
            tick(clock, *table);

        const QList<Row> rows = workingRows();
        QVERIFY(rows.size() >= 20);
        QCOMPARE(rows.first().diff, 0);
        const QStringList replies = sim->sent();
        for (const Row &row : rows) {
            // Every recorded value is one the instrument sent.
            QVERIFY2(replies.contains(row.v1) && replies.contains(row.a1) && replies.contains(row.v2),
                     qPrintable(row.v1 + " " + row.a1 + " " + row.v2));
            QCOMPARE(row.tick, row.seqNo);
        }
        QCOMPARE(rows.at(2).a1, QString("0.500"));
        QCOMPARE(rows.at(2).v2, QString("3.000"));
        QCOMPARE(rows.last().a1, QString("2.000"));
        QCOMPARE(table->iCurrentRow, static_cast<int>(rows.size()));
    }

    // A recorder's close box hides it; the recording goes on, and View brings
    // the window back with every row.
    void closedRecordersComeBackWithTheirRows()
    {
        connect();
        ManualClock clock;
        w->show();
        frmDataTable *table = w->tableRecorder();
        table->RecordPeriod(0, 0, 0, 20, 0, 0);
        w->mnuRecordStart_Click();
        // The test ticks by hand; the recording's own timer keeps running.
        table->TimerRecordData.setInterval(3600 * 1000);
        for (int i = 0; i < 3; ++i)
            tick(clock, *table);

        for (auto show : {&MDIForm1::mnuTableData_Click, &MDIForm1::mnuWave_Click}) {
            (w.get()->*show)();
            QWidget *recorder = show == &MDIForm1::mnuWave_Click ? static_cast<QWidget *>(w->graphWindow()) : table;
            QVERIFY(recorder->isVisible());
            QVERIFY(recorder->parentWidget()->close() == false);
            QTRY_VERIFY(!recorder->isVisible());
            // The panel takes its place.
            QTRY_VERIFY(w->currentPanel()->isVisible());
            tick(clock, *table);
            (w.get()->*show)();
            QVERIFY(recorder->isVisible());
            QVERIFY(!w->currentPanel()->isVisible());
        }
        // Still recording: the graph's button says so.
        QVERIFY(table->isRecording());
        QCOMPARE(w->graphWindow()->cmdStart->text(), QString("Record..."));
        QCOMPARE(table->gridModel().rowCount(), 5);
        QCOMPARE(w->graphWindow()->lIdx, 5);
        QCOMPARE(workingRows().size(), 5);
    }

    // Live at 1 s: every row of a recording at "1 second" holds fresh noisy
    // readings of every channel, from the first row on.
    void liveRecordingHoldsFreshReadings()
    {
        w.reset();
        fx->clearSettings();
        PollingChoice{true, 1000}.save();
        // Noise wide enough that ten readings of a channel are all different.
        connect({"--noise-mv", "200", "--noise-ma", "50"});
        QVERIFY(sim->control("set volt 3 4"));
        QCOMPARE(w->QueryTimer.interval(), 1000);
        frmDataTable *table = w->tableRecorder();
        table->RecordPeriod(0, 0, 0, 9, 0, 0);
        w->mnuRecordStart_Click();
        QVERIFY(table->isRecording());
        // The cycles run half a period ahead of the recorder's ticks.
        const int lead = table->TimerRecordData.remainingTime() - w->QueryTimer.remainingTime();
        QVERIFY2(lead >= 400 && lead <= 600, qPrintable(QString::number(lead)));
        QTRY_VERIFY_WITH_TIMEOUT(!table->isRecording(), 20000);
        QCOMPARE(w->QueryTimer.interval(), 1000);

        QSqlQuery q(QSqlDatabase::database("mtype"));
        QVERIFY(q.exec("select PVal, SVal, PVal2, SVal2, PVal3, SVal3 from datatemp order by SeqNo"));
        // A channel's reading is its voltage and current pair: a stale one
        // would repeat a row before it.
        QList<QSet<QString>> distinct(3);
        int rows = 0;
        while (q.next()) {
            ++rows;
            for (int column = 0; column < 6; ++column)
                QVERIFY2(!q.value(column).toString().isEmpty(),
                         qPrintable(QString("row %1 column %2").arg(rows).arg(column)));
            for (int ch = 0; ch < 3; ++ch)
                distinct[ch].insert(q.value(2 * ch).toString() + u'|' + q.value(2 * ch + 1).toString());
        }
        QCOMPARE(rows, 10);
        for (int ch = 0; ch < 3; ++ch)
            QVERIFY2(distinct.at(ch).size() == 10, qPrintable(QString::number(ch)));
    }

    void fiveSecondRowsSaveReloadReplace()
    {
        connect();
        ManualClock clock;
        frmDataTable *table = w->tableRecorder();
        table->RecordPeriod(0, 0, 0, 20, 2, 0); // 5 seconds, maximum
        w->mnuRecordStart_Click();
        table->TimerRecordData.stop();
        for (int i = 0; i < 21; ++i) {
            if (i == 7)
                QVERIFY(sim->control("load 1 5")); // 1.000 A from here on
            tick(clock, *table);
        }
        const QList<Row> rows = workingRows();
        QCOMPARE(rows.size(), 4);
        QCOMPARE(rows.at(0).a1, QString("0.500"));
        QCOMPARE(rows.at(1).a1, QString("1.000")); // the maximum of its five seconds
        QCOMPARE(rows.at(3).tick, 15);             // the first row counts from 0

        // Save as record 1.
        fx->boxes.script(IMessageBox::Answer::Yes);
        table->cmdSave_Click();
        QCOMPARE(fx->boxes.shown().last().text, QString("Do you want to save this record data?"));
        QSqlQuery q(QSqlDatabase::database("mtype"));
        QVERIFY(q.exec("select count(*) from datadetail where RecNo = '1'") && q.next());
        QCOMPARE(q.value(0).toInt(), 4);

        // Clear, reload it, replace it with a new description.
        fx->boxes.script(IMessageBox::Answer::Yes);
        table->cmdClear_Click();
        QCOMPARE(workingRows().size(), 0);
        table->cmdLoadRecord_Click();
        QCOMPARE(table->findChild<QListWidget *>("List1")->count(), 1);
        table->List1_Click(0);
        QCOMPARE(workingRows().size(), 4);
        QCOMPARE(workingRows().at(1).a1, QString("1.000"));
        table->findChild<QLineEdit *>("txtDataDesc")->setText("bench 'A'");
        fx->boxes.script(IMessageBox::Answer::Yes);
        table->cmdSave_Click();
        QCOMPARE(fx->boxes.shown().last().text, QString("Do you replace existing data with current record?"));
        QVERIFY(q.exec("select Comment from datamain where RecNo = '1'") && q.next());
        QCOMPARE(q.value(0).toString(), QString("bench 'A'"));
        QVERIFY(q.exec("select count(*), max(TimeTick) from datadetail where RecNo = '1'") && q.next());
        QCOMPARE(q.value(0).toInt(), 4);
        QCOMPARE(q.value(1).toInt(), 15);

        // Record lists left open when a recording starts load nothing over it.
        auto *tableList = table->findChild<QListWidget *>("List1");
        auto *graphList = w->graphWindow()->findChild<QListWidget *>("List1");
        table->cmdLoadRecord_Click();
        w->graphWindow()->cmdLoad_Click();
        QVERIFY(graphList->isVisibleTo(w->graphWindow()));
        table->RecordPeriod(0, 0, 0, 20, 0, 0);
        w->mnuRecordStart_Click();
        QVERIFY2(table->isRecording(), qPrintable(fx->boxes.texts().join(u'|')));
        QVERIFY(!tableList->isVisibleTo(table) && !graphList->isVisibleTo(w->graphWindow()));
        tick(clock, *table);
        table->List1_Click(0);
        w->graphWindow()->List1_Click(0);
        QVERIFY(table->isRecording());
        QCOMPARE(workingRows().size(), 1);
        QVERIFY(table->txtRecno->text().isEmpty());
    }

    // Live: an instrument that stops answering with the port still open is
    // recorded as gaps, and the status line says so.
    void silentInstrumentRecordsGaps()
    {
        w.reset();
        fx->clearSettings();
        PollingChoice{true, 250}.save();
        connect();
        frmDataTable *table = w->tableRecorder();
        table->RecordPeriod(0, 0, 0, 30, 0, 0);
        w->mnuRecordStart_Click();
        QTRY_VERIFY_WITH_TIMEOUT(table->iCurrentRow >= 2, 5000);
        QVERIFY(sim->control("fault noreply-after 0"));
        const int silentFrom = table->iCurrentRow + 1;
        QTRY_VERIFY_WITH_TIMEOUT(table->iCurrentRow >= silentFrom + 3, 8000);
        QVERIFY2(w->statusText().startsWith("No reply from the instrument for "), qPrintable(w->statusText()));
        QVERIFY(w->engine().IsQueryPending);
        const QList<Row> rows = workingRows();
        QCOMPARE(rows.first().a1, QString("0.500"));
        // A reading may still arrive in the row after the fault; from then on, gaps.
        for (qsizetype i = silentFrom + 1; i < rows.size(); ++i)
            QVERIFY2(rows.at(i).v1.isEmpty() && rows.at(i).a1.isEmpty() && rows.at(i).v2.isEmpty(),
                     qPrintable(QString::number(i) + ": " + rows.at(i).v1));
        w->mnuRecordStop_Click();
    }
};

QTEST_MAIN(TestRecordingEndToEnd)
#include "tst_recordingendtoend.moc"
