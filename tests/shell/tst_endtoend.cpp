#include "comm/CommTasker.h"
#include "comm/TcpLink.h"
#include "instrument/Instrument.h"
#include "instrument/LinkReconnector.h"
#include "MosquittoBroker.h"
#include "mqtt/MqttClient.h"
#include "mqtt/MqttSettings.h"
#include "panels/frmLayout1.h"
#include "panels/frmLayout2.h"
#include "panels/frmLayout3.h"
#include "platform/Platform.h"
#include "platform/SettingsStore.h"
#include "platform/widgets/CWButton.h"
#include "platform/widgets/CWNumEdit.h"
#include "recording/events/ChannelLimits.h"
#include "recording/graph/frmGraphicRecord.h"
#include "recording/table/frmDataTable.h"
#include "shell/DataForm.h"
#include "shell/MainMenu.h"
#include "shell/MainToolbar.h"
#include "shell/MqttSession.h"
#include "shell/RecordingTimeline.h"
#include "shell/SequenceControl.h"
#include "shell/SequenceEditor.h"
#include "shell/SequenceWindow.h"
#include "shell/StartPage.h"
#include "ShellFixture.h"
#include "SimProcess.h"
#include "TopicReader.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStatusBar>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>

#include "dialogs/frmTerminal.h"

using namespace qle;
using namespace qle::testing;

// The program against the virtual instrument over a pseudo-terminal.
class TestEndToEnd : public QObject {
    Q_OBJECT

private:
    QTemporaryDir config;
    std::unique_ptr<ShellFixture> fx;
    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<MDIForm1> w;

    void startSim(const QStringList &args)
    {
        sim = std::make_unique<SimProcess>();
        QVERIFY(sim->start(args + QStringList{"--no-noise"}));
        w = fx->makeWindow({sim->link()});
        QCOMPARE(w->Start(), MDIForm1::StartResult::Ready);
    }

    void connectSerial()
    {
        fx->scriptSerialOk();
        fx->scriptRealRun();
        w->mnuRS232_Click();
        // Ends on the panel or on a message; generous, as a loaded machine is slow.
        QTRY_VERIFY_WITH_TIMEOUT(
            (w->MainFormState == 3 && w->currentPanel() && w->currentPanel()->isVisibleTo(w.get())) ||
                !fx->boxes.shown().isEmpty(),
            30000);
        QVERIFY2(fx->boxes.shown().isEmpty(),
                 qPrintable(fx->boxes.texts().join(u'|') + " / status: " + w->statusText() +
                            " / received: " + sim->received().join(u'|') + " / sent: " + sim->sent().join(u'|')));
        settle();
    }

    // A client of the window's control port, started on a free port;
    // nullptr when either failed.
    std::unique_ptr<QTcpSocket> portClient()
    {
        QString error;
        if (w->controlPort() == 0 && !w->startControlPort(0, &error))
            return nullptr;
        auto socket = std::make_unique<QTcpSocket>();
        socket->connectToHost(QHostAddress::LocalHost, w->controlPort());
        return socket->waitForConnected(5000) ? std::move(socket) : nullptr;
    }
    // One line to the control port and its reply.
    static QString askPort(QTcpSocket &socket, const QString &line)
    {
        socket.write((line + "\n").toUtf8());
        if (!QTest::qWaitFor([&] { return socket.canReadLine(); }, 20000))
            return QStringLiteral("<no reply>");
        return QString::fromUtf8(socket.readLine()).trimmed();
    }

    void settle()
    {
        QTRY_VERIFY(w->engine().QueryTaskCount + w->engine().CmdTaskCount == 0 && !w->engine().IsQueryPending &&
                    !w->engine().IsCommandPending);
    }

    static QString setting(const char *section, const char *key)
    {
        return platform::settings().GetSetting(section, key, "<none>");
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

    void identifiesEachFamily_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<int>("layout");
        QTest::addColumn<int>("familyMenu");
        QTest::newRow("KMA three outputs") << "KMA-3303T" << 1 << 1;
        QTest::newRow("KMB one output") << "KMB-6001" << 2 << 2;
        QTest::newRow("KMC one output") << "KMC-0505" << 2 << 0;
        QTest::newRow("QLE legacy") << "QLE-5505" << 3 << 3;
    }
    void identifiesEachFamily()
    {
        QFETCH(QString, model);
        QFETCH(int, layout);
        QFETCH(int, familyMenu);
        startSim({"--model", model});
        w->StatusTimer.stop();
        connectSerial();
        QCOMPARE(w->windowTitle(), model);
        QCOMPARE(w->statusText(), "QV Instruments," + model + ",SN000123,1.0");
        QCOMPARE(w->LayoutType, layout);
        QList<QAction *> *families[4] = {&w->menu().mnuKMCItem, &w->menu().mnuKMAItem, &w->menu().mnuKMBItem,
                                         &w->menu().mnuQLEItem};
        bool checked = false;
        for (QAction *item : *families[familyMenu])
            checked = checked || (item->isChecked() && item->text() == model);
        QVERIFY(checked);
        QCOMPARE(setting("Common", "CommType"), QString("RS232"));
        QCOMPARE(setting("Common", "MType"), model);
        QVERIFY(fx->boxes.shown().isEmpty());
    }

    void silentInstrumentEndsInTheIdentificationMessage()
    {
        startSim({"--fault", "noreply *IDN?"});
        w->GetMachineTypeTimer.setInterval(300);
        fx->scriptSerialOk();
        w->mnuRS232_Click();
        QTRY_COMPARE(fx->boxes.texts(), QStringList{"Querying the machine type is timeout!"});
        QCOMPARE(w->MainFormState, 0);
        QCOMPARE(sim->received(), QStringList{"*IDN?"});
    }

    void threeOutputSupplyWorksCompletely()
    {
        startSim({"--model", "KMA-3303T"});
        QVERIFY(sim->control("set volt 2 12"));
        QVERIFY(sim->control("set curr 2 1.5"));
        connectSerial();
        const QStringList initial = sim->received().filter("?").mid(1, 26);
        QCOMPARE(initial.first(), QString(":SYST:AUTO:STAR?"));
        QCOMPARE(initial.at(8), QString(":OUTP:STAT?"));
        QCOMPARE(initial.last(), QString(":CHAN3:MEAS:CURR?"));
        auto *panel = qobject_cast<frmLayout1 *>(w->currentPanel());
        QVERIFY(panel);
        QCOMPARE(panel->channel(1).numVoltage->Value(), 12.0);
        QCOMPARE(panel->channel(1).numCurrent->Value(), 1.5);
        QVERIFY(panel->optIndep->isChecked());

        // A voltage edit reaches the instrument, which then reports it.
        panel->channel(0).numVoltage->spinBox()->setValue(5);
        QTRY_VERIFY(sim->received().contains(":CHAN1:VOLT 5."));

        // Output on: polling follows the instrument's load.
        w->QueryTimer.setInterval(50);
        w->mnuOutput_Click();
        QTRY_COMPARE(panel->voltageText(0), QString("5.000"));
        QTRY_COMPARE(panel->currentText(0), QString("0.500"));
        QVERIFY(sim->control("load 1 2.5"));
        QTRY_COMPARE(panel->currentText(0), QString("2.000"));
        QVERIFY(sim->received().contains(":SYST:ERR?"));
        QVERIFY(fx->boxes.shown().isEmpty());
    }

    void instrumentErrorTurnsTheOutputOff()
    {
        // A catalogue that allows more than the instrument takes.
        startSim({"--model", "KMA-3303T"});
        {
            QSqlQuery widen(QSqlDatabase::database("mtype"));
            QVERIFY(widen.exec("update data1 set VoltMax = 40 where MTYPE = 'KMA-3303T#1'"));
        }
        QCOMPARE(w->dataForm().open(fx->data.path()), DataForm::OpenResult::Ok);
        connectSerial();
        auto *panel = static_cast<frmLayout1 *>(w->currentPanel());
        w->QueryTimer.setInterval(30);
        w->mnuOutput_Click();
        panel->channel(0).numVoltage->spinBox()->setValue(35);
        QTRY_COMPARE(fx->boxes.texts(), QStringList{"Error detected: '-222,\"Data out of range\"'"});
        QVERIFY(!w->menu().mnuOutput->isChecked());
        QTRY_VERIFY(sim->received().contains(":OUTP:STAT 0"));
    }

