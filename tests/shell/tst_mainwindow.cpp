#include "comm/CommTasker.h"
#include "panels/frmLayout1.h"
#include "platform/Platform.h"
#include "platform/SettingsStore.h"
#include "platform/widgets/CWButton.h"
#include "platform/widgets/CWNumEdit.h"
#include "recording/table/frmDataTable.h"
#include "shell/FrmProxy.h"
#include "shell/MainMenu.h"
#include "shell/MainToolbar.h"
#include "shell/StartPage.h"
#include "ShellFixture.h"

#include "TraceRecorder.h"
#include <QLabel>
#include <QPushButton>

#include <QAction>
#include <QMenu>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStatusBar>
#include <QSysInfo>

using namespace qle;
using namespace qle::testing;

class TestMainWindow : public QObject {
    Q_OBJECT

private:
    QTemporaryDir config;
    std::unique_ptr<ShellFixture> fx;

    static QStringList captions(const QList<QAction *> &items)
    {
        QStringList texts;
        for (const QAction *item : items)
            texts.append(item->text());
        return texts;
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
    void cleanup() { fx.reset(); }

    void startsIdle()
    {
        auto w = fx->makeWindow();
        QCOMPARE(w->Start(), MDIForm1::StartResult::Ready);
        QCOMPARE(w->windowTitle(), QString("QLE"));
        QCOMPARE(w->MainFormState, 0);
        w->StatusTimer_Timer();
        QCOMPARE(w->statusText(), QString("Setup"));
        MainMenu &m = w->menu();
        QVERIFY(m.mnuRS232->isEnabled());
        QVERIFY(m.mnuGPIB->isEnabled());
        for (QAction *item : {m.mnuOutput, m.mnuSaveMemory, m.mnuDelay, m.mnuAutoRun, m.mnuControl, m.mnuWave,
                              m.mnuClearErrorOfProtection, m.mnuRecord->menuAction()})
            QVERIFY2(!item->isEnabled(), qPrintable(item->objectName()));
        QVERIFY(m.mnuIndep->isChecked());
        MainToolbar &t = w->toolbar();
        for (const QString &key : MainToolbar::keys()) {
            const bool enabled = key == "GPIB" || key == "RS232" || key == "OnOffLine" || key == "About";
            QCOMPARE(t.isEnabled(key), enabled);
        }
        QVERIFY(t.isPressed("OnOffLine"));
        QCOMPARE(t.button("OnOffLine")->toolTip(), QString("Off line"));
        QVERIFY(!w->engine().MSComm1.isOpen());
    }

    // The window opens where it was closed; File > Exit ends the program
    // even while another top-level window (the trace) is open.
    void placeIsKeptAndExitClosesEveryWindow()
    {
        QPoint closedAt;
        {
            auto w = fx->makeWindow();
            QCOMPARE(w->Start(), MDIForm1::StartResult::Ready);
            w->show();
            w->move(123, 45);
            QTRY_COMPARE(w->pos(), QPoint(123, 45));
            QWidget report;
            report.show();
            w->mnuExit_Click();
            QVERIFY(!w->isVisible());
            QVERIFY(!report.isVisible());
            closedAt = w->pos();
        }
        QCOMPARE(platform::settings().GetSetting("MainWindow", "Left", QString()), QString::number(closedAt.x()));
        auto again = fx->makeWindow();
        QCOMPARE(again->Start(), MDIForm1::StartResult::Ready);
        QCOMPARE(again->pos(), closedAt);
        again.reset(); // one window on a data folder at a time
        // A place on no screen (a monitor that has gone) is not taken.
        platform::settings().SaveSetting("MainWindow", "Left", "-50000");
        auto elsewhere = fx->makeWindow();
        QCOMPARE(elsewhere->Start(), MDIForm1::StartResult::Ready);
        QVERIFY(elsewhere->pos().x() > -50000);
    }

    void familyMenusListOfferedModelsByThirdLetter()
    {
        auto w = fx->makeWindow();
        QCOMPARE(w->Start(), MDIForm1::StartResult::Ready);
        QCOMPARE(captions(w->menu().mnuKMAItem), (QStringList{"KMA-3303T", "KMA-3005"}));
        QCOMPARE(captions(w->menu().mnuKMBItem), (QStringList{"KMB-3203T", "KMB-6001"}));
        QCOMPARE(captions(w->menu().mnuKMCItem), (QStringList{"KMC-3303T", "KMC-0505"}));
        QCOMPARE(captions(w->menu().mnuQLEItem), (QStringList{"QLE-3303T", "QLE-3003", "QLE-5505"}));
        QVERIFY(!w->SetupMenuMachineTypes());
        w->MachineType = "KMB-6001";
        QVERIFY(w->SetupMenuMachineTypes());
        QVERIFY(w->menu().mnuKMBItem.at(1)->isChecked());
        QVERIFY(!w->menu().mnuKMBItem.at(0)->isChecked());
        // Item arrays are created once.
        QCOMPARE(w->menu().mnuQLE->actions().size(), 3);
    }

    void missingCatalogueEndsTheProgram()
    {
        QFile::remove(fx->data.filePath("mtype.mdb"));
        auto w = fx->makeWindow();
        QCOMPARE(w->Start(), MDIForm1::StartResult::CatalogueMissing);
        QCOMPARE(fx->boxes.shown().size(), 1);
        const QString folder = QDir::toNativeSeparators(fx->data.path());
        QCOMPARE(fx->boxes.shown().at(0).text, "System cannot find [" + folder + QDir::separator() + "mtype.mdb].\r\n" +
                                                   " Please copy mtype.mdb to [" + folder + QDir::separator() +
                                                   "] directory.");
        QCOMPARE(fx->boxes.shown().at(0).icon, IMessageBox::Icon::Critical);
    }

    void cancellingTheLinkDialogChangesNothing()
    {
        auto w = fx->makeWindow();
        w->Start();
        fx->dialogs.script([](QDialog &) { return QDialog::Rejected; });
        w->mnuRS232_Click();
        QCOMPARE(fx->dialogs.shownTitles, QStringList{"Config RS232"});
        QCOMPARE(w->MainFormState, 0);
        QCOMPARE(w->engine().QueryTaskCount, 0);
        QVERIFY(w->menu().mnuRS232->isEnabled());
        QVERIFY(fx->boxes.shown().isEmpty());

        fx->dialogs.script([](QDialog &) { return QDialog::Rejected; });
        w->mnuUSB_Click();
        QCOMPARE(fx->dialogs.shownTitles.last(), QString("Config USB"));
        QCOMPARE(w->rs232Dialog().windowTitle(), QString("Config RS232"));
        QCOMPARE(w->MainFormState, 0);
    }

    void testingModeOpensThePanelWithoutTheInstrument()
    {
        auto w = fx->makeWindow();
        w->Start();
        w->menu().mnuKMAItem.at(0)->trigger();
        QCOMPARE(w->MainFormState, 3);
        QCOMPARE(w->windowTitle(), QString("KMA-3303T"));
        QCOMPARE(setting("Common", "CommType"), QString("Menu"));
        QCOMPARE(setting("Common", "MType"), QString("KMA-3303T"));
        QVERIFY(w->menu().mnuKMAItem.at(0)->isChecked());
        QVERIFY(w->engine().IsRejectAnyTask);
        QVERIFY(!w->engine().ExecQueryTask("*IDN?", 5, w.get(), "DevSetupMachineType", 1, false));
        QVERIFY(qobject_cast<frmLayout1 *>(w->currentPanel()));
        QCOMPARE(w->LayoutType, 1);
        QVERIFY(fx->dialogs.shownTitles.isEmpty()); // no initial-read dialog
        QVERIFY(w->menu().mnuOutput->isEnabled());
        QVERIFY(!w->menu().mnuRS232->isChecked());
        QVERIFY(w->toolbar().isPressed("OnOffLine"));
        w->StatusTimer_Timer();
        QCOMPARE(w->statusText(), QString("Ready"));

        // Output on in testing mode: menus, toolbar and panel follow, no polling.
        w->mnuOutput_Click();
        QVERIFY(w->menu().mnuOutput->isChecked());
        QVERIFY(w->menu().mnuRecord->menuAction()->isEnabled());
        QVERIFY(w->toolbar().isPressed("Output"));
        QVERIFY(static_cast<frmLayout1 *>(w->currentPanel())->outputButton()->isChecked());
        QVERIFY(!w->QueryTimer.isActive());
        QCOMPARE(w->currentPanel()->voltageText(0), QString());
    }

    void reopeningAsksFirst()
    {
        auto w = fx->makeWindow();
        w->Start();
        w->Setup("Menu", "KMB-3203T", false);
        QCOMPARE(w->MachineType, QString("KMB-3203T"));
        fx->boxes.script(IMessageBox::Answer::No);
        w->Setup("Menu", "KMA-3303T", false);
        QCOMPARE(fx->boxes.shown().last().text, QString("Reset and open it?"));
        QCOMPARE(fx->boxes.shown().last().title, QString("REOPEN?"));
        QCOMPARE(fx->boxes.shown().last().buttons, IMessageBox::Buttons::YesNo);
        QCOMPARE(w->MachineType, QString("KMB-3203T"));
        QCOMPARE(w->MainFormState, 3);
        fx->boxes.script(IMessageBox::Answer::Yes);
        w->Setup("Menu", "KMA-3303T", false);
        QCOMPARE(w->MachineType, QString("KMA-3303T"));
        QCOMPARE(w->MainFormState, 3);
    }

    void identifiesOverSerialAndReadsThePanel()
    {
        ScriptedInstrument instrument;
        instrument.replies["*IDN?"] = "QV Instruments,KMA-3303T,SN000123,1.0";
        instrument.replies[":CHAN2:VOLT?"] = "12.000";
        instrument.replies[":OUTP:STAT?"] = "0";
        auto w = fx->makeWindow({instrument.path()});
        w->Start();
        fx->scriptSerialOk();
        fx->scriptRealRun(); // the initial-read dialog
        w->mnuRS232_Click();
        QCOMPARE(w->MainFormState, 1);
        QCOMPARE(w->statusText(), QString("Getting the machine type..."));
        QVERIFY(!w->menu().mnuRS232->isEnabled());
        QTRY_COMPARE(w->MainFormState, 3);
        QTRY_VERIFY(w->currentPanel() && w->currentPanel()->isVisibleTo(w.get()));
        QCOMPARE(w->windowTitle(), QString("KMA-3303T"));
        QVERIFY(w->menu().mnuKMAItem.at(0)->isChecked());
        QVERIFY(w->menu().mnuRS232->isChecked());
        QCOMPARE(setting("Common", "CommType"), QString("RS232"));
        QCOMPARE(setting("Common", "MType"), QString("KMA-3303T"));
        QCOMPARE(instrument.received.first(), QString("*IDN?"));
        QCOMPARE(instrument.received.mid(1, 3),
                 (QStringList{":SYST:AUTO:STAR?", ":SYST:AUTO:END?", ":SYST:AUTO:CYCLE?"}));
        QCOMPARE(instrument.received.filter("?").size(), 27);
        // The state replies run through the device operations, which re-send what they report.
        QCOMPARE(instrument.received.filter(QRegularExpression("^[^?]*$")),
                 (QStringList{":OUTP:STAT 0", ":OUTP:COUP:TRAC 0", ":SYST:AUTO:STAT 0", ":OUTP:COUP:TRAC 0"}));
        auto *panel = static_cast<frmLayout1 *>(w->currentPanel());
        QCOMPARE(panel->channel(1).numVoltage->Value(), 12.0);
        QVERIFY(!w->engine().IsRejectAnyTask);
        QCOMPARE(w->engine().QueryCmdMaxMsec, 5000);
        QVERIFY(!w->toolbar().isPressed("OnOffLine"));
        QCOMPARE(w->toolbar().button("OnOffLine")->toolTip(), QString("On line"));
        QVERIFY(fx->boxes.shown().isEmpty());
    }

    void silentInstrumentTimesOut()
    {
        ScriptedInstrument instrument;
        instrument.silent = true;
        auto w = fx->makeWindow({instrument.path()});
        w->Start();
        w->GetMachineTypeTimer.setInterval(100);
        fx->scriptSerialOk();
        w->mnuRS232_Click();
        QTRY_COMPARE(fx->boxes.texts(), QStringList{"Querying the machine type is timeout!"});
        QCOMPARE(w->MainFormState, 0);
        QVERIFY(w->menu().mnuRS232->isEnabled());
        QVERIFY(!w->engine().hasTimeoutReceiver());

        // The answer comes late: nothing is accepted and nothing else is shown.
        instrument.send("QV Instruments,KMA-3303T,SN1,1.0\n");
        QTest::qWait(300);
        QCOMPARE(w->MainFormState, 0);
        QCOMPARE(fx->boxes.shown().size(), 1);
        QCOMPARE(w->windowTitle(), QString("QLE"));
    }

    void unknownModelIsRefused_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::newRow("not in the catalogue") << "QV Instruments,KMA-1234,SN1,1.0";
        QTest::newRow("no family letter") << "QV Instruments,KMZ-3303T,SN1,1.0";
        QTest::newRow("not offered") << "QV Instruments,KMA-9000,SN1,1.0";
        QTest::newRow("no second comma") << "QV Instruments,KMA-3303T";
    }
    void unknownModelIsRefused()
    {
        QFETCH(QString, reply);
        ScriptedInstrument instrument;
        instrument.replies["*IDN?"] = reply;
        auto w = fx->makeWindow({instrument.path()});
        w->Start();
        fx->scriptSerialOk();
        w->mnuRS232_Click();
        QTRY_COMPARE(fx->boxes.texts(), QStringList{"Querying the machine type is timeout!"});
        QCOMPARE(w->MainFormState, 0);
        QVERIFY(!w->currentPanel());
    }

