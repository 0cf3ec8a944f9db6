#include "FakePanelHost.h"
#include "panels/frmLayout3.h"
#include "platform/widgets/CWButton.h"
#include "platform/widgets/CWNumEdit.h"
#include "TraceRecorder.h"

#include <QRadioButton>
#include <QTest>

using namespace qle;
using namespace qle::testing;

class TestLayout3 : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<FakePanelHost> host;
    std::unique_ptr<frmLayout3> panel;

private slots:
    void init()
    {
        host = std::make_unique<FakePanelHost>();
        host->useLegacyCommands();
        panel = std::make_unique<frmLayout3>(*host);
        panel->SetupLayout();
    }
    void cleanup()
    {
        panel.reset();
        host.reset();
    }

    void initialReadAndPolling()
    {
        QCOMPARE(panel->channelCount(), 2);
        QCOMPARE(panel->channel(1).txtVoltage->text(), QString("0.000"));
        QCOMPARE(panel->txtStatus->text(), QString("Text1"));
        QCOMPARE(host->engine().QueryCmdCnt, 9);
        panel->QueryInitialValues();
        QCOMPARE(host->queuedQueries(), (QStringList{"VSET1?", "VSET2?", "ISET1?", "ISET2?", "VOUT1?", "IOUT1?",
                                                     "VOUT2?", "IOUT2?", "STATUS?"}));
        host->engine().ResetTasks();
        for (int i = 0; i < 10; ++i)
            panel->DoQuery();
        QCOMPARE(host->queuedQueries(), (QStringList{"VOUT1?", "IOUT1?", "VOUT2?", "IOUT2?", "VSET1?", "VSET2?",
                                                     "ISET1?", "ISET2?", "STATUS?", "VOUT1?"}));
        panel->setQueryStep(frmLayout3::StepWrap - 1);
        panel->DoQuery();
        QCOMPARE(host->queuedQueries().last(), QString("STATUS?"));
        QCOMPARE(panel->queryStep(), 0);
        QCOMPARE(frmLayout3::StepWrap % frmLayout3::PollSteps, 0);
    }

    void setCommandsEmptyTheirSink()
    {
        const ChannelControls &c = panel->channel(1);
        c.txtSetCurr->setProperty("Text", "1.000A");
        panel->channel(1).numCurrent->spinBox()->setValue(5);
        QCOMPARE(host->queuedCommands(), QStringList{"ISET2:5."});
        QCOMPARE(c.txtSetCurr->text(), QString());
        panel->channel(0).numVoltage->spinBox()->setValue(12.5);
        QCOMPARE(host->queuedCommands().last(), QString("VSET1:12.5"));
        host->state = 0;
        panel->channel(0).numVoltage->spinBox()->setValue(3);
        QCOMPARE(host->queuedCommands().size(), 2);
    }

    void setValueReplies_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<double>("value");
        QTest::newRow("with unit") << "12.000V" << 12.0;
        QTest::newRow("without unit") << "12.000" << 0.0;
        QTest::newRow("garbled body") << "1x.0V" << 0.0;
        QTest::newRow("wrong unit") << "12.000A" << 0.0;
    }
    void setValueReplies()
    {
        QFETCH(QString, reply);
        QFETCH(double, value);
        TraceRecorder trace;
        panel->channel(0).numVoltage->setValue(7);
        panel->channel(0).txtSetVolt->setProperty("Text", reply);
        QCOMPARE(panel->channel(0).numVoltage->Value(), value);
        QVERIFY(trace.contains("txtSetVolt_Change0:" + reply));
        QVERIFY(host->queuedCommands().isEmpty());
    }

    void measurementsLoseTheirUnit()
    {
        panel->channel(0).txtVoltage->setProperty("Text", "5.01V");
        QCOMPARE(panel->voltageText(0), QString("5.01"));
        panel->channel(0).txtCurrent->setProperty("Text", "0.500A");
        QCOMPARE(panel->currentText(0), QString("0.500"));
        panel->channel(0).txtCurrent->setProperty("Text", "0.7");
        QCOMPARE(panel->currentText(0), QString("0.7"));
    }

    void statusWord()
    {
        // "01" with output bit 0 while the output is on: independent, output off.
        panel->outputButton()->setValue(true);
        host->operations.clear();
        panel->txtStatus->setProperty("Text", "0 0 0 1 0 0 0 0");
        QVERIFY(panel->optIndep->isChecked());
        QVERIFY(!panel->outputButton()->Value());
        QCOMPARE(host->operations, (QStringList{"mnuIndep_Click", "DoOutput(false)"}));
        QCOMPARE(panel->outModeState(), 0);
        QVERIFY(host->queuedQueries().isEmpty()); // INDEP was already shown: no re-read

        // "10" while INDEP is shown: parallel, output shown off, set values re-read.
        host->operations.clear();
        panel->outputButton()->setValue(true);
        host->operations.clear();
        panel->txtStatus->setProperty("Text", "00100000");
        QVERIFY(panel->optParal->isChecked());
        QCOMPARE(host->operations, (QStringList{"mnuParallel_Click", "DoOutput(false)"}));
        QCOMPARE(host->queuedQueries(), (QStringList{"VSET1?", "VSET2?", "ISET1?", "ISET2?"}));

        // Output bit 1 while off switches it on; too short a word changes nothing.
        host->operations.clear();
        panel->txtStatus->setProperty("Text", "00100011");
        QCOMPARE(host->operations, QStringList{"DoOutput(true)"});
        panel->txtStatus->setProperty("Text", "001");
        QCOMPARE(host->operations.size(), 1);
        QVERIFY(panel->optParal->isChecked());

        // The same word twice is applied twice: the program's output state
        // may have changed in between.
        panel->outputButton()->setValue(false);
        host->operations.clear();
        panel->txtStatus->setProperty("Text", "00100011");
        panel->outputButton()->setValue(false);
        panel->txtStatus->setProperty("Text", "00100011");
        QCOMPARE(host->operations, (QStringList{"DoOutput(true)", "DoOutput(false)", "DoOutput(true)"}));
    }

    void couplingClicks()
    {
        panel->optParal->click();
        QCOMPARE(host->operations, QStringList{"mnuParallel_Click"});
        panel->optParal->click(); // already parallel: nothing
        QCOMPARE(host->operations.size(), 1);
        panel->optTrack->click();
        QCOMPARE(host->operations.last(), QString("mnuTrack_Click"));
        panel->optIndep->click();
        QCOMPARE(host->operations.last(), QString("mnuIndep_Click"));
        panel->optIndep->click();
        QCOMPARE(host->operations.size(), 3);
    }

    void parallelLocksAndBlanksChannelTwo()
    {
        panel->selectCoupling(Coupling::Parallel);
        panel->SetParallelDisableMode();
        QVERIFY(!panel->channel(1).numVoltage->isEnabled());
        QVERIFY(!panel->channel(1).numCurrent->isEnabled());
        QVERIFY(panel->channel(0).numVoltage->isEnabled());
        panel->channel(1).txtVoltage->setProperty("Text", "5.00V");
        panel->channel(1).txtCurrent->setProperty("Text", "1.00A");
        QCOMPARE(panel->voltageText(1), QString());
        QCOMPARE(panel->currentText(1), QString());
        panel->channel(0).txtVoltage->setProperty("Text", "5.00V");
        QCOMPARE(panel->voltageText(0), QString("5.00"));
        panel->SetTrackDisableMode();
        QVERIFY(panel->channel(1).numCurrent->isEnabled());
        QVERIFY(!panel->channel(1).numVoltage->isEnabled());
    }

    void recallShowsTheOutputOff()
    {
        panel->outputButton()->setValue(true);
        host->operations.clear();
        panel->findChild<QPushButton *>("btnRecall")->click();
        QCOMPARE(host->operations, (QStringList{"mnuRecallMemory_Click", "DoOutput(false)"}));
        panel->findChild<QPushButton *>("btnSave")->click();
        QCOMPARE(host->operations.last(), QString("mnuSaveMemory_Click"));
    }
};

QTEST_MAIN(TestLayout3)
#include "tst_layout3.moc"
