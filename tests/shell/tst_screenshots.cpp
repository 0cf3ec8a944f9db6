#include "Checked.h"
#include "comm/CommTasker.h"
#include "dialogs/dlgGPIB.h"
#include "dialogs/dlgLan.h"
#include "dialogs/dlgPolling.h"
#include "dialogs/frmTerminal.h"
#include "instrument/LinkReconnector.h"
#include "ManualClock.h"
#include "mqtt/MqttSettings.h"
#include "panels/Panel.h"
#include "platform/Platform.h"
#include "platform/SettingsStore.h"
#include "recording/events/ChannelLimits.h"
#include "recording/graph/frmGraphicRecord.h"
#include "recording/graph/GraphView.h"
#include "recording/graph/ModeSlide.h"
#include "recording/graph/PlotCursors.h"
#include "recording/table/frmDataTable.h"
#include "recording/table/RecordTableModel.h"
#include "shell/RecordingTimeline.h"
#include "shell/SequenceControl.h"
#include "shell/SequenceEditor.h"
#include "shell/SequenceWindow.h"
#include "shell/StartPage.h"
#include "ShellFixture.h"
#include "SimProcess.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <QDir>
#include <QImage>
#include <QPixmap>

using namespace qle;
using namespace qle::testing;

// Renders the main windows to PNG files in the build folder, for a reviewer
// to look at, and checks that what was drawn is a real picture.
class TestScreenshots : public QObject {
    Q_OBJECT

private:
    QTemporaryDir config;
    QString folder;

    // `minimum`: the least size that shows more than an empty frame.
    void save(QWidget &widget, const QString &name, QSize minimum = {200, 150})
    {
        widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&widget) || QGuiApplication::platformName() == "offscreen");
        QTest::qWait(100);
        const QImage image = widget.grab().toImage();
        QVERIFY(!image.isNull());
        QVERIFY(image.width() > minimum.width() && image.height() > minimum.height());
        // More than a blank window: many distinct colours.
        QSet<QRgb> colours;
        for (int y = 0; y < image.height(); y += 4)
            for (int x = 0; x < image.width(); x += 4)
                colours.insert(image.pixel(x, y));
        QVERIFY2(colours.size() > 8, qPrintable(name));
        QVERIFY(image.save(QDir(folder).filePath(name)));
    }

    // The recorder's controls the user works, as shown.
    static QList<QWidget *> controls(QWidget &recorder)
    {
        QList<QWidget *> found;
        for (QWidget *child : recorder.findChildren<QWidget *>()) {
            const bool control =
                qobject_cast<QAbstractButton *>(child) || qobject_cast<QComboBox *>(child) ||
                qobject_cast<QLineEdit *>(child) || qobject_cast<GraphView *>(child) ||
                (qobject_cast<QAbstractItemView *>(child) && !qobject_cast<QAbstractItemView *>(child->parentWidget()));
            if (control && child->isVisible())
                found.append(child);
        }
        return found;
    }

    // No two controls lie on each other (one inside another is its own part).
    static void checkNoOverlaps(QWidget &recorder, const QString &name)
    {
        const QList<QWidget *> shown = controls(recorder);
        QVERIFY2(shown.size() > 8, qPrintable(name));
        const auto rectOf = [&recorder](QWidget *w) { return QRect(w->mapTo(&recorder, QPoint(0, 0)), w->size()); };
        for (qsizetype i = 0; i < shown.size(); ++i)
            for (qsizetype j = i + 1; j < shown.size(); ++j) {
                QWidget *a = shown.at(i);
                QWidget *b = shown.at(j);
                if (a->isAncestorOf(b) || b->isAncestorOf(a))
                    continue;
                QVERIFY2(!rectOf(a).intersects(rectOf(b)),
                         qPrintable(name + ": " + a->objectName() + " on " + b->objectName()));
            }
    }

    // Every control of the recorder lies inside the main window's client area.
    static void checkFits(MDIForm1 &w, QWidget &recorder, const QString &name)
    {
        QWidget *client = qobject_cast<QMdiArea *>(w.centralWidget())->viewport();
        for (QWidget *control : controls(recorder)) {
            const QRect at(control->mapTo(client, QPoint(0, 0)), control->size());
            QVERIFY2(client->rect().contains(at), qPrintable(name + ": " + control->objectName() + " cut off"));
        }
        checkNoOverlaps(recorder, name);
    }

    // The shown main window connected over a serial link to the virtual
    // instrument started with `arguments` and told `commands`.
    static void connect(ShellFixture &fx, SimProcess &sim, const QStringList &arguments, const QStringList &commands,
                        std::unique_ptr<MDIForm1> *window)
    {
        QVERIFY(sim.start(arguments));
        for (const QString &command : commands)
            QVERIFY(sim.control(command));
        auto &w = *window;
        w = fx.makeWindow({sim.link()});
        QCOMPARE(w->Start(), MDIForm1::StartResult::Ready);
        fx.scriptSerialOk();
        fx.scriptRealRun();
        w->show();
        w->mnuRS232_Click();
        QTRY_VERIFY_WITH_TIMEOUT(w->MainFormState == 3 && w->currentPanel() && w->currentPanel()->isVisible(), 10000);
    }

    static QString scaleSuffix()
    {
        const QByteArray scale = qgetenv("QT_SCALE_FACTOR");
        return scale.isEmpty() || scale == "1" ? QString() : "-" + QString::number(qRound(scale.toDouble() * 100));
    }