    void unpluggedInstrumentResetsAndTheOnLineButtonReconnects()
    {
        startSim({"--model", "KMA-3303T"});
        connectSerial();
        w->QueryTimer.setInterval(50);
        w->mnuOutput_Click();
        QTRY_VERIFY(sim->received().filter("MEAS").size() >= 3);
        const QString link = sim->link();
        QElapsedTimer elapsed;
        elapsed.start();
        sim->kill();
        // One box, with the cause on its second line.
        QTRY_COMPARE_WITH_TIMEOUT(
            fx->boxes.texts(),
            QStringList{"Operation Timeout, Causes Reset Now.\nThe serial port " + link + " was closed or removed."},
            3000);
        QVERIFY2(elapsed.elapsed() < 1000, qPrintable(QString::number(elapsed.elapsed())));
        QCOMPARE(w->MainFormState, 0);
        QTRY_VERIFY(!w->currentPanel());

        // The instrument comes back on the same path.
        SimProcess again;
        QVERIFY(again.start({"--model", "KMA-3303T", "--no-noise"}, link));
        const int shown = static_cast<int>(fx->dialogs.shownTitles.size());
        fx->scriptRealRun();
        w->toolbar().button("OnOffLine")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(w->MainFormState == 3 && w->currentPanel() && w->currentPanel()->isVisibleTo(w.get()),
                                 10000);
        QCOMPARE(fx->dialogs.shownTitles.mid(shown), QStringList{"Querying..."});
        QCOMPARE(again.received().first(), QString("*IDN?"));
        w.reset();
    }

    void gpibThroughAPrologixAdapter()
    {
        sim = std::make_unique<SimProcess>();
        QVERIFY(sim->start({"--prologix", "--gpib-address", "5=KMA-3303T", "--no-noise"}));
        QVERIFY(sim->control("select 5"));
        QVERIFY(sim->control("set volt 1 7"));
        platform::settings().SaveSetting("GPIB", "Backend", "prologix-usb");
        platform::settings().SaveSetting("GPIB", "AdapterPort", sim->link());
        w = fx->makeWindow();
        QCOMPARE(w->Start(), MDIForm1::StartResult::Ready);
        fx->dialogs.script([](QDialog &d) {
            d.findChild<QComboBox *>("cmbAddress")->setCurrentIndex(5);
            d.findChild<QPushButton *>("OKButton")->click();
            return QDialog::Accepted;
        });
        fx->scriptRealRun();
        w->mnuGPIB_Click();
        QTRY_VERIFY_WITH_TIMEOUT(w->MainFormState == 3 && w->currentPanel() && w->currentPanel()->isVisibleTo(w.get()),
                                 15000);
        QCOMPARE(w->windowTitle(), QString("KMA-3303T"));
        QVERIFY(w->menu().mnuGPIB->isChecked());
        auto *panel = static_cast<frmLayout1 *>(w->currentPanel());
        QCOMPARE(panel->commTypeText()->text(), QString("Interface: GPIB;Address:5"));
        QCOMPARE(panel->channel(0).numVoltage->Value(), 7.0);
        w->QueryTimer.setInterval(50);
        w->mnuOutput_Click();
        QTRY_COMPARE(panel->voltageText(0), QString("7.000"));
        QVERIFY(sim->received().contains("++addr 5"));
        QVERIFY(sim->received().contains("++read eoi"));
        QCOMPARE(setting("Common", "CommType"), QString("GPIB"));

        // The adapter is pulled: one box, the backend's words on its second line.
        sim->kill();
        QTRY_VERIFY_WITH_TIMEOUT(!fx->boxes.shown().isEmpty(), 5000);
        QTRY_VERIFY(!w->currentPanel());
        QTest::qWait(300);
        QCOMPARE(fx->boxes.texts().size(), 1);
        QVERIFY2(fx->boxes.texts().first().startsWith("Operation Timeout, Causes Reset Now.\nGPIB: "),
                 qPrintable(fx->boxes.texts().first()));
    }

    void gpibWithoutABackendChangesNothing()
    {
        platform::settings().SaveSetting("GPIB", "Backend", "prologix-usb");
        platform::settings().SaveSetting("GPIB", "AdapterPort", "/nonexistent/tty");
        w = fx->makeWindow();
        QCOMPARE(w->Start(), MDIForm1::StartResult::Ready);
        fx->dialogs.script([](QDialog &d) {
            d.findChild<QPushButton *>("OKButton")->click();
            return QDialog::Accepted;
        });
        w->mnuGPIB_Click();
        // The second line says why.
        QTRY_COMPARE(fx->boxes.texts().size(), 1);
        QVERIFY2(fx->boxes.texts().first().startsWith("Config GPIB failed!\ncannot open the GPIB adapter at "
                                                      "/nonexistent/tty"),
                 qPrintable(fx->boxes.texts().first()));
        QCOMPARE(w->MainFormState, 0);
        QVERIFY(w->menu().mnuGPIB->isEnabled());

        // A backend name the program does not know.
        fx->boxes.clear();
        platform::settings().SaveSetting("GPIB", "Backend", "gpib-over-pigeon");
        fx->dialogs.script([](QDialog &d) {
            d.findChild<QPushButton *>("OKButton")->click();
            return QDialog::Accepted;
        });
        w->mnuGPIB_Click();
        QTRY_COMPARE(fx->boxes.texts().size(), 1);
        QVERIFY2(
            fx->boxes.texts().first().startsWith("Config GPIB failed!\nGPIB backend \"gpib-over-pigeon\" is unknown"),
            qPrintable(fx->boxes.texts().first()));
        QCOMPARE(w->MainFormState, 0);
    }

    void oneOutputSupply()
    {
        startSim({"--model", "KMB-6001"});
        connectSerial();
        auto *panel = qobject_cast<frmLayout2 *>(w->currentPanel());
        QVERIFY(panel);
        QCOMPARE(sim->received().filter("?").mid(1, 7),
                 (QStringList{":CHAN1:PROT:VOLT?", ":OUTP:STAT?", ":CHAN1:PROT:CURR?", ":CHAN1:VOLT?", ":CHAN1:CURR?",
                              ":CHAN1:MEAS:VOLT?", ":CHAN1:MEAS:CURR?"}));
        panel->channel(0).numVoltage->spinBox()->setValue(8);
        panel->channel(0).numCurrent->spinBox()->setValue(0.5);
        w->QueryTimer.setInterval(50);
        w->mnuOutput_Click();
        QTRY_COMPARE(panel->voltageText(0), QString("5.000")); // 0.5 A into 10 ohm: current limited
        QTRY_COMPARE(panel->currentText(0), QString("0.500"));
        QTRY_VERIFY(sim->received().contains(":CHAN1:VOLT 8"));
        QTRY_VERIFY(sim->received().contains(":CHAN1:CURR 0.5"));
    }

    void legacySupplyFollowsItsFrontPanel()
    {
        startSim({"--model", "QLE-5505"});
        QVERIFY(sim->control("set volt 1 12.5"));
        connectSerial();
        auto *panel = qobject_cast<frmLayout3 *>(w->currentPanel());
        QVERIFY(panel);
        QCOMPARE(sim->received().filter("?").mid(1, 9), (QStringList{"VSET1?", "VSET2?", "ISET1?", "ISET2?", "VOUT1?",
                                                                     "IOUT1?", "VOUT2?", "IOUT2?", "STATUS?"}));
        QCOMPARE(panel->channel(0).numVoltage->Value(), 12.5);
        panel->channel(1).numVoltage->spinBox()->setValue(3);
        QTRY_VERIFY(sim->received().contains("VSET2:3."));

        w->QueryTimer.setInterval(40);
        w->mnuOutput_Click();
        QTRY_VERIFY(sim->received().contains("OUT1"));
        QTRY_COMPARE(panel->voltageText(1), QString("3.000"));
        // The output switched off at the instrument: seen within one polling cycle.
        QVERIFY(sim->control("output off"));
        QElapsedTimer elapsed;
        elapsed.start();
        QTRY_VERIFY(!w->menu().mnuOutput->isChecked());
        QVERIFY(elapsed.elapsed() < 9 * 40 + 500);
        QVERIFY(!panel->outputButton()->Value());
        QVERIFY(!w->QueryTimer.isActive());

        // Parallel from the panel sends TRACK2 and locks channel 2.
        panel->optParal->click();
        QTRY_VERIFY(sim->received().contains("TRACK2"));
        QVERIFY(!panel->channel(1).numVoltage->isEnabled());
        QVERIFY(!w->menu().mnuGPIB->isEnabled());
        QVERIFY(!w->toolbar().isEnabled("GPIB"));
    }

