#include "dialogs/frmAbout.h"
#include "panels/Panel.h"
#include "recording/table/frmDataTable.h"
#include "shell/MainMenu.h"
#include "shell/MainToolbar.h"
#include "ShellFixture.h"

#include <QAction>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QStatusBar>
#include <QToolBar>

using namespace qle;
using namespace qle::testing;

class TestMenus : public QObject {
    Q_OBJECT

private:
    QTemporaryDir config;
    std::unique_ptr<ShellFixture> fx;

    static QSize clientSize(MDIForm1 &w) { return w.findChild<QMdiArea *>()->viewport()->size(); }
    static QSize panelFrame(MDIForm1 &w) { return w.currentPanel()->parentWidget()->frameGeometry().size(); }

private slots:
    void initTestCase() { ShellFixture::isolateSettings(config); }
    void init()
    {
        ShellFixture::clearSettings();
        fx = std::make_unique<ShellFixture>();
    }
    void cleanup() { fx.reset(); }

    void layoutStates_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<bool>("gpib");
        QTest::addColumn<bool>("memory");
        QTest::addColumn<bool>("coupling");
        QTest::addColumn<bool>("clearError");
        QTest::addColumn<bool>("readTimesButton");
        QTest::newRow("layout 1") << "KMA-3303T" << true << true << true << true << true;
        QTest::newRow("layout 2") << "KMB-6001" << true << false << false << true << false;
        QTest::newRow("layout 3") << "QLE-5505" << false << false << false << false << false;
    }
    void layoutStates()
    {
        QFETCH(QString, model);
        QFETCH(bool, gpib);
        QFETCH(bool, memory);
        QFETCH(bool, coupling);
        QFETCH(bool, clearError);
        QFETCH(bool, readTimesButton);
        auto w = fx->makeWindow();
        w->Start();
        w->Setup("Menu", model, false);
        MainMenu &m = w->menu();
        QCOMPARE(m.mnuGPIB->isEnabled(), gpib);
        QVERIFY(m.mnuRS232->isEnabled());
        QCOMPARE(m.mnuSaveMemory->isEnabled(), memory);
        QCOMPARE(m.mnuDelay->isEnabled(), memory);
        QVERIFY(m.mnuReadTimes->isEnabled()); // in the menu on every layout
        QCOMPARE(m.mnuParallel->isEnabled(), coupling);
        QCOMPARE(m.mnuAutoRun->isEnabled(), coupling);
        QVERIFY(m.mnuOutput->isEnabled());
        QCOMPARE(m.mnuClearErrorOfProtection->isEnabled(), clearError);
        QVERIFY(m.mnuControl->isEnabled() && m.mnuWave->isEnabled() && m.mnuTableData->isEnabled());
        QVERIFY(!m.mnuRecord->menuAction()->isEnabled());
        QVERIFY(m.mnuIndep->isChecked());
        MainToolbar &t = w->toolbar();
        QCOMPARE(t.isEnabled("GPIB"), gpib);
        QCOMPARE(t.isEnabled("ReadTimes"), readTimesButton);
        QCOMPARE(t.isEnabled("ClearError"), clearError);
        QVERIFY(t.isEnabled("Output"));
        QVERIFY(t.isPressed("OnOffLine")); // testing mode: off line
    }

    void viewCommandsSwitchWindows()
    {
        auto w = fx->makeWindow();
        w->Start();
        w->show();
        w->Setup("Menu", "KMA-3303T", false);
        QVERIFY(w->currentPanel()->isVisible());
        w->mnuTableData_Click();
        QVERIFY(w->tableDataForm1->isVisible());
        QVERIFY(w->tableDataForm1->parentWidget()->isMaximized());
        QVERIFY(!w->currentPanel()->isVisible());
        w->mnuWave_Click();
        QVERIFY(w->waveForm1->isVisible());
        QVERIFY(!w->tableDataForm1->isVisible());
        w->mnuControl_Click();
        QVERIFY(w->currentPanel()->isVisible());
        QVERIFY(!w->waveForm1->isVisible());
    }

    void hidingBarsKeepsThePanelsFit()
    {
        auto w = fx->makeWindow();
        w->Start();
        w->show();
        w->Setup("Menu", "KMA-3303T", false);
        QTRY_COMPARE(clientSize(*w), panelFrame(*w));
        const int height = w->height();
        w->mnuToolbar_Click();
        QVERIFY(!w->toolbar().bar()->isVisible());
        QVERIFY(!w->menu().mnuToolbar->isChecked());
        QTRY_COMPARE(clientSize(*w), panelFrame(*w));
        QVERIFY(w->height() < height);
        w->mnuStatusbar_Click();
        QVERIFY(!w->statusBar()->isVisible());
        QTRY_COMPARE(clientSize(*w), panelFrame(*w));
        w->mnuToolbar_Click();
        w->mnuStatusbar_Click();
        QTRY_COMPARE(clientSize(*w), panelFrame(*w));
        QCOMPARE(w->height(), height);
    }

    void recordStartNeedsAPeriod()
    {
        auto w = fx->makeWindow();
        w->Start();
        w->mnuRecordStart_Click(); // no table recorder yet: nothing
        QVERIFY(fx->boxes.shown().isEmpty());
        w->Setup("Menu", "KMA-3303T", false);
        w->mnuRecordStart_Click();
        QCOMPARE(fx->boxes.texts(), QStringList{"Please Setup Record the period first."});
        QCOMPARE(fx->boxes.shown().at(0).icon, IMessageBox::Icon::Information);
        QVERIFY(!w->tableRecorder()->isRecording());
    }

    void aboutShowsTheVersionAndStartsTheSystemTool()
    {
        QCoreApplication::setApplicationVersion("1.0.0");
        auto w = fx->makeWindow();
        w->Start();
        QString launched;
        frmAbout::setLauncher([&](const QString &program) {
            launched = program;
            return true;
        });
        fx->dialogs.script([](QDialog &d) {
            const QString version = d.findChild<QLabel *>("lblVersion")->text();
            auto *button = d.findChild<QPushButton *>("cmdSysInfo");
            if (button->isEnabled())
                button->click();
            return version == "Version 1.0.0" ? QDialog::Accepted : QDialog::Rejected;
        });
        w->toolbar().button("About")->trigger();
        QCOMPARE(fx->dialogs.shownTitles, QStringList{"About " + QCoreApplication::applicationName()});
        QCOMPARE(launched, frmAbout::findSystemInfoTool());
        frmAbout::setLauncher({});
        QVERIFY(!w->menu().mnuDebug->isEnabled());
        QVERIFY(!w->menu().mnuNormalSize->isEnabled());
    }
};

QTEST_MAIN(TestMenus)
#include "tst_menus.moc"