private slots:
    void initTestCase()
    {
        ShellFixture::isolateSettings(config);
        folder = QDir(QStringLiteral(QLE_SCREENSHOT_DIR)).absolutePath();
        QVERIFY(QDir().mkpath(folder));
    }

    void panels_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("file");
        QTest::newRow("three outputs") << "KMA-3303T"
                                       << "main-layout1.png";
        QTest::newRow("one output") << "KMB-6001"
                                    << "main-layout2.png";
        QTest::newRow("legacy") << "QLE-5505"
                                << "main-layout3.png";
    }
    void panels()
    {
        QFETCH(QString, model);
        QFETCH(QString, file);
        ShellFixture::clearSettings();
        ShellFixture fx;
        SimProcess sim;
        std::unique_ptr<MDIForm1> w;
        CHECKED(connect(fx, sim, {"--model", model, "--no-noise"}, {"set volt 1 12", "output on"}, &w));
        w->QueryTimer.setInterval(50);
        Panel *panel = w->currentPanel();
        QTRY_VERIFY(!panel->voltageText(0).isEmpty() && panel->voltageText(0) != "0.000");
        for (int ch = 0; ch < panel->channelCount(); ++ch)
            QTRY_VERIFY(!panel->currentText(ch).isEmpty());
        save(*w, file);
    }

    // Live, after a trip: the Live button pressed, the OFF box and the
    // status message; and the polling dialog.
    void liveAfterATrip()
    {
        ShellFixture::clearSettings();
        PollingChoice{true, 250}.save();
        ShellFixture fx;
        SimProcess sim;
        std::unique_ptr<MDIForm1> w;
        CHECKED(connect(fx, sim, {"--model", "KMA-3303T", "--no-noise"}, {"set volt 1 12", "output on"}, &w));
        QTRY_VERIFY(w->outputOn());
        QVERIFY(sim.control("trip ovp 1"));
        QTRY_VERIFY(!w->outputOn());
        w->StatusTimer_Timer();
        QCOMPARE(w->statusText(), QString("Output switched off by the instrument"));
        save(*w, "main-live-trip" + scaleSuffix() + ".png");

        fx.dialogs.script([this](QDialog &d) {
            d.show();
            save(d, "polling-dialog" + scaleSuffix() + ".png", {200, 80});
            return QDialog::Rejected;
        });
        w->mnuPolling_Click();

        // The terminal after a query and its reply, and the GPIB dialog.
        w->mnuTerminal_Click();
        frmTerminal *terminal = w->terminal();
        terminal->txtLine->setText("*IDN?");
        terminal->sendLine();
        QTRY_VERIFY(terminal->txtLog->toPlainText().contains("< QV Instruments"));
        terminal->txtLine->setText(":CHAN1:VOLT 5");
        terminal->sendLine();
        save(*terminal, "terminal" + scaleSuffix() + ".png");
        dlgGPIB gpib;
        save(gpib, "gpib-dialog" + scaleSuffix() + ".png", {150, 100});
        dlgLan lan;
        lan.hostField()->setText("192.168.1.50");
        save(lan, "lan-dialog" + scaleSuffix() + ".png", {150, 60});
    }

    // The sequence window during a run: the running line, its log, and a
    // fault of the check at its line.
    void sequenceWindow()
    {
        ShellFixture::clearSettings();
        ShellFixture fx;
        SimProcess sim;
        std::unique_ptr<MDIForm1> w;
        CHECKED(connect(fx, sim, {"--model", "KMA-3303T", "--no-noise"}, {}, &w));
        w->mnuSequence_Click();
        SequenceWindow *window = w->sequenceWindow();
        window->editor->setPlainText("# power-up order\nset ch1 voltage 5 V\nset ch2 voltage 12.5 V\noutput on\n"
                                     "ramp ch1 voltage 5 to 6 V over 1h step 0.1 V\nset ch3 voltage 99\n");
        QVERIFY(!window->checkText());
        QCOMPARE(window->editor->faults().keys(), QList<int>{6});
        save(*window, "sequence-fault" + scaleSuffix() + ".png", {300, 250});
        window->editor->setPlainText("set ch1 current 1\noutput on\nwait 200ms\nwait 1h\n");
        window->cmdRun->click();
        QTRY_COMPARE(w->sequence().runner().currentLine(), 4);
        QTRY_VERIFY(window->lblState->text().contains(" 1 h"));
        save(*window, "sequence" + scaleSuffix() + ".png", {300, 250});
        window->cmdStop->click();
        QTRY_VERIFY(!w->sequence().isRunning());
    }

    // A recording cut short by a lost link: the start page says what
    // happened and offers the link again; the kept rows are viewed and
    // saved with no instrument, at the interval they were recorded with.
    void startPageAfterALostLink()
    {
        ShellFixture::clearSettings();
        ShellFixture fx;
        SimProcess sim;
        std::unique_ptr<MDIForm1> w;
        CHECKED(connect(fx, sim, {"--model", "KMA-3303T", "--no-noise"}, {"set volt 1 12", "output on"}, &w));
        QTRY_VERIFY(w->outputOn());
        frmDataTable *table = w->tableRecorder();
        table->RecordPeriod(0, 0, 0, 30, 0, 0);
        w->mnuRecordStart_Click();
        QTRY_VERIFY_WITH_TIMEOUT(table->iCurrentRow >= 2, 5000);
        sim.kill();
        QTRY_COMPARE(w->MainFormState, 0);
        QTRY_VERIFY(!w->tableRecorder());
        // The sample interval is changed before the kept rows are saved.
        platform::settings().SaveInt("RECORDPERIOD", "RecScale", 2);

        StartPage *page = w->startPage();
        QTRY_VERIFY(page->isVisible());
        QVERIFY(page->lblKept->text().contains(" unsaved rows kept"));
        QVERIFY(page->cmdConnect->isVisible());
        save(*w, "start-page" + scaleSuffix() + ".png");

        page->cmdViewKept->click();
        frmDataTable *kept = w->tableRecorder();
        QVERIFY(kept && kept->isVisible());
        QVERIFY(!page->isVisible());
        QVERIFY(kept->gridModel().rowCount() >= 2);
        save(*w, "kept-rows" + scaleSuffix() + ".png");
        fx.boxes.script(IMessageBox::Answer::Yes);
        kept->cmdSave_Click();
        QCOMPARE(kept->txtRecno->text(), QString("1"));
        QSqlQuery q(QSqlDatabase::database("mtype"));
        QVERIFY(q.exec("select RecStyle from datamain where RecNo = '1'") && q.next());
        QCOMPARE(q.value(0).toString().trimmed(), QString("0"));
        // Closing the recorder brings the page back.
        w->mnuControl_Click();
        QVERIFY(page->isVisible());
    }

    // A lost link under reconnection: the panel and the recording stay, the
    // status line counts the tries, the events list tells of the loss. And
    // the Unattended settings.
    void reconnecting()
    {
        ShellFixture::clearSettings();
        ReconnectPolicy{true, 1, 30}.save(platform::settings());
        ShellFixture fx;
        SimProcess sim;
        std::unique_ptr<MDIForm1> w;
        CHECKED(connect(fx, sim, {"--model", "KMA-3303T", "--no-noise"}, {"set volt 1 12", "output on"}, &w));
        // Stored after the start, to be shown by the dialog but not used.
        MqttSettings mqtt;
        mqtt.enabled = true;
        mqtt.host = "broker.lab";
        mqtt.user = "bench";
        mqtt.password = "secret";
        mqtt.bench = "burn-in-3";
        mqtt.save(platform::settings());
        QTRY_VERIFY(w->outputOn());
        frmDataTable *table = w->tableRecorder();
        table->RecordPeriod(0, 0, 0, 30, 0, 0);
        w->mnuRecordStart_Click();
        QTRY_VERIFY_WITH_TIMEOUT(table->iCurrentRow >= 2, 5000);
        sim.kill();
        QTRY_VERIFY_WITH_TIMEOUT(w->statusText().contains("reconnecting (try 2)"), 20000);
        QVERIFY(fx.boxes.shown().isEmpty());
        QCOMPARE(w->MainFormState, 3);
        QVERIFY(!table->lstEvents->findItems("Link lost", Qt::MatchContains).isEmpty());
        w->mnuTableData_Click();
        save(*w, "reconnecting" + scaleSuffix() + ".png");

        fx.dialogs.script([this](QDialog &d) {
            d.show();
            save(d, "unattended-dialog" + scaleSuffix() + ".png", {250, 250});
            return QDialog::Rejected;
        });
        w->mnuUnattended_Click();
    }

    // Both recorders on every layout: the main window grows until every
    // control shows; restored from maximised, nothing lies on anything.
    void recordersFit_data() { panels_data(); }
    void recordersFit()
    {
        QFETCH(QString, model);
        QFETCH(QString, file);
        ShellFixture::clearSettings();
        ShellFixture fx;
        SimProcess sim;
        std::unique_ptr<MDIForm1> w;
        CHECKED(connect(fx, sim, {"--model", model, "--no-noise"}, {}, &w));
        const QString layout = file.section('-', 1).section('.', 0, 0);
        const QSize panelClient = qobject_cast<QMdiArea *>(w->centralWidget())->viewport()->size();

        w->mnuWave_Click();
        QTest::qWait(100);
        frmGraphicRecord *graph = w->graphWindow();
        CHECKED(checkFits(*w, *graph, "graph " + layout));
        save(*w, "graph-" + layout + scaleSuffix() + ".png");
        const QSize graphClient = qobject_cast<QMdiArea *>(w->centralWidget())->viewport()->size();
        QVERIFY(graphClient.width() >= panelClient.width() && graphClient.height() >= panelClient.height());

        w->mnuTableData_Click();
        QTest::qWait(100);
        CHECKED(checkFits(*w, *w->tableRecorder(), "table " + layout));
        save(*w, "table-" + layout + scaleSuffix() + ".png");

        w->mnuWave_Click();
        qobject_cast<QMdiSubWindow *>(graph->parentWidget())->showNormal();
        QTest::qWait(100);
        CHECKED(checkNoOverlaps(*graph, "restored graph " + layout));

        // Back on the panel, the client area is the panel's again.
        w->mnuControl_Click();
        QCOMPARE(qobject_cast<QMdiArea *>(w->centralWidget())->viewport()->size(), panelClient);
    }

    // The timeline of a recording: its events beside the table, marked on
    // the graph with the current limit's dashed line, and the totals.
    void timeline()
    {
        ShellFixture::clearSettings();
        ChannelLimits limits;
        limits[LimitKind::CurrentHigh] = Limit{1.5, LimitAction::MarkOnly};
        ChannelLimits::save("KMA-3303T", 0, limits);
        ShellFixture fx;
        SimProcess sim;
        std::unique_ptr<MDIForm1> w;
        CHECKED(connect(fx, sim, {"--model", "KMA-3303T", "--no-noise"}, {"set volt 1 12", "load 1 10"}, &w));
        w->setPolling(PollingChoice{true, 250});
        w->mnuOutput_Click();
        frmDataTable *table = w->tableRecorder();
        table->RecordPeriod(0, 0, 1, 0, 0, 0);
        w->mnuRecordStart_Click();
        QTRY_VERIFY(table->isRecording());
        QTRY_VERIFY_WITH_TIMEOUT(table->iCurrentRow >= 2, 5000);
        QVERIFY(w->timeline().mark("probe moved to TP3"));
        QVERIFY(sim.control("load 1 5"));
        QTRY_VERIFY_WITH_TIMEOUT(table->iCurrentRow >= 5, 8000);
        w->mnuRecordStop_Click();
        QTRY_VERIFY(table->lstEvents->count() >= 4);
        w->mnuTableData_Click();
        QTest::qWait(100);
        CHECKED(checkFits(*w, *table, "table with events"));
        save(*w, "timeline-table" + scaleSuffix() + ".png");
        w->mnuWave_Click();
        QTest::qWait(300);
        w->graphWindow()->updateNow();
        save(*w, "timeline-graph" + scaleSuffix() + ".png");
        QCOMPARE(w->graphWindow()->lstWave->findItems(" Wh", Qt::MatchContains).size(), 3);
        QCOMPARE(w->graphWindow()->marks().limitSeries().size(), 1);
    }

    void tableRecorder()
    {
        ShellFixture::clearSettings();
        ShellFixture fx;
        SimProcess sim;
        std::unique_ptr<MDIForm1> w;
        CHECKED(connect(fx, sim, {"--model", "KMA-3303T", "--no-noise"}, {"set volt 1 12", "set volt 2 5"}, &w));
        w->QueryTimer.setInterval(30);
        w->mnuOutput_Click();
        QTRY_COMPARE(w->currentPanel()->currentText(0), QString("1.200"));
        ManualClock clock;
        frmDataTable *table = w->tableRecorder();
        table->RecordPeriod(0, 0, 0, 30, 0, 0);
        w->mnuRecordStart_Click();
        table->TimerRecordData.stop();
        for (int i = 0; i < 12; ++i) {
            if (i == 6)
                QVERIFY(sim.control("load 1 5"));
            QTest::qWait(120);
            clock.advance(1);
            table->TimerRecordData_Timer();
        }
        QCOMPARE(table->iCurrentRow, 12);
        w->mnuTableData_Click();
        save(*w, "table-recorder.png");
        w->resize(900, 640);
        w->mnuWave_Click();
        QTRY_COMPARE(w->graphWindow()->lIdx, 12);
        w->graphWindow()->updateNow();
        save(*w, "graph-recorder.png");

        // The measurement cursors: the reference at the 3rd point, the
        // channel cursor at the 10th.
        frmGraphicRecord *graph = w->graphWindow();
        graph->GraphMode->setValue(3);
        const auto viewPoint = [graph](double seconds) {
            GraphView &view = *graph->CWGraph1;
            return view.mapFromScene(view.chart()->mapToPosition(QPointF(seconds / 86400, 0), view.series(0)));
        };
        graph->cursors->dragTo(1, viewPoint(9));
        graph->cursors->dragTo(PlotCursors::Reference, viewPoint(2));
        QCOMPARE(graph->PeriodVal->text(), QString("00:00:07"));
        save(*w, "graph-cursors.png");
    }
};

QTEST_MAIN(TestScreenshots)
#include "tst_screenshots.moc"