    // The terminal: a query waits for its reply, a command goes out as typed,
    // both in turn with the polling; Up brings the last line back, and the
    // field is off with a hint once the link is gone.
    void terminalSendsQueriesAndCommands()
    {
        startSim({"--model", "KMA-3303T"});
        QVERIFY(!w->terminal());
        w->mnuTerminal_Click();
        frmTerminal *terminal = w->terminal();
        QVERIFY(terminal && !terminal->txtLine->isEnabled());
        QVERIFY(terminal->lblHint->text().contains("No instrument"));
        connectSerial();
        QVERIFY(terminal->txtLine->isEnabled());

        terminal->txtLine->setText("*IDN?");
        terminal->sendLine();
        QVERIFY(!terminal->cmdSend->isEnabled()); // one query at a time
        QTRY_VERIFY(terminal->txtLog->toPlainText().contains("< QV Instruments,KMA-3303T,SN000123,1.0"));
        const QRegularExpression stamped(R"(^\d\d:\d\d:\d\d\.\d{3}  > \*IDN\?$)", QRegularExpression::MultilineOption);
        QVERIFY(stamped.match(terminal->txtLog->toPlainText()).hasMatch());
        terminal->txtLine->setText(":CHAN2:VOLT 7.5");
        QTest::keyClick(terminal->txtLine, Qt::Key_Return);
        QTRY_VERIFY(sim->received().contains(":CHAN2:VOLT 7.5"));
        QTest::keyClick(terminal->txtLine, Qt::Key_Up);
        QCOMPARE(terminal->txtLine->text(), QString(":CHAN2:VOLT 7.5"));
        QTest::keyClick(terminal->txtLine, Qt::Key_Up);
        QCOMPARE(terminal->txtLine->text(), QString("*IDN?"));

        w->ResetAll();
        QVERIFY(!terminal->txtLine->isEnabled());
        // Testing mode has no instrument: the field stays off and says so.
        w->Setup("Menu", "KMA-3303T", false);
        QTRY_COMPARE(w->MainFormState, 3);
        QVERIFY(!terminal->txtLine->isEnabled());
        QVERIFY(terminal->lblHint->text().startsWith("Testing mode"));
        // The lines are kept for the next run.
        QCOMPARE(setting("Terminal", "History"), QString("*IDN?") + QChar(0x1f) + ":CHAN2:VOLT 7.5");
    }

    // A command typed in the terminal has its error read at once and shown
    // in the log; polling never sees it, so a running output stays on. A
    // reply never causes a command: auto-run ended by the instrument and an
    // error read with the output off are shown, nothing is sent back.
    void terminalAndLiveRepliesSendNothingBack()
    {
        startSim({"--model", "KMA-3303T"});
        w->setPolling({true, 250});
        connectSerial();
        w->mnuTerminal_Click();
        frmTerminal *terminal = w->terminal();
        const auto sentAfter = [&](qsizetype from, const QString &what) {
            return sim->received().mid(from).filter(what).size();
        };

        // With the output off an instrument error is told on the status line.
        qsizetype mark = sim->received().size();
        w->engine().ExecCmdTask(":FOO:BAR", 0, nullptr, QString(), 1, false);
        QTRY_VERIFY_WITH_TIMEOUT(w->statusText().startsWith("Error detected: '-113"), 3000);
        QCOMPARE(sentAfter(mark, ":OUTP:STAT "), 0);

        w->mnuOutput_Click();
        QTRY_VERIFY(!w->currentPanel()->voltageText(0).isEmpty());
        mark = sim->received().size();
        terminal->txtLine->setText(":CHAN1:VOLT:BAD 3");
        terminal->sendLine();
        QTRY_VERIFY(terminal->txtLog->toPlainText().contains("< -113,\"Undefined header\""));
        QVERIFY(terminal->txtLog->toPlainText().contains("> :SYST:ERR?"));
        // Two more Live cycles: the output is still on and was never switched.
        const qsizetype polled = sim->received().filter(":SYST:ERR?").size();
        QTRY_VERIFY_WITH_TIMEOUT(sim->received().filter(":SYST:ERR?").size() >= polled + 2, 3000);
        QVERIFY(w->menu().mnuOutput->isChecked());
        QCOMPARE(sentAfter(mark, ":OUTP:STAT "), 0);

        // One short auto-run cycle, ended by the instrument.
        for (const char *line : {":SYST:AUTO:STAR 1", ":SYST:AUTO:END 1", ":SYST:AUTO:CYCL 1", ":SYST:AUTO:DEL 1"})
            w->engine().ExecCmdTask(line, 0, nullptr, QString(), 1, false);
        w->mnuAutoRun_Click();
        QVERIFY(w->menu().mnuAutoRun->isChecked());
        QTRY_VERIFY(sim->received().contains(":SYST:AUTO:STAT 1"));
        mark = sim->received().size();
        QTRY_VERIFY_WITH_TIMEOUT(!w->menu().mnuAutoRun->isChecked(), 5000);
        QVERIFY(w->currentPanel()->findChild<CWNumEdit *>("numVoltage")->isEnabled());
        settle();
        QCOMPARE(sentAfter(mark, ":OUTP:COUP:TRAC "), 0);
        QCOMPARE(sentAfter(mark, ":SYST:AUTO:STAT "), 0);
        QVERIFY(fx->boxes.shown().isEmpty());
    }

    // Classic with the output already on at connection: the read-times
    // watch counts from the start of polling, not from its first query.
    void classicReadTimesCountFromTheStart()
    {
        startSim({"--model", "KMA-3303T"});
        QVERIFY(sim->control("output on"));
        connectSerial();
        QVERIFY(w->QueryTimer.isActive());
        QCOMPARE(w->QueryTimer.interval(), 3000);
        QTest::qWait(300);
        QVERIFY(w->engine().WriterTimer.isActive());
        QVERIFY2(w->engine().CurQuerySpentMsec >= 200, qPrintable(QString::number(w->engine().CurQuerySpentMsec)));
    }

    // A link too slow for the chosen Live period: the status line and the
    // polling dialog say how often readings really come.
    void liveSaysWhenTheLinkCannotKeepThePeriod()
    {
        startSim({"--model", "KMA-3303T", "--baud", "1200"});
        w->setPolling({true, 250});
        connectSerial();
        w->mnuOutput_Click();
        QTRY_VERIFY_WITH_TIMEOUT(w->statusText() == "Live: readings every 0.5 s on this link", 5000);
        QString note;
        fx->dialogs.script([&](QDialog &d) {
            note = d.findChild<QLabel *>("lblLinkNote")->text();
            return int(QDialog::Rejected);
        });
        w->mnuPolling_Click();
        QCOMPARE(note, QString("Live: readings every 0.5 s on this link"));
        // Recorded readings are not taken for stale at that pace.
        QCOMPARE(w->readingMaxAgeMs(), 1000);
    }