    void proxyTextIsTakenAsAReply()
    {
        auto w = fx->makeWindow();
        w->Start();
        w->MainFormState = 1;
        w->CommType = "RS232";
        w->proxy().setProperty("txtSetupMachineType", "QV Instruments,KMC-0505,SN1,1.0");
        QCOMPARE(w->MachineType, QString("KMC-0505"));
        QCOMPARE(w->statusText(), QString("QV Instruments,KMC-0505,SN1,1.0"));
        QVERIFY(w->engine().DevTimer.isActive());
    }

    void statusLine()
    {
        auto w = fx->makeWindow();
        w->Start();
        w->StatusTimer.stop();
        w->ReportStatus("Read Times Failed!", 2000);
        for (int i = 0; i < 20; ++i) {
            w->StatusTimer_Timer();
            QCOMPARE(w->statusText(), QString("Read Times Failed!"));
        }
        w->StatusTimer_Timer();
        QCOMPARE(w->statusText(), QString("Setup"));
        w->ReportStatus("nothing", 0);
        w->StatusTimer_Timer();
        QCOMPARE(w->statusText(), QString("Setup"));
        w->ReportStatus("x", -5);
        w->StatusTimer_Timer();
        QCOMPARE(w->statusText(), QString("Setup"));

        w->MainFormState = 1;
        w->AliveNumber = 998;
        w->StatusTimer_Timer();
        QCOMPARE(w->statusText(), "Getting the machine type..." + QString(999 % 30, u'*'));
        w->StatusTimer_Timer();
        QCOMPARE(w->statusText(), QString("Getting the machine type..."));
        w->MainFormState = 7;
        w->StatusTimer_Timer();
        QCOMPARE(w->statusText(), QString());
    }

