#include "dialogs/dlgAutoMode.h"
#include "dialogs/dlgDelay.h"
#include "dialogs/dlgPolling.h"
#include "dialogs/dlgReadTimes.h"
#include "dialogs/dlgRecallData.h"
#include "dialogs/dlgSaveData.h"
#include "dialogs/dlgUnattended.h"
#include "MemorySettings.h"
#include "ScriptedModalRunner.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include <memory>

using namespace qle;
using namespace qle::testing;

namespace {

std::unique_ptr<NumberSettingsDialog> makeDialog(const QString &kind)
{
    if (kind == "AutoMode")
        return std::make_unique<dlgAutoMode>();
    if (kind == "Delay")
        return std::make_unique<dlgDelay>();
    if (kind == "ReadTimes")
        return std::make_unique<dlgReadTimes>();
    if (kind == "RecallData")
        return std::make_unique<dlgRecallData>();
    if (kind == "SaveData")
        return std::make_unique<dlgSaveData>();
    return nullptr;
}

QSpinBox *spin(QDialog &d, const QString &name)
{
    return d.findChild<QSpinBox *>(name);
}

void click(QDialog &d, const char *button)
{
    auto *b = d.findChild<QPushButton *>(button);
    QVERIFY2(b, button);
    b->click();
}

} // namespace

class TestDlgSettings : public QObject {
    Q_OBJECT

private slots:
    void captionsLabelsAndRanges_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QStringList>("labels"); // objectName=text
        QTest::addColumn<QStringList>("fields"); // objectName:min..max