    // A raw TCP link (a serial-over-LAN adapter, psu-sim --tcp): chosen in
    // Interface > LAN (TCP)..., remembered, and taken again by the on-line
    // button and by --connect tcp://HOST:PORT without dialogs.
    void lanLinkFromTheMenuAndTheCommandLine()
    {
        startSim({"--model", "KMB-6001", "--tcp", "0"});
        const std::optional<TcpAddress> address = TcpAddress::parse(sim->link());
        QVERIFY(address);
        fx->dialogs.script([&](QDialog &d) {
            d.findChild<QLineEdit *>("txtHost")->setText(address->host);
            d.findChild<QSpinBox *>("numPort")->setValue(address->port);
            d.findChild<QPushButton *>("OKButton")->click();
            return int(QDialog::Accepted);
        });
        fx->scriptRealRun();
        w->mnuLan_Click();
        QTRY_VERIFY_WITH_TIMEOUT(w->MainFormState == 3 && w->currentPanel() && w->currentPanel()->isVisibleTo(w.get()),
                                 20000);
        QVERIFY(w->menu().mnuLan->isChecked());
        QCOMPARE(setting("TCP", "Port"), QString::number(address->port));
        QCOMPARE(setting("Common", "CommType"), QString("TCP"));
        settle();
        w->currentPanel()->findChild<CWNumEdit *>("numVoltage")->enterValue(4.5);
        QTRY_VERIFY(!sim->received().filter(QRegularExpression("VOLT 4\\.5$")).isEmpty());

        // Let go, then taken again without a dialog, as --connect does.
        w->ResetAll();
        QVERIFY(w->startPage()->cmdConnect->text().endsWith("KMB-6001 on " + address->text()));
        const int dialogs = static_cast<int>(fx->dialogs.shownTitles.size());
        fx->scriptRealRun();
        w->connectTcpAddress(*TcpAddress::parse("tcp://" + address->text()));
        QTRY_VERIFY_WITH_TIMEOUT(w->MainFormState == 3 && w->currentPanel(), 20000);
        QCOMPARE(fx->dialogs.shownTitles.mid(dialogs), QStringList{"Querying..."});
        QCOMPARE(sim->received().filter("*IDN?").size(), 2);

        // Nobody there: one box with the cause, back to the start page.
        w->ResetAll();
        w->connectTcpAddress({QStringLiteral("127.0.0.1"), 1});
        QTRY_COMPARE(fx->boxes.texts().size(), 1);
        QVERIFY2(fx->boxes.texts().first().startsWith("Open TCP Failed!\ncannot connect to 127.0.0.1:1: "),
                 qPrintable(fx->boxes.texts().first()));
        QCOMPARE(w->MainFormState, 0);
    }

    // A question raised at the screen while a script's CONN waits for the
    // instrument is shown to the person there, and the script still gets
    // its reply.
    void controlPortLeavesTheScreenItsQuestions()
    {
        startSim({"--model", "KMA-3303T"});
        connectSerial();
        QString error;
        QVERIFY2(w->startControlPort(0, &error), qPrintable(error));
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, w->controlPort());
        QVERIFY(client.waitForConnected(5000));
        const auto replyLine = [&] {
            if (!QTest::qWaitFor([&] { return client.canReadLine(); }, 20000))
                return QStringLiteral("<no reply>");
            return QString::fromUtf8(client.readLine()).trimmed();
        };
        client.write("DISC\n");
        QCOMPARE(replyLine(), QString("OK"));
        QVERIFY(sim->control("fault idn-late 1500"));
        fx->scriptRealRun();
        std::optional<IMessageBox::Answer> answer;
        QTimer::singleShot(500, w.get(), [&] {
            answer = platform::messageBox().show("Keep the bench log?", QString(), IMessageBox::Buttons::YesNo,
                                                 IMessageBox::Icon::Question);
        });
        client.write("CONN\n");
        QCOMPARE(replyLine(), QString("OK KMA-3303T"));
        QCOMPARE(answer, std::optional(IMessageBox::Answer::Yes));
        QVERIFY(fx->boxes.texts().contains("Keep the bench log?"));

        // Coupling and output set by a script show in the windows as if
        // chosen there.
        client.write("COUP TRACK\nVOLT 1,3\nOUTP ON\n");
        QCOMPARE(replyLine(), QString("OK"));
        QCOMPARE(replyLine(), QString("ERR field locked"));
        QCOMPARE(replyLine(), QString("OK"));
        QVERIFY(w->menu().mnuTrack->isChecked());
        QVERIFY(static_cast<frmLayout1 *>(w->currentPanel())->optTrack->isChecked());
        QVERIFY(!w->currentPanel()->findChild<CWNumEdit *>("numVoltage")->isEnabled());
        QVERIFY(w->menu().mnuOutput->isChecked() && w->QueryTimer.isActive());
        QTRY_VERIFY(sim->received().contains(":OUTP:COUP:TRAC 1") && sim->received().contains(":OUTP:STAT 1"));

        // A script that disconnects while the initial read still runs, and
        // connects again: the new connection reads afresh and opens its panel.
        QVERIFY(sim->control("fault delay 100"));
        fx->scriptRealRun();
        fx->scriptRealRun();
        client.write("DISC\nCONN\nDISC\nCONN\n");
        QCOMPARE(replyLine(), QString("OK"));
        QCOMPARE(replyLine(), QString("OK KMA-3303T"));
        QCOMPARE(replyLine(), QString("OK"));
        QCOMPARE(replyLine(), QString("OK KMA-3303T"));
        QVERIFY(sim->control("fault clear"));
        QTRY_VERIFY_WITH_TIMEOUT(w->currentPanel() && w->currentPanel()->isVisibleTo(w.get()), 20000);
        QCOMPARE(w->MainFormState, 3);

        // While the box of a lost link waits for OK, nothing is said to
        // reach the instrument.
        fx->boxes.whileShown([&](const ScriptedMessageBox::Shown &box) {
            if (!box.text.startsWith("Operation Timeout"))
                return;
            client.write("STAT?\nVOLT 1,3\nOUTP OFF\n");
            QTest::qWait(500);
        });
        sim->kill();
        QTRY_COMPARE(w->MainFormState, 0);
        QCOMPARE(replyLine(), QString("0"));
        QCOMPARE(replyLine(), QString("ERR link lost"));
        QCOMPARE(replyLine(), QString("ERR link lost"));