    // Running, the status line's timer rests once its text stands, and wakes
    // for a report, a new state, or a message put there from elsewhere (a
    // menu's status tip clears it).
    void statusLineTimerRests()
    {
        auto w = fx->makeWindow();
        w->Start();
        QTRY_VERIFY(!w->StatusTimer.isActive());
        QCOMPARE(w->statusText(), QString("Setup"));
        w->ReportStatus("Read Times Failed!", 300);
        QVERIFY(w->StatusTimer.isActive());
        QTRY_COMPARE(w->statusText(), QString("Read Times Failed!"));
        QTRY_COMPARE(w->statusText(), QString("Setup"));
        QTRY_VERIFY(!w->StatusTimer.isActive());
        w->statusBar()->clearMessage();
        QVERIFY(w->StatusTimer.isActive());
        QTRY_COMPARE(w->statusText(), QString("Setup"));
        w->Setup("Menu", "KMA-3303T", false);
        QTRY_COMPARE(w->statusText(), QString("Ready"));
        QTRY_VERIFY(!w->StatusTimer.isActive());
        // Stopped from outside, it stays stopped.
        w->StatusTimer.stop();
        w->StatusTimer_Timer();
        w->ReportStatus("kept", 1000);
        QVERIFY(!w->StatusTimer.isActive());
    }

