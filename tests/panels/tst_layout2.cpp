#include "FakePanelHost.h"
#include "panels/frmLayout2.h"
#include "platform/widgets/CWButton.h"
#include "platform/widgets/CWNumEdit.h"

#include <QTest>

using namespace qle;
using namespace qle::testing;

class TestLayout2 : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<FakePanelHost> host;
    std::unique_ptr<frmLayout2> panel;

private slots:
    void init()
    {
        host = std::make_unique<FakePanelHost>();
        host->model = "KMA-3005";
        panel = std::make_unique<frmLayout2>(*host);
        panel->SetupLayout();
    }
    void cleanup()
    {
        panel.reset();
        host.reset();
    }

    void setupAndInitialRead()
    {
        QCOMPARE(panel->channelCount(), 1);
        QCOMPARE(panel->channel(0).numCurrent->Maximum(), 5.0);
        QCOMPARE(panel->channel(0).txtVoltage->text(), QString("0.00")); // readouts keep their first text
        QCOMPARE(host->engine().QueryCmdCnt, 3);
        QVERIFY(!panel->QueryInitialValues());
        QCOMPARE(host->queuedQueries(),
                 (QStringList{":CHAN1:PROT:VOLT?", ":OUTP:STAT?", ":CHAN1:PROT:CURR?", ":CHAN1:VOLT?", ":CHAN1:CURR?",
                              ":CHAN1:MEAS:VOLT?", ":CHAN1:MEAS:CURR?"}));
    }

    void editsAreSentAtOnceAndNeverEchoed()
    {
        // Before any measurement: the current edit is sent, with a point.
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        panel->channel(0).numCurrent->spinBox()->setValue(1.25);
        QCOMPARE(host->queuedCommands(), QStringList{":CHAN1:CURR 1.25"});
        panel->channel(0).numOVP->spinBox()->setValue(31);
        QCOMPARE(host->queuedCommands().last(), QString(":CHAN1:PROT:VOLT 31"));
        QLocale::setDefault(QLocale::c());

        // Values read back during the initial read change the fields only.
        host->queryingInitialValues = true;
        panel->channel(0).txtSetVolt->setProperty("Text", "12.000");
        panel->channel(0).txtSetCurr->setProperty("Text", "0.500");
        QCOMPARE(panel->channel(0).numVoltage->Value(), 12.0);
        QCOMPARE(panel->channel(0).numCurrent->Value(), 0.5);
        QCOMPARE(host->queuedCommands().size(), 2);
        host->queryingInitialValues = false;
        panel->channel(0).numVoltage->spinBox()->setValue(5);
        QCOMPARE(host->queuedCommands().last(), QString(":CHAN1:VOLT 5"));
    }

    void sinkRules()
    {
        const ChannelControls &c = panel->channel(0);
        c.txtSetVolt->setProperty("Text", "7.5");
        QCOMPARE(c.numVoltage->Value(), 7.5);
        c.txtSetVolt->setProperty("Text", "junk");
        QCOMPARE(c.numVoltage->Value(), 7.5);            // not a number: unchanged
        QCOMPARE(c.txtSetVolt->text(), QString("junk")); // not emptied
        c.txtSetCurr->setProperty("Text", "2.000");
        c.txtSetCurr->setProperty("Text", "");
        QCOMPARE(c.numCurrent->Value(), 2.0); // an empty reply leaves the field
        c.txtSetCurr->setProperty("Text", "junk");
        QCOMPARE(c.numCurrent->Value(), 0.0);
        QVERIFY(host->queuedCommands().isEmpty());
    }

    void pollsThreeSteps()
    {
        for (int i = 0; i < 4; ++i)
            panel->DoQuery();
        QCOMPARE(host->queuedQueries(),
                 (QStringList{":CHAN1:MEAS:VOLT?", ":CHAN1:MEAS:CURR?", ":SYST:ERR?", ":CHAN1:MEAS:VOLT?"}));
        panel->setQueryStep(2999);
        panel->DoQuery();
        QCOMPARE(panel->queryStep(), 0);
        QCOMPARE(host->queuedQueries().last(), QString(":SYST:ERR?"));
        panel->DoQuery();
        QCOMPARE(host->queuedQueries().last(), QString(":CHAN1:MEAS:VOLT?"));
    }

    void enableRules()
    {
        panel->channel(0).txtVoltage->setProperty("Text", "5.000");
        panel->SetParallelDisableMode();
        QVERIFY(!panel->channel(0).numVoltage->isEnabled());
        QVERIFY(!panel->channel(0).numCurrent->isEnabled());
        QVERIFY(panel->channel(0).tbnOCP->isEnabled());
        QCOMPARE(panel->voltageText(0), QString("5.000")); // readings are not touched
        panel->SetTrackDisableMode();
        QVERIFY(panel->channel(0).numCurrent->isEnabled());
        QVERIFY(!panel->channel(0).numOVP->isEnabled());
        panel->SetOutputOffDisplay();
        QCOMPARE(panel->voltageText(0), QString());
    }
};

QTEST_MAIN(TestLayout2)
#include "tst_layout2.moc"