        // A connection that fails says why; its box is the screen's.
        client.write("CONN\n");
        const QString failed = replyLine();
        QVERIFY2(failed.startsWith("ERR ") && failed != "ERR connection failed", qPrintable(failed));
        QTRY_VERIFY(fx->boxes.texts().contains("Open RS232 Failed!"));
    }

    // One sequence, from the control port and from its window: the ramp on
    // the wire, Live polling only while it runs, a stop applying the end
    // state, faults at their lines with nothing sent, and a close during a
    // run asking first.
    void sequenceFromThePortAndTheWindow()
    {
        startSim({"--model", "KMA-3303T", "--no-noise"});
        connectSerial();
        const std::unique_ptr<QTcpSocket> client = portClient();
        QVERIFY(client);
        const auto ask = [&](const QString &line) { return askPort(*client, line); };
        QTemporaryDir dir;
        const auto file = [&](const QString &name, const QByteArray &text) {
            QFile out(dir.filePath(name));
            return out.open(QIODevice::WriteOnly) && out.write(text) == text.size() ? out.fileName() : QString();
        };
        const sequence::SequenceRunner &runner = w->sequence().runner();
        const bool liveBefore = w->polling().live;

        QVERIFY(sim->control("load 1 10"));
        const QString ramp =
            file("ramp.seq", "set ch1 current 1\noutput on\nramp ch1 voltage 1 to 3 V over 1s steps 4\n");
        QCOMPARE(ask("SEQ:LOAD \"" + ramp + '"'), QString("OK"));
        QVERIFY2(ask("SEQ:CHEC?").startsWith("OK "), "check");
        const qsizetype before = sim->received().size();
        QCOMPARE(ask("SEQ:RUN"), QString("OK"));
        QTRY_VERIFY(w->polling().live);
        QTRY_COMPARE_WITH_TIMEOUT(runner.state(), sequence::SequenceRunner::State::Done, 10000);
        QVERIFY(ask("SEQ:STAT?").startsWith("done,"));
        QCOMPARE(
            sim->received().mid(before).filter(QRegularExpression("^:CHAN1:VOLT ")),
            (QStringList{":CHAN1:VOLT 1.", ":CHAN1:VOLT 1.5", ":CHAN1:VOLT 2.", ":CHAN1:VOLT 2.5", ":CHAN1:VOLT 3."}));
        QCOMPARE(w->polling().live, liveBefore);
        QCOMPARE(w->model().channel(0).setVoltage, std::optional(3.0));
        // Power beside the readings: 3 V over 10 ohms.
        QTRY_VERIFY_WITH_TIMEOUT(ask("MEAS:POW? 1").startsWith("0.900,"), 10000);
        QCOMPARE(static_cast<frmLayout1 *>(w->currentPanel())->channel(0).txtPower->text(), QString("0.900"));
        QCOMPARE(ask("MEAS:POW? 4"), ask("MEAS:VOLT? 4"));

        // Paused and stopped on its wait: output off, as the file asks by default.
        const QString hour = file("hour.seq", "output on\nwait 1h\n");
        QCOMPARE(ask("SEQ:LOAD " + hour), QString("OK"));
        QCOMPARE(ask("SEQ:RUN"), QString("OK"));
        QTRY_COMPARE(runner.currentLine(), 2);
        QCOMPARE(ask("SEQ:LOAD " + ramp), QString("ERR a sequence is running"));
        QCOMPARE(ask("SEQ:PAUS"), QString("OK"));
        QVERIFY(ask("SEQ:STAT?").startsWith("paused,2,"));
        const qsizetype offBefore = sim->received().filter(":OUTP:STAT 0").size();
        QCOMPARE(ask("SEQ:STOP"), QString("OK"));
        QTRY_COMPARE(sim->received().filter(":OUTP:STAT 0").size(), offBefore + 1);
        const QString stopped = ask("SEQ:STAT?");
        QVERIFY2(stopped.startsWith("stopped,2,") && stopped.contains("request"), qPrintable(stopped));
        QCOMPARE(ask("SEQ:STOP"), QString("ERR no sequence running"));

        // Faults: a file that cannot be read, one the instrument cannot
        // run; nothing reaches the instrument.
        QVERIFY(ask("SEQ:LOAD " + file("typo.seq", "output on\nwait 10 parsecs\n")).startsWith("ERR 2:"));
        const QString unfit = file("unfit.seq", "set ch4 voltage 5\nset ch1 voltage 99\n");
        QCOMPARE(ask("SEQ:LOAD " + unfit), QString("OK"));
        const qsizetype sent =
            sim->received()
                .filter(QRegularExpression("^[^:]|^:(?!MEAS|SYST:ERR|CHAN.:(VOLT|CURR|PROT)[^ ]*\\?|OUTP[^ ]*\\?)"))
                .size();
        const QString unfitCheck = ask("SEQ:CHEC?");
        QVERIFY2(unfitCheck.startsWith("ERR 1:") && unfitCheck.contains("; 2:"), qPrintable(unfitCheck));
        QVERIFY(ask("SEQ:RUN").startsWith("ERR 1:"));
        // The pace is the serial link's, not a guess.
        QCOMPARE(ask("SEQ:LOAD " + file("fast.seq", "ramp ch1 voltage 0 to 5 over 1s steps 100\n")), QString("OK"));
        const QString tooFast = ask("SEQ:CHEC?");
        QVERIFY2(tooFast.contains("this link (9600 baud)"), qPrintable(tooFast));
        QCOMPARE(ask("SEQ:LOAD " + unfit), QString("OK"));

        // The window shows the same file, its faults at their lines.
        w->mnuSequence_Click();
        SequenceWindow *window = w->sequenceWindow();
        QVERIFY(window && window->isVisible());
        QCOMPARE(window->editor->toPlainText(), QString("set ch4 voltage 5\nset ch1 voltage 99\n"));
        QVERIFY(!window->checkText());
        QCOMPARE(window->editor->faults().keys(), (QList<int>{1, 2}));
        QVERIFY(!window->lstMessages->findItems("2:", Qt::MatchStartsWith).isEmpty());
        QTest::qWait(300);
        QCOMPARE(
            sim->received()
                .filter(QRegularExpression("^[^:]|^:(?!MEAS|SYST:ERR|CHAN.:(VOLT|CURR|PROT)[^ ]*\\?|OUTP[^ ]*\\?)"))
                .size(),
            sent);

        // Record while running: from the run's start (the output goes on in
        // its first step) to its end.
        QCOMPARE(ask("REC:SETUP 0,0,2,0,0,0"), QString("OK"));
        window->chkRecord->setChecked(true);
        window->editor->setPlainText("output on\nwait 2500ms\noutput off\n");
        window->cmdRun->click();
        QTRY_VERIFY(w->tableRecorder()->isRecording());
        QTRY_COMPARE_WITH_TIMEOUT(runner.state(), sequence::SequenceRunner::State::Done, 10000);
        QVERIFY(!w->tableRecorder()->isRecording());
        QVERIFY(w->tableRecorder()->iCurrentRow >= 2);
        QVERIFY(ask("REC:SAVE \"sequence\"").toInt() > 0);
        window->chkRecord->setChecked(false);

        // Run from the window; closing asks, stops, applies the end state, closes.
        window->editor->setPlainText("output on\nwait 1h\n");
        window->cmdRun->click();
        QTRY_COMPARE(runner.currentLine(), 2);
        QVERIFY(!window->cmdRun->isEnabled() && window->cmdStop->isEnabled());
        const qsizetype offs = sim->received().filter(":OUTP:STAT 0").size();
        QVERIFY(!w->close());
        QVERIFY(fx->boxes.texts().contains("A sequence is running. Stop it, apply its end state and close?"));
        QTRY_COMPARE(sim->received().filter(":OUTP:STAT 0").size(), offs + 1);
        QTRY_VERIFY(!w->isVisible());
    }

    // The recording's timeline in the main program: what the instrument, a
    // script and the user did, beside the table and on the graph; a limit
    // that switches the output off within two Live periods; saved with the
    // record, loaded with it, and a record without events loading as before.
    void timelineOfARecording()
    {
        startSim({"--model", "KMA-3303T", "--no-noise"});
        QVERIFY(sim->control("load 1 10"));
        ChannelLimits limits;
        limits[LimitKind::CurrentHigh] = Limit{0.8, LimitAction::OutputOff};
        ChannelLimits::save("KMA-3303T", 0, limits);
        connectSerial();
        constexpr int Period = 250;
        w->setPolling(PollingChoice{true, Period});
        const std::unique_ptr<QTcpSocket> client = portClient();
        QVERIFY(client);
        const auto ask = [&](const QString &line) { return askPort(*client, line); };
        frmDataTable *table = w->tableRecorder();
        frmGraphicRecord *graph = w->graphWindow();
        QVERIFY(table && graph);
        QCOMPARE(w->timeline().limitLines().size(), 1); // the dashed line of CH1's current

        QCOMPARE(ask("VOLT 1,5"), QString("OK"));
        QCOMPARE(ask("CURR 1,1"), QString("OK"));
        QCOMPARE(ask("OUTP ON"), QString("OK"));
        QCOMPARE(ask("REC:SETUP 0,0,5,0,0,0"), QString("OK"));
        QCOMPARE(ask("REC:STAR FORCE"), QString("OK"));
        QTRY_VERIFY(!table->lstEvents->findItems("recording-start", Qt::MatchContains).isEmpty());
        QCOMPARE(ask("VOLT 1,6"), QString("OK"));
        QTRY_VERIFY(!table->lstEvents->findItems("CH1 voltage 5 → 6 V (script)", Qt::MatchContains).isEmpty());
        QVERIFY(w->timeline().mark("probe moved"));
        QVERIFY(!table->lstEvents->findItems("probe moved", Qt::MatchContains).isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(w->timeline().currentTotals().value(0).chargeAh > 0, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(table->iCurrentRow >= 2, 5000);

        // 9 V over 10 ohms is 0.9 A: over the limit, the output goes off.
        const auto offs = [&] { return sim->received().filter(":OUTP:STAT 0").size(); };
        const qsizetype offsBefore = offs();
        QElapsedTimer sinceCrossing;
        QCOMPARE(ask("VOLT 1,9"), QString("OK"));
        sinceCrossing.start();
        QTRY_VERIFY_WITH_TIMEOUT(offs() > offsBefore, 10 * Period);
        const qint64 latency = sinceCrossing.elapsed();
        qInfo("limit to output off: %lld ms", latency);
        // Two periods, and the one command's own round trip.
        QVERIFY2(latency <= 3 * Period, qPrintable(QString::number(latency)));
        QTRY_VERIFY(!w->outputOn());
        const QString since = ask("EVT?");
        QVERIFY2(since.contains(",limit-breach,1,program,\"CH1 current") && since.contains(",set,1,script,"),
                 qPrintable(since));
        QCOMPARE(ask("EVT?"), QString("0"));

        QCOMPARE(ask("REC:STOP"), QString("OK"));
        const QList<RecordEvent> recorded = w->timeline().shownEvents();
        QVERIFY(recorded.size() >= 5);
        QCOMPARE(graph->marks().events().size(), recorded.size());
        // The text a mark shows on hover: every event at about its time.
        const GraphMarks::Event &probe = graph->marks().events().at(recorded.indexOf(*std::find_if(
            recorded.begin(), recorded.end(), [](const RecordEvent &e) { return e.kind == RecordEvent::Kind::Mark; })));
        QVERIFY(graph->marks().textAt(probe.days).contains("probe moved"));
        QVERIFY(!graph->marks().textAt(probe.days + 1).contains("probe moved"));
        const QString recNo = ask("REC:SAVE \"timeline\"");
        QVERIFY2(recNo.toInt() > 0, qPrintable(recNo));
        QVERIFY(graph->lstWave->findItems("CH1 ", Qt::MatchStartsWith).size() >= 1);

        // Loaded again: the same events, listed and marked, and the totals.
        const QList<ChannelTotal> totals = w->timeline().shownTotals();
        table->ClearData();
        QVERIFY(ask("REC:LOAD " + recNo).toInt() > 0);
        QCOMPARE(w->timeline().shownEvents(), recorded);
        QCOMPARE(w->timeline().shownTotals(), totals);
        QCOMPARE(table->lstEvents->count(), recorded.size());
        QCOMPARE(graph->marks().events().size(), recorded.size());

        // A record of a program without events loads as before.
        QSqlQuery drop(QSqlDatabase::database(DataForm::ConnectionName));
        QVERIFY(drop.exec("drop table recordevents") && drop.exec("drop table recordtotals"));
        const QString rows = ask("REC:LOAD " + recNo);
        QVERIFY(rows.toInt() > 0);
        QVERIFY(w->timeline().shownEvents().isEmpty());
        QCOMPARE(table->lstEvents->count(), 0);
        QVERIFY(table->lstEvents->isHidden());
    }

    // A script's watchdog: silence after WDOG, or leaving without WDOG 0,
    // switches the output off, puts it on the timeline and says so; a
    // client that keeps talking, or ends with WDOG 0, leaves it on.
    void watchdogSwitchesTheOutputOff()
    {
        startSim({"--model", "KMA-3303T", "--no-noise"});
        connectSerial();
        const auto client = [&] { return portClient(); };
        const auto ask = &TestEndToEnd::askPort;
        const auto offs = [&] { return sim->received().filter(":OUTP:STAT 0").size(); };
        QStringList told;
        connect(w->statusBar(), &QStatusBar::messageChanged, this, [&](const QString &text) { told.append(text); });
        const auto toldOf = [&](const QString &part) { return !told.filter(part).isEmpty(); };
        std::unique_ptr<QTcpSocket> script = client();
        QVERIFY(script);
        QCOMPARE(ask(*script, "WDOG -1"), QString("ERR expected seconds from 0 to 3600"));
        QCOMPARE(ask(*script, "OUTP ON"), QString("OK"));

        // Talking every 0.5 s keeps a 1 s watchdog quiet; WDOG 0 ends it.
        QCOMPARE(ask(*script, "WDOG 1"), QString("OK"));
        const qsizetype offsBefore = offs();
        for (int i = 0; i < 5; ++i) {
            QTest::qWait(500);
            QCOMPARE(ask(*script, "STAT?"), QString("3"));
        }
        QCOMPARE(ask(*script, "WDOG 0"), QString("OK"));
        QTest::qWait(1500);
        QCOMPARE(offs(), offsBefore);
        QVERIFY(w->outputOn());

        // WDOG 2, then silence: off within 3 s.
        QCOMPARE(ask(*script, "WDOG 2"), QString("OK"));
        QElapsedTimer silence;
        silence.start();
        QTRY_VERIFY_WITH_TIMEOUT(offs() > offsBefore, 5000);
        QVERIFY2(silence.elapsed() <= 3000, qPrintable(QString::number(silence.elapsed())));
        QTRY_VERIFY(!w->outputOn());
        QTRY_VERIFY2(toldOf("Watchdog: no line from a control-port client for 2 s; outputs switched off"),
                     qPrintable(told.join(" | ")));

        // Leaving with the watchdog armed trips it too; another client's
        // watchdog is its own.
        QCOMPARE(ask(*script, "OUTP ON"), QString("OK"));
        QCOMPARE(ask(*script, "WDOG 30"), QString("OK"));
        std::unique_ptr<QTcpSocket> monitor = client();
        QVERIFY(monitor);
        QCOMPARE(ask(*monitor, "WDOG 60"), QString("OK"));
        const qsizetype offsThen = offs();
        script->disconnectFromHost();
        QTRY_VERIFY(offs() > offsThen);
        QTRY_VERIFY(toldOf("left without WDOG 0"));
        QCOMPARE(ask(*monitor, "WDOG 0"), QString("OK"));
    }

    // With reconnection on, a lost link opens no box: the recording goes on
    // with gaps, the same instrument is taken up again and read, nothing is
    // sent back, and the timeline tells when the link went and came back.
    // Another instrument on the same link is not taken up, and why is said.
    void lostLinkIsTakenUpAgainByItself()
    {
        ReconnectPolicy{true, 1, 0}.save(platform::settings());
        startSim({"--model", "KMA-3303T", "--serial", "SN-A"});
        connectSerial();
        w->setPolling(PollingChoice{true, 250});
        const std::unique_ptr<QTcpSocket> client = portClient();
        QVERIFY(client);
        const auto ask = [&](const QString &line) { return askPort(*client, line); };
        QStringList told;
        connect(w->statusBar(), &QStatusBar::messageChanged, this, [&](const QString &text) { told.append(text); });
        const auto toldOf = [&](const QString &pattern) { return !told.filter(QRegularExpression(pattern)).isEmpty(); };
        QCOMPARE(ask("VOLT 1,5"), QString("OK"));
        QCOMPARE(ask("OUTP ON"), QString("OK"));
        QCOMPARE(ask("REC:SETUP 0,0,5,0,0,0"), QString("OK"));
        QCOMPARE(ask("REC:STAR FORCE"), QString("OK"));
        const QPointer<frmDataTable> table = w->tableRecorder();
        QTRY_VERIFY_WITH_TIMEOUT(table->iCurrentRow >= 3, 10000);

        const QString link = sim->link();
        sim->kill();
        QTRY_VERIFY2(toldOf(R"(^Link lost \d\d:\d\d:\d\d, reconnecting \(try 1\)$)"), qPrintable(told.join(" | ")));
        QCOMPARE(ask("VOLT 1,6"), QString("ERR link lost"));
        const int rowsAtLoss = table->iCurrentRow;
        QTRY_VERIFY_WITH_TIMEOUT(toldOf(R"(reconnecting \(try 2\)$)") && table->iCurrentRow >= rowsAtLoss + 2, 20000);
        QCOMPARE(w->MainFormState, 3);

        // The same instrument comes back on the same path, set at its front.
        fx->scriptRealRun(); // the panel's reading of the instrument
        SimProcess again;
        QVERIFY(again.start({"--model", "KMA-3303T", "--serial", "SN-A", "--no-noise"}, link));
        QVERIFY(again.control("set volt 1 7"));
        QTRY_VERIFY_WITH_TIMEOUT(toldOf(R"(^Link back \d\d:\d\d:\d\d after \d+ tries \(lost )"), 10000);
        QTRY_VERIFY(ask("VOLT? 1").startsWith("7.0")); // the supply's own setting, read, not sent
        QVERIFY(again.control("output on"));
        QTRY_VERIFY_WITH_TIMEOUT(w->outputOn(), 5000);
        const int rowsBack = table->iCurrentRow;
        QTRY_VERIFY_WITH_TIMEOUT(table->iCurrentRow >= rowsBack + 3, 10000);
        QVERIFY2(fx->boxes.shown().isEmpty(), qPrintable(fx->boxes.texts().join(u'|')));
        QVERIFY(table->isRecording());
        const QStringList commands = again.received().filter(QRegularExpression("[^?]$"));
        QVERIFY2(commands.isEmpty(), qPrintable(commands.join(u'|')));

        // Rows of the outage are gaps: readings before, blanks, readings after.
        QSqlQuery q(QSqlDatabase::database(DataForm::ConnectionName));
        QString shape;
        const auto rowShape = [&] {
            shape.clear();
            if (q.exec("select coalesce(PVal, '') from datatemp order by SeqNo"))
                while (q.next())
                    shape += q.value(0).toString().isEmpty() ? u'_' : u'v';
            return shape;
        };
        QTRY_VERIFY2_WITH_TIMEOUT(QRegularExpression("^v+_{2,}v{3,}$").match(rowShape()).hasMatch(), qPrintable(shape),
                                  10000);
        QList<RecordEvent::Kind> linkEvents;
        for (const RecordEvent &event : w->timeline().events().events())
            if (event.kind == RecordEvent::Kind::LinkLost || event.kind == RecordEvent::Kind::LinkBack)
                linkEvents.append(event.kind);
        QCOMPARE(linkEvents, (QList{RecordEvent::Kind::LinkLost, RecordEvent::Kind::LinkBack}));
        QCOMPARE(table->lstEvents->findItems("Link lost", Qt::MatchContains).size(), 1);
        QCOMPARE(table->lstEvents->findItems("Link back", Qt::MatchContains).size(), 1);

        // Another supply of the same model on that path is not taken up.
        const qsizetype toldBefore = told.size();
        again.kill();
        QTRY_VERIFY_WITH_TIMEOUT(!told.mid(toldBefore).filter("reconnecting (try 1)").isEmpty(), 5000);
        SimProcess other;
        QVERIFY(other.start({"--model", "KMA-3303T", "--serial", "SN-B", "--no-noise"}, link));
        QTRY_VERIFY_WITH_TIMEOUT(w->MainFormState == 0, 10000);
        QTRY_VERIFY2(toldOf("^Reconnection stopped: the KMA-3303T there has serial number SN-B, not SN-A$"),
                     qPrintable(told.join(" | ")));
        QCOMPARE(other.received(), QStringList{"*IDN?"});
        QVERIFY(fx->boxes.shown().isEmpty());
        QVERIFY(!table || !table->isRecording());
        QVERIFY(q.exec("select count(*) from datatemp") && q.next() && q.value(0).toInt() >= shape.size());
        QVERIFY(w->startPage()->findChild<QLabel *>("lblDetail")->text().contains("serial number SN-B"));
    }

    // Publishing from the main window: a broker that is not there yet is a
    // status-line message and a retry; once it is, the instrument's state,
    // readings, events and marks arrive on the documented topics. Set
    // commands from the broker are refused until the settings allow them,
    // and then checked as the control port checks them.
    void publishesToTheLabBroker()
    {
        if (MosquittoBroker::program().isEmpty())
            QSKIP("mosquitto is not installed");
        MosquittoBroker broker;
        const quint16 port = MosquittoBroker::freePort();
        MqttSettings mqtt;
        mqtt.enabled = true;
        mqtt.host = "127.0.0.1";
        mqtt.port = port;
        mqtt.bench = "bench7";
        mqtt.save(platform::settings());
        QStringList told;
        startSim({"--model", "KMA-3303T"});
        connect(w->statusBar(), &QStatusBar::messageChanged, this, [&](const QString &text) { told.append(text); });
        const auto toldOf = [&](const QString &part) { return !told.filter(part).isEmpty(); };
        QTRY_VERIFY2_WITH_TIMEOUT(toldOf("MQTT broker 127.0.0.1:" + QString::number(port) + " not reachable"),
                                  qPrintable(told.join(" | ")), 10000);
        QVERIFY(broker.start({}, port));
        TopicReader reader;
        QVERIFY(reader.start(port));
        QTRY_VERIFY_WITH_TIMEOUT(toldOf("MQTT connected to 127.0.0.1:" + QString::number(port)), 15000);
        // The instrument is published once identified, not only when the
        // broker connects.
        QVERIFY(sim->control("load 1 10"));
        connectSerial();
        w->setPolling(PollingChoice{true, 250});

        const QString at = "qle/bench7/";
        const auto payloadIs = [](const QByteArray &payload) {
            return [payload](const TopicReader::Message &m) { return m.payload == payload; };
        };
        const auto json = [](const std::optional<TopicReader::Message> &m) {
            return m ? QJsonDocument::fromJson(m->payload).object() : QJsonObject();
        };
        QVERIFY(reader.waitFor(at + "status", payloadIs("online")));
        QCOMPARE(json(reader.waitFor(at + "instrument")).value("model").toString(), QString("KMA-3303T"));
        QVERIFY(reader.waitFor(at + "ch3/set"));
        const std::unique_ptr<QTcpSocket> client = portClient();
        QVERIFY(client);
        QCOMPARE(askPort(*client, "VOLT 1,5"), QString("OK"));
        QCOMPARE(askPort(*client, "OUTP ON"), QString("OK"));
        const std::optional<TopicReader::Message> on = reader.waitFor(at + "output", payloadIs("on"));
        QVERIFY(on && on->retained);
        QVERIFY(reader.waitFor(at + "ch1/set", [](const TopicReader::Message &m) {
            return QJsonDocument::fromJson(m.payload).object().value("voltage").toDouble() == 5;
        }));
        const QJsonObject measured = json(reader.waitFor(at + "ch1/measured", [](const TopicReader::Message &m) {
            return QJsonDocument::fromJson(m.payload).object().value("voltage").toDouble() > 4.9;
        }));
        QVERIFY(qAbs(measured.value("current").toDouble() - 0.5) < 0.01);
        QVERIFY(RecordEvent::fromIsoTime(measured.value("time").toString()).isValid());
        const QJsonObject set = json(reader.waitFor(at + "events", [](const TopicReader::Message &m) {
            return m.qos == 1 && QJsonDocument::fromJson(m.payload).object().value("kind") == "set";
        }));
        QCOMPARE(set.value("source").toString(), QString("script"));
        QCOMPARE(set.value("channel").toInt(), 1);
        // A retained topic is published again only when its payload changes.
        const QList<TopicReader::Message> sets = reader.on(at + "ch1/set");
        for (qsizetype i = 1; i < sets.size(); ++i)
            QVERIFY2(sets.at(i).payload != sets.at(i - 1).payload, sets.at(i).payload.constData());

        // A mark on the recording's timeline is published with its text.
        QCOMPARE(askPort(*client, "REC:SETUP 0,0,5,0,0,0"), QString("OK"));
        QCOMPARE(askPort(*client, "REC:STAR FORCE"), QString("OK"));
        QVERIFY(w->timeline().mark("probe moved"));
        QCOMPARE(json(reader.waitFor(at + "events",
                                     [](const TopicReader::Message &m) {
                                         return QJsonDocument::fromJson(m.payload).object().value("kind") == "mark";
                                     }))
                     .value("text")
                     .toString(),
                 QString("probe moved"));

        // Commands: refused by default, then taken with the port's checks.
        const auto command = [&](const QByteArray &line) -> QString {
            const qsizetype before = reader.on(at + "command/reply").size();
            if (!TopicReader::publish(port, at + "command", line))
                return "<not published>";
            if (!QTest::qWaitFor([&] { return reader.on(at + "command/reply").size() > before; }, 10000))
                return "<no reply>";
            return QString::fromUtf8(reader.on(at + "command/reply").last().payload);
        };
        QCOMPARE(command("VOLT 1,7"), QString("ERR commands not allowed on this bench"));
        QVERIFY(sim->received().filter(":CHAN1:VOLT 7").isEmpty());
        mqtt.allowCommands = true;
        mqtt.save(platform::settings());
        w->mqtt().apply(MqttSettings::load(platform::settings()));
        QVERIFY(reader.waitFor(at + "status", payloadIs("online")));
        QTRY_VERIFY_WITH_TIMEOUT(w->mqtt().client() && w->mqtt().client()->isConnected(), 10000);
        QCOMPARE(command("VOLT 1,7"), QString("OK"));
        QTRY_COMPARE(askPort(*client, "VOLT? 1"), QString("7.00"));
        QCOMPARE(command("VOLT 1,99"), QString("ERR out of range 0 to 30"));
        QCOMPARE(command("REC:STOP"), QString("ERR not a set command"));
        QVERIFY(w->tableRecorder()->isRecording());
    }

    // A settings dialog confirmed after the link was lost sends nothing and
    // adds no box to the one that told of the loss.
    void dialogConfirmedAfterALostLinkSendsNothing()
    {
        startSim({"--model", "KMA-3303T"});
        connectSerial();
        const QString link = sim->link();
        bool lostWhileOpen = false;
        fx->dialogs.script([&](QDialog &) {
            sim->kill();
            lostWhileOpen = QTest::qWaitFor([&] { return w->MainFormState == 0; }, 5000);
            return int(QDialog::Accepted);
        });
        w->mnuSaveMemory_Click();
        QVERIFY(lostWhileOpen);
        QTest::qWait(300);
        QCOMPARE(fx->boxes.texts(), QStringList{"Operation Timeout, Causes Reset Now.\nThe serial port " + link +
                                                " was closed or removed."});
        // Anything still queued afterwards is refused, not written.
        w->engine().ExecCmdTask(":CHAN1:VOLT 1", 0, nullptr, QString(), 1, false);
        QCOMPARE(w->engine().CmdTaskCount, 0);

        // The start page tells what happened and offers the link again.
        StartPage *page = w->startPage();
        QTRY_VERIFY(page->isVisibleTo(w.get()));
        QVERIFY2(page->lblHeadline->text().startsWith("The link to KMA-3303T on " + link),
                 qPrintable(page->lblHeadline->text()));
        QCOMPARE(page->lblDetail->text(), "The serial port " + link + " was closed or removed.");
        QVERIFY(page->cmdConnect->isVisibleTo(w.get()));
        QVERIFY(page->cmdConnect->text().startsWith("Connect to KMA-3303T on " + link));
        QCOMPARE(w->windowTitle(), QString("QLE"));
    }

    // Live: the panel follows what is changed at the instrument within two
    // periods, keeps what the user is typing, and sees a protection trip.
    void liveFollowsTheInstrument()
    {
        constexpr int Period = 1000;
        startSim({"--model", "KMA-3303T"});
        w->setPolling({true, Period});
        QVERIFY(w->toolbar().liveButton()->isChecked());
        connectSerial();
        auto *panel = qobject_cast<frmLayout1 *>(w->currentPanel());
        QVERIFY(panel);
        // The state is asked for with the output off too; readings stay blank.
        QVERIFY(w->QueryTimer.isActive());
        QCOMPARE(w->QueryTimer.interval(), Period);
        QCOMPARE(panel->outputStateLabel()->text(), QString("OFF"));
        // Commands sent so far: the initial read's own output and coupling.
        const auto commandsSent = [&] {
            return sim->received().filter(QRegularExpression("^:(CHAN2:VOLT|OUTP:STAT|OUTP:COUP:TRAC) ")).size();
        };
        const qsizetype sentAtStart = commandsSent();
        // The instrument's model follows too, and knows who changed what.
        QList<std::pair<int, ChangeSource>> voltageChanges;
        connect(&w->model(), &Instrument::settingChanged, this,
                [&](int ch, ChannelSetting setting, ChangeSource source) {
                    if (setting == ChannelSetting::Voltage)
                        voltageChanges.append({ch, source});
                });

        QVERIFY(sim->control("set volt 2 5"));
        QTRY_COMPARE_WITH_TIMEOUT(panel->channel(1).numVoltage->Value(), 5.0, 2 * Period);
        QCOMPARE(w->model().channel(1).setVoltage, std::optional(5.0));
        QVERIFY(voltageChanges.contains(std::pair(1, ChangeSource::Instrument)));
        QVERIFY(sim->control("output on"));
        QTRY_VERIFY_WITH_TIMEOUT(panel->outputButton()->Value(), 2 * Period);
        QVERIFY(w->menu().mnuOutput->isChecked());
        QCOMPARE(panel->outputStateLabel()->text(), QString("ON"));
        QTRY_VERIFY_WITH_TIMEOUT(!panel->voltageText(1).isEmpty(), 2 * Period);
        QCOMPARE(w->model().output(), std::optional(true));
        QTRY_VERIFY(w->model().channel(1).voltage.has_value());
        QCOMPARE(w->model().channel(1).voltage->value, 5.0);
        QVERIFY(sim->control("coupling track"));
        QTRY_VERIFY_WITH_TIMEOUT(panel->optTrack->isChecked(), 2 * Period);
        QVERIFY(w->menu().mnuTrack->isChecked());
        QVERIFY(!panel->channel(0).numVoltage->isEnabled());
        // Following sends nothing back to the instrument.
        QCOMPARE(commandsSent(), sentAtStart);

        // A value being typed is not overwritten; once entered, it is sent.
        w->show();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QAbstractSpinBox *spin = panel->channel(2).numVoltage->spinBox();
        spin->setFocus();
        QTRY_VERIFY(spin->hasFocus());
        spin->selectAll();
        QTest::keyClicks(spin, "4.25");
        QVERIFY(sim->control("set volt 3 2"));
        const auto asked = [&] { return sim->received().filter(":CHAN3:VOLT?").size(); };
        const qsizetype before = asked();
        QTRY_VERIFY_WITH_TIMEOUT(asked() >= before + 2, 4 * Period);
        QCOMPARE(spin->text(), QString("4.25"));
        QTest::keyClick(spin, Qt::Key_Return);
        QTRY_VERIFY(sim->received().contains(":CHAN3:VOLT 4.25"));
        QCOMPARE(panel->channel(2).numVoltage->Value(), 4.25);
        QCOMPARE(w->model().channel(2).setVoltage, std::optional(4.25));
        QCOMPARE(voltageChanges.last(), std::pair(2, ChangeSource::User));

        // A trip switches the output off at the instrument: the panel follows
        // and says so, and no output command goes out.
        const qsizetype outputCommands = sim->received().filter(":OUTP:STAT ").size();
        QVERIFY(sim->control("trip ovp 1"));
        QTRY_VERIFY_WITH_TIMEOUT(!panel->outputButton()->Value(), 2 * Period);
        QVERIFY(!w->menu().mnuOutput->isChecked());
        QCOMPARE(panel->outputStateLabel()->text(), QString("OFF"));
        w->StatusTimer_Timer();
        QCOMPARE(w->statusText(), QString("Output switched off by the instrument"));
        QCOMPARE(sim->received().filter(":OUTP:STAT ").size(), outputCommands);
        QTRY_VERIFY(panel->voltageText(0).isEmpty());
        QCOMPARE(w->model().output(), std::optional(false));
        QVERIFY(!w->model().channel(0).voltage);
        QVERIFY(fx->boxes.shown().isEmpty());

        // Back to Classic: the timer runs only with the output on, every 3 s.
        w->toggleLivePolling();
        QVERIFY(!w->toolbar().liveButton()->isChecked());
        QVERIFY(!w->QueryTimer.isActive());
        QCOMPARE(w->QueryTimer.interval(), 3000);
        QCOMPARE(setting("Polling", "Mode"), QString("Classic"));
        QCOMPARE(w->engine().QueryCmdCnt, qint16(frmLayout1::PollSteps));
    }

    // The legacy family: the status word tells output and coupling.
    void liveFollowsTheLegacyStatusWord()
    {
        startSim({"--model", "QLE-5505"});
        w->setPolling({true, 250});
        connectSerial();
        auto *panel = qobject_cast<frmLayout3 *>(w->currentPanel());
        QVERIFY(panel);
        const qsizetype couplingSent = sim->received().filter("TRACK").size();
        QVERIFY(sim->control("set volt 2 7"));
        QTRY_COMPARE_WITH_TIMEOUT(panel->channel(1).numVoltage->Value(), 7.0, 2000);
        QVERIFY(sim->control("output on"));
        QTRY_VERIFY_WITH_TIMEOUT(w->menu().mnuOutput->isChecked(), 2000);
        QTRY_COMPARE_WITH_TIMEOUT(panel->voltageText(1), QString("7.000"), 2000);
        QVERIFY(sim->control("coupling parallel"));
        QTRY_VERIFY_WITH_TIMEOUT(panel->optParal->isChecked(), 2000);
        QVERIFY(w->menu().mnuParallel->isChecked());
        QCOMPARE(sim->received().filter("TRACK").size(), couplingSent);
        QVERIFY(fx->boxes.shown().isEmpty());
    }
};

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