    void operationTimeoutResets()
    {
        auto w = fx->makeWindow();
        w->Start();
        w->Setup("Menu", "KMA-3303T", false);
        QVERIFY(w->currentPanel());
        w->OperationTimeout();
        QCOMPARE(fx->boxes.shown().last().text, QString("Operation Timeout, Causes Reset Now."));
        QCOMPARE(fx->boxes.shown().last().title, QString("TIMEOUT!"));
        QCOMPARE(w->MainFormState, 0);
        QTRY_VERIFY(!w->currentPanel());
        w->StatusTimer_Timer();
        QCOMPARE(w->statusText(), QString("Setup"));
        QVERIFY(!w->menu().mnuOutput->isEnabled());
        QVERIFY(!w->toolbar().isEnabled("Output"));
    }

    void secondCopyOnTheSameDataIsRefused()
    {
        auto first = fx->makeWindow();
        QCOMPARE(first->Start(), MDIForm1::StartResult::Ready);
        auto second = fx->makeWindow();
        QCOMPARE(second->Start(), MDIForm1::StartResult::DataFolderInUse);
        QCOMPARE(fx->boxes.shown().size(), 1);
        QVERIFY(
            fx->boxes.shown().at(0).text.startsWith("Another copy of this program is already using the data folder"));
        second.reset();
        first->Setup("Menu", "KMA-3303T", false);
        QCOMPARE(first->MainFormState, 3);
        first.reset();

        // A lock left by a copy that is no longer running is taken over.
        QFile stale(fx->data.filePath("mtype.lock"));
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.write("2147483000\nqle\n" + QSysInfo::machineHostName().toUtf8() + "\n");
        stale.close();
        auto third = fx->makeWindow();
        QCOMPARE(third->Start(), MDIForm1::StartResult::Ready);
    }