        QTest::newRow("auto mode") << "AutoMode"
                                   << "Auto Mode"
                                   << QStringList{"lblStartMemory=Start Memory:", "lblEndMemory=End Memory:",
                                                  "lblCycle=Cycle:"}
                                   << QStringList{"numStartMemory:0..99", "numEndMemory:0..99", "numCycle:0..99999"};
        QTest::newRow("delay") << "Delay"
                               << "Delay" << QStringList{"lblDelay=Delay", "lbl100ms=x 100ms"}
                               << QStringList{"numEdit:1..99"};
        QTest::newRow("read times") << "ReadTimes"
                                    << "Read Time"
                                    << QStringList{"lblReadValue=Max time to complete one set of queries",
                                                   "lblSecond=sec"}
                                    << QStringList{"numEdit:0..32"};
        QTest::newRow("recall") << "RecallData"
                                << "Recall Data" << QStringList{"lblMemory=Memory"} << QStringList{"numEdit:1..4"};
        QTest::newRow("save") << "SaveData"
                              << "Save Data" << QStringList{"lblMemory=Memory"} << QStringList{"numEdit:1..4"};
    }
    void captionsLabelsAndRanges()
    {
        QFETCH(QString, kind);
        QFETCH(QString, caption);
        QFETCH(QStringList, labels);
        QFETCH(QStringList, fields);
        auto dlg = makeDialog(kind);
        QCOMPARE(dlg->windowTitle(), caption);
        for (const QString &entry : labels) {
            const QString name = entry.section('=', 0, 0);
            auto *label = dlg->findChild<QLabel *>(name);
            QVERIFY2(label, qPrintable(name));
            QCOMPARE(label->text(), entry.section('=', 1));
        }
        QCOMPARE(dlg->findChildren<QSpinBox *>().size(), fields.size());
        for (const QString &entry : fields) {
            auto *field = spin(*dlg, entry.section(':', 0, 0));
            QVERIFY2(field, qPrintable(entry));
            QCOMPARE(QString("%1..%2").arg(field->minimum()).arg(field->maximum()), entry.section(':', 1));
            QCOMPARE(field->singleStep(), 1);
        }
        QCOMPARE(dlg->findChild<QPushButton *>("OKButton")->text(), QString("OK"));
        QCOMPARE(dlg->findChild<QPushButton *>("CancelButton")->text(), QString("Cancel"));
    }

    // What a field offers for a stored (or missing) value, and what OK then
    // returns and saves: always a value inside the field's range.
    void storedValueIsOfferedInRange_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("key");    // Section/Key
        QTest::addColumn<QString>("stored"); // empty: nothing stored
        QTest::addColumn<int>("offered");

        QTest::newRow("read times first run") << "ReadTimes"
                                              << "numEdit"
                                              << "ReadTimes/ReadTimes"
                                              << "" << 5;
        QTest::newRow("read times 32 kept") << "ReadTimes"
                                            << "numEdit"
                                            << "ReadTimes/ReadTimes"
                                            << "32" << 32;
        QTest::newRow("read times 33 overflows") << "ReadTimes"
                                                 << "numEdit"
                                                 << "ReadTimes/ReadTimes"
                                                 << "33" << 32;
        QTest::newRow("read times 120") << "ReadTimes"
                                        << "numEdit"
                                        << "ReadTimes/ReadTimes"
                                        << "120" << 32;
        QTest::newRow("read times negative") << "ReadTimes"
                                             << "numEdit"
                                             << "ReadTimes/ReadTimes"
                                             << "-1" << 0;
        QTest::newRow("read times fraction") << "ReadTimes"
                                             << "numEdit"
                                             << "ReadTimes/ReadTimes"
                                             << "7.9" << 7;
        QTest::newRow("read times garbage") << "ReadTimes"
                                            << "numEdit"
                                            << "ReadTimes/ReadTimes"
                                            << "abc" << 5;
        QTest::newRow("delay first run") << "Delay"
                                         << "numEdit"
                                         << "Delay/Delay"
                                         << "" << 1;
        QTest::newRow("delay 0") << "Delay"
                                 << "numEdit"
                                 << "Delay/Delay"
                                 << "0" << 1;
        QTest::newRow("delay 100") << "Delay"
                                   << "numEdit"
                                   << "Delay/Delay"
                                   << "100" << 99;
        QTest::newRow("delay garbage") << "Delay"
                                       << "numEdit"
                                       << "Delay/Delay"
                                       << "x" << 1;
        QTest::newRow("recall first run") << "RecallData"
                                          << "numEdit"
                                          << "Memory/Memory"
                                          << "" << 1;
        QTest::newRow("recall 5") << "RecallData"
                                  << "numEdit"
                                  << "Memory/Memory"
                                  << "5" << 4;
        QTest::newRow("save first run") << "SaveData"
                                        << "numEdit"
                                        << "Memory/Memory"
                                        << "" << 1;
        QTest::newRow("save 3 kept") << "SaveData"
                                     << "numEdit"
                                     << "Memory/Memory"
                                     << "3" << 3;
        QTest::newRow("start memory first run") << "AutoMode"
                                                << "numStartMemory"
                                                << "AutoMode/StartMemory"
                                                << "" << 0;
        QTest::newRow("end memory 100") << "AutoMode"
                                        << "numEndMemory"
                                        << "AutoMode/EndMemory"
                                        << "100" << 99;
        QTest::newRow("cycle 100000") << "AutoMode"
                                      << "numCycle"
                                      << "AutoMode/Cycle"
                                      << "100000" << 99999;
        QTest::newRow("cycle -3") << "AutoMode"
                                  << "numCycle"
                                  << "AutoMode/Cycle"
                                  << "-3" << 0;
    }
    void storedValueIsOfferedInRange()
    {
        QFETCH(QString, kind);
        QFETCH(QString, field);
        QFETCH(QString, key);
        QFETCH(QString, stored);
        QFETCH(int, offered);

        MemorySettings settings;
        if (!stored.isEmpty())
            settings.preset(key, stored);
        ScriptedModalRunner runner;
        int shown = -1000;
        runner.script([&](QDialog &d) {
            shown = spin(d, field)->value();
            click(d, "OKButton");
            return QDialog::Accepted;
        });
        auto dlg = makeDialog(kind);
        QVERIFY(dlg->Execute());
        QCOMPARE(shown, offered);
        QCOMPARE(settings.values.value(key), QString::number(offered));
    }

    // OK without touching anything writes every value of the dialog again.
    void okSavesTheShownValuesAgain_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QStringList>("preset"); // Section/Key=value, as stored and as written back

        QTest::newRow("auto mode") << "AutoMode"
                                   << QStringList{"AutoMode/StartMemory=3", "AutoMode/EndMemory=7",
                                                  "AutoMode/Cycle=250"};
        QTest::newRow("delay") << "Delay" << QStringList{"Delay/Delay=12"};
        QTest::newRow("read times") << "ReadTimes" << QStringList{"ReadTimes/ReadTimes=9"};
        QTest::newRow("recall") << "RecallData" << QStringList{"Memory/Memory=2"};
        QTest::newRow("save") << "SaveData" << QStringList{"Memory/Memory=4"};
    }
    void okSavesTheShownValuesAgain()
    {
        QFETCH(QString, kind);
        QFETCH(QStringList, preset);
        MemorySettings settings;
        for (const QString &entry : preset)
            settings.preset(entry.section('=', 0, 0), entry.section('=', 1));
        ScriptedModalRunner runner;
        runner.script([](QDialog &d) {
            click(d, "OKButton");
            return QDialog::Accepted;
        });
        auto dlg = makeDialog(kind);
        QVERIFY(dlg->Execute());
        QCOMPARE(settings.writes, preset);
        QCOMPARE(runner.shownTitles, QStringList{dlg->windowTitle()});
    }

    // Whatever was entered, Cancel or closing the window returns false and
    // writes nothing, also after an earlier use that ended with OK.
    void cancelChangesNothing_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("field");
        QTest::addColumn<bool>("closeByWindow");

        QTest::newRow("auto mode, Cancel") << "AutoMode"
                                           << "numCycle" << false;
        QTest::newRow("delay, Cancel") << "Delay"
                                       << "numEdit" << false;
        QTest::newRow("read times, Cancel") << "ReadTimes"
                                            << "numEdit" << false;
        QTest::newRow("recall, Cancel") << "RecallData"
                                        << "numEdit" << false;
        QTest::newRow("save, Cancel") << "SaveData"
                                      << "numEdit" << false;
        QTest::newRow("save, window closed") << "SaveData"
                                             << "numEdit" << true;
        QTest::newRow("read times, window closed") << "ReadTimes"
                                                   << "numEdit" << true;
    }
    void cancelChangesNothing()
    {
        QFETCH(QString, kind);
        QFETCH(QString, field);
        QFETCH(bool, closeByWindow);
        MemorySettings settings;
        settings.preset("AutoMode/Cycle", "10");
        settings.preset("Delay/Delay", "10");
        settings.preset("ReadTimes/ReadTimes", "10");
        settings.preset("Memory/Memory", "2");
        ScriptedModalRunner runner;
        runner.script([](QDialog &d) {
            click(d, "OKButton");
            return QDialog::Accepted;
        });
        runner.script([&](QDialog &d) {
            spin(d, field)->setValue(3);
            if (closeByWindow)
                d.reject(); // what Escape and the title bar's close button do
            else
                click(d, "CancelButton");
            return QDialog::Rejected;
        });
        auto dlg = makeDialog(kind);
        QVERIFY(dlg->Execute());
        settings.writes.clear();
        const auto before = settings.values;
        QVERIFY(!dlg->Execute());
        QCOMPARE(runner.shownTitles.size(), 2);
        QVERIFY(settings.writes.isEmpty());
        QCOMPARE(settings.values, before);
    }

    void autoModeReturnsEachEnteredValue()
    {
        MemorySettings settings;
        ScriptedModalRunner runner;
        runner.script([](QDialog &d) {
            spin(d, "numStartMemory")->setValue(12);
            spin(d, "numEndMemory")->setValue(15);
            spin(d, "numCycle")->setValue(40000); // more than a 16-bit count holds
            click(d, "OKButton");
            return QDialog::Accepted;
        });
        dlgAutoMode dlg;
        QVERIFY(dlg.Execute());
        QCOMPARE(dlg.StartMemory(), 12);
        QCOMPARE(dlg.EndMemory(), 15);
        QCOMPARE(dlg.Cycle(), 40000);
        QCOMPARE(settings.writes,
                 (QStringList{"AutoMode/StartMemory=12", "AutoMode/EndMemory=15", "AutoMode/Cycle=40000"}));
    }

    void memoryNumberIsSharedBetweenSaveAndRecall()
    {
        MemorySettings settings;
        ScriptedModalRunner runner;
        int offeredByRecall = 0;
        int offeredBySave = 0;
        runner.script([](QDialog &d) {
            spin(d, "numEdit")->setValue(3);
            click(d, "OKButton");
            return QDialog::Accepted;
        });
        runner.script([&](QDialog &d) {
            offeredByRecall = spin(d, "numEdit")->value();
            spin(d, "numEdit")->setValue(2);
            click(d, "OKButton");
            return QDialog::Accepted;
        });
        runner.script([&](QDialog &d) {
            offeredBySave = spin(d, "numEdit")->value();
            click(d, "CancelButton");
            return QDialog::Rejected;
        });
        dlgSaveData save;
        dlgRecallData recall;
        QVERIFY(save.Execute());
        QCOMPARE(save.Memory(), 3);
        QVERIFY(recall.Execute());
        QCOMPARE(offeredByRecall, 3);
        QCOMPARE(recall.Memory(), 2);
        QVERIFY(!save.Execute());
        QCOMPARE(offeredBySave, 2);
        QCOMPARE(runner.shownTitles, (QStringList{"Save Data", "Recall Data", "Save Data"}));
    }

    // The polling choice: Classic and 1 s on a new store, a stored period
    // that is not offered reads as 1 s, and OK stores what was chosen.
    void pollingChoice()
    {
        MemorySettings settings;
        QCOMPARE(PollingChoice::load(), PollingChoice{});
        QVERIFY(!PollingChoice::load().live);
        settings.preset("Polling/Mode", "Live");
        settings.preset("Polling/PeriodMs", "300");
        QCOMPARE(PollingChoice::load(), (PollingChoice{true, 1000}));

        ScriptedModalRunner runner;
        dlgPolling dialog;
        runner.script([](QDialog &d) {
            auto &polling = static_cast<dlgPolling &>(d);
            // The period is offered only for Live.
            polling.modeBox()->setCurrentIndex(0);
            if (polling.periodBox()->isEnabled())
                return QDialog::Rejected;
            polling.modeBox()->setCurrentIndex(1);
            polling.periodBox()->setCurrentIndex(0);
            click(d, "OKButton");
            return QDialog::Accepted;
        });
        PollingChoice chosen;
        QVERIFY(dialog.Execute(PollingChoice{}, chosen));
        QCOMPARE(chosen, (PollingChoice{true, 250}));
        QCOMPARE(settings.values.value("Polling/Mode"), QString("Live"));
        QCOMPARE(settings.values.value("Polling/PeriodMs"), QString("250"));
        QCOMPARE(PollingChoice::load(), chosen);

        runner.script([](QDialog &d) {
            click(d, "CancelButton");
            return QDialog::Rejected;
        });
        QVERIFY(!dialog.Execute(chosen, chosen));
        QCOMPARE(settings.values.value("Polling/PeriodMs"), QString("250"));
    }

    // Reconnection is off until chosen; stored values outside the ranges
    // read as the nearest bound; OK stores what is shown.
    void unattendedSettings()
    {
        MemorySettings settings;
        const ReconnectPolicy none = ReconnectPolicy::load(settings);
        QVERIFY(!none.enabled);
        QCOMPARE(none.retrySec, 5);
        QCOMPARE(none.giveUpMin, 0);
        settings.preset("Unattended/Reconnect", "1");
        settings.preset("Unattended/RetrySeconds", "0");
        settings.preset("Unattended/GiveUpMinutes", "99999999");
        const ReconnectPolicy stored = ReconnectPolicy::load(settings);
        QVERIFY(stored.enabled);
        QCOMPARE(stored.retrySec, 1);
        QCOMPARE(stored.giveUpMin, ReconnectPolicy::MaxGiveUpMin);

        ScriptedModalRunner runner;
        dlgUnattended dialog;
        runner.script([](QDialog &d) {
            auto &unattended = static_cast<dlgUnattended &>(d);
            if (!unattended.chkReconnect->isChecked() || unattended.spnRetrySec->value() != 1)
                return QDialog::Rejected;
            unattended.chkReconnect->setChecked(false);
            if (unattended.spnRetrySec->isEnabled())
                return QDialog::Rejected; // the numbers go with the switch
            unattended.chkReconnect->setChecked(true);
            unattended.spnRetrySec->setValue(30);
            unattended.spnGiveUpMin->setValue(0);
            click(d, "OKButton");
            return QDialog::Accepted;
        });
        QVERIFY(dialog.Execute());
        QCOMPARE(settings.values.value("Unattended/RetrySeconds"), QString("30"));
        QCOMPARE(settings.values.value("Unattended/GiveUpMinutes"), QString("0"));
        QCOMPARE(dialog.spnGiveUpMin->text(), QString("never"));
        QVERIFY(!MqttSettings::load(settings).enabled);

        // Broker settings that cannot be used keep the dialog open with the
        // reason; TLS brings its usual port along.
        QStringList problems;
        runner.script([](QDialog &d) {
            auto &unattended = static_cast<dlgUnattended &>(d);
            unattended.grpMqtt->setChecked(true);
            unattended.txtHost->setText("broker.lab");
            unattended.chkTls->setChecked(true);
            unattended.txtBench->setText("bench/7");
            click(d, "OKButton");
            return QDialog::Accepted;
        });
        runner.script([&problems](QDialog &d) {
            auto &unattended = static_cast<dlgUnattended &>(d);
            problems.append(unattended.lblMqttProblem->text());
            unattended.txtBench->setText("bench7");
            click(d, "OKButton");
            return QDialog::Accepted;
        });
        QVERIFY(dialog.Execute());
        QCOMPARE(problems.size(), 1);
        QVERIFY2(problems.first().startsWith("the bench name \"bench/7\" contains '/'"), qPrintable(problems.first()));
        const MqttSettings mqtt = MqttSettings::load(settings);
        QVERIFY(mqtt.enabled && mqtt.tls && !mqtt.allowCommands);
        QCOMPARE(mqtt.port, MqttSettings::TlsPort);
        QCOMPARE(mqtt.topic("status"), QString("qle/bench7/status"));
    }
};

QTEST_MAIN(TestDlgSettings)
#include "tst_dlgsettings.moc"