    void unsavedRowsAreOfferedBack()
    {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "seed");
            db.setDatabaseName(fx->data.filePath("mtype.mdb"));
            QVERIFY(db.open());
            QSqlQuery q(db);
            for (int i = 0; i < 3; ++i)
                QVERIFY(q.exec(QString("insert into datatemp (SeqNo, RecTime, PVal, SVal, Reason, PVal2, SVal2, "
                                       "Reason2, PVal3, SVal3, Reason3, Comment, TimeTick, DiffLastTime) values "
                                       "(%1, '2026/12/08 10:00:0%1', '5.000', '0.500', '1', '', '', '2', '', '', "
                                       "'3', '', %1, 1)")
                                   .arg(i)));
        }
        QSqlDatabase::removeDatabase("seed");

        // A start that connects or takes script commands by itself asks
        // nothing: the rows are kept, and the start page says so.
        {
            auto w = fx->makeWindow({}, true);
            QCOMPARE(w->Start(), MDIForm1::StartResult::Ready);
            QVERIFY(fx->boxes.shown().isEmpty());
            QVERIFY(w->startPage()->lblKept->text().startsWith("3 unsaved rows kept"));
            QVERIFY(!w->startPage()->cmdConnect->isVisibleTo(w.get()));
            // Rows of one channel open recorders of one channel.
            w->viewKeptRows();
            QVERIFY(w->tableRecorder());
            QCOMPARE(w->tableRecorder()->ContrlIdx, 0);
        }

        // No: the rows are cleared.
        {
            fx->boxes.script(IMessageBox::Answer::No);
            auto w = fx->makeWindow();
            QCOMPARE(w->Start(), MDIForm1::StartResult::Ready);
            QCOMPARE(fx->boxes.shown().size(), 1);
            QCOMPARE(fx->boxes.shown().at(0).buttons, IMessageBox::Buttons::YesNo);
            QVERIFY(fx->boxes.shown().at(0).text.startsWith("3 rows of an unsaved recording were found; keep them?"));
            QSqlQuery count(QSqlDatabase::database("mtype"));
            QVERIFY(count.exec("select count(*) from datatemp") && count.next());
            QCOMPARE(count.value(0).toInt(), 0);
        }
    }

    void keptRowsAppearInTheDataTable()
    {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "seed");
            db.setDatabaseName(fx->data.filePath("mtype.mdb"));
            QVERIFY(db.open());
            QSqlQuery q(db);
            for (int i = 0; i < 4; ++i)
                QVERIFY(q.exec(QString("insert into datatemp (SeqNo, RecTime, PVal, SVal, Reason, PVal2, SVal2, "
                                       "Reason2, PVal3, SVal3, Reason3, Comment, TimeTick, DiffLastTime) values "
                                       "(%1, '2026/12/08 10:00:0%1', '5.000', '0.500', '1', '', '', '2', '', '', "
                                       "'3', '', %1, 1)")
                                   .arg(i)));
        }
        QSqlDatabase::removeDatabase("seed");
        fx->boxes.script(IMessageBox::Answer::Yes);
        auto w = fx->makeWindow();
        QCOMPARE(w->Start(), MDIForm1::StartResult::Ready);
        w->Setup("Menu", "KMA-3303T", false);
        QVERIFY(w->tableRecorder());
        QCOMPARE(w->tableRecorder()->iCurrentRow, 4);
        w.reset();

        // Once the same rows are a saved record, nothing is asked.
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "seed");
            db.setDatabaseName(fx->data.filePath("mtype.mdb"));
            QVERIFY(db.open());
            QSqlQuery q(db);
            QVERIFY(q.exec("insert into datadetail select '1', 0, * from datatemp"));
        }
        QSqlDatabase::removeDatabase("seed");
        fx->boxes.clear();
        auto again = fx->makeWindow();
        QCOMPARE(again->Start(), MDIForm1::StartResult::Ready);
        QVERIFY(fx->boxes.shown().isEmpty());
    }

    void neverMaximized()
    {
        auto w = fx->makeWindow();
        w->Start();
        w->show();
        w->showMaximized();
        QTRY_VERIFY(!(w->windowState() & Qt::WindowMaximized));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
