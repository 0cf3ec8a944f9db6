#include "comm/CommTasker.h"
#include "dialogs/dlgConfigRS232.h"
#include "MemorySettings.h"
#include "PtyPair.h"
#include "ScriptedMessageBox.h"
#include "ScriptedModalRunner.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

using namespace qle;
using namespace qle::testing;

namespace {

const QString NoDevice = "Your Device cannot find any connected device with Serial Port.";
const QString Recheck = "Please recheck Line connection and Device Setting of your device!\r\n"
                        "Or Please restart power device.\r\n"
                        "And then Retry [Auto Detect] again";
const QString Missing = "/nonexistent/ttyQLE0";

// Instruments on pseudo-terminals, numbered 1.. in the order they are
// registered. Each probe is recorded as "<instrument>@<rate the dialog's port
// was set to>", and the dialog's lists are checked to show that combination.
class Bench {
public:
    using Answer = std::function<QByteArray(int instrument, int rate)>;

    explicit Bench(int count)
    {
        for (int i = 0; i < count; ++i)
            ptys.push_back(std::make_unique<PtyPair>());
    }

    [[nodiscard]] bool isValid() const
    {
        for (const auto &pty : ptys) {
            if (!pty->isValid())
                return false;
        }
        return true;
    }
    [[nodiscard]] QString path(int instrument) const
    {
        return ptys.at(static_cast<std::size_t>(instrument - 1))->slavePath();
    }
    [[nodiscard]] QStringList paths() const
    {
        QStringList result;
        for (const auto &pty : ptys)
            result.append(pty->slavePath());
        return result;
    }

    void answerWith(dlgConfigRS232 &dlg, Answer answer)
    {
        for (std::size_t i = 0; i < ptys.size(); ++i) {
            PtyPair *pty = ptys[i].get();
            const int instrument = static_cast<int>(i) + 1;
            QObject::connect(pty, &PtyPair::dataReceived, pty, [this, pty, instrument, &dlg, answer] {
                const QByteArray data = pty->takeReceived();
                if (data != "*IDN?\r\n") {
                    strayBytes.append(data);
                    return;
                }
                const int rate = dlg.MSComm1.baudRate();
                probes.append(QString("%1@%2").arg(instrument).arg(rate));
                const QString port = "COM" + QString::number(instrument) + "  " + pty->slavePath();
                const bool listsShowIt =
                    dlg.Combo1()->currentText() == port && dlg.Combo2()->currentText() == QString::number(rate);
                if (!listsShowIt)
                    ++listMismatches;
                const QByteArray reply = answer(instrument, rate);
                if (!reply.isEmpty())
                    pty->write(reply);
            });
        }
    }

    std::vector<std::unique_ptr<PtyPair>> ptys;
    QStringList probes;
    QByteArray strayBytes;
    int listMismatches = 0;
};

QByteArray silent(int, int)
{
    return {};
}

QStringList itemTexts(const QComboBox *combo)
{
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts.append(combo->itemText(i));
    return texts;
}

QStringList substituted(QStringList list, const Bench &bench)
{
    for (QString &entry : list) {
        for (int i = 1; i <= static_cast<int>(bench.ptys.size()); ++i)
            entry.replace("{p" + QString::number(i) + "}", bench.path(i));
        entry.replace("{gone}", Missing);
    }
    return list;
}

bool canOpen(const QString &path)
{
    QSerialPort port;
    port.setPortName(path);
    return port.open(QIODevice::ReadWrite);
}

} // namespace

class TestDlgConfigRS232 : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Only the devices a test registers are offered, whatever this machine has.
        dlgConfigRS232::setSystemPortLister([] { return QStringList{}; });
    }
    void init()
    {
        settings = std::make_unique<MemorySettings>();
        boxes = std::make_unique<ScriptedMessageBox>();
        runner = std::make_unique<ScriptedModalRunner>();
        engine = std::make_unique<CommTasker>();
        engine->WriterTimer.stop();
    }
    void cleanup()
    {
        dlgConfigRS232::setExtraDevicePaths({});
        engine.reset();
        runner.reset();
        boxes.reset();
        settings.reset();
    }

    void fixedTextsAndRates()
    {
        dlgConfigRS232 dlg(*engine);
        QCOMPARE(dlg.windowTitle(), QString("Config RS232"));
        const QStringList labels{"lblPorts=Ports", "lblBaudRate=Baud Rate", "lblDataBits=Data Bits: 8 bits",
                                 "lblParityBit=Parity Bit: None", "lblStopBit=Stop Bit: 1 bit"};
        for (const QString &entry : labels) {
            auto *label = dlg.findChild<QLabel *>(entry.section('=', 0, 0));
            QVERIFY2(label, qPrintable(entry));
            QCOMPARE(label->text(), entry.section('=', 1));
        }
        QCOMPARE(dlg.findChild<QPushButton *>("cmdAutoConn")->text(), QString("Auto Dectect"));
        QCOMPARE(dlg.findChild<QPushButton *>("OKButton")->text(), QString("OK"));
        QCOMPARE(dlg.findChild<QPushButton *>("CancelButton")->text(), QString("Cancel"));
        QCOMPARE(itemTexts(dlg.findChild<QComboBox *>("Combo2")), (QStringList{"9600", "4800", "2400", "1200"}));
        QVERIFY(dlg.findChild<QProgressBar *>("ProgressBar1")->isHidden());
    }

    // Devices that do not open are left out but keep their number; OK stores
    // the number, the rate, both positions and the device path.
    void listsOnlyDevicesThatOpen()
    {
        Bench bench(2);
        QVERIFY(bench.isValid());
        dlgConfigRS232::setExtraDevicePaths({bench.path(1), Missing, bench.path(2)});
        QStringList shown;
        runner->script([&](QDialog &d) {
            auto *ports = d.findChild<QComboBox *>("Combo1");
            shown = itemTexts(ports);
            ports->setCurrentIndex(1);
            d.findChild<QComboBox *>("Combo2")->setCurrentIndex(2);
            d.findChild<QPushButton *>("OKButton")->click();
            return QDialog::Accepted;
        });
        dlgConfigRS232 dlg(*engine);
        QVERIFY(dlg.Execute(false));
        QCOMPARE(shown, (QStringList{"COM1  " + bench.path(1), "COM3  " + bench.path(2)}));
        QCOMPARE(dlg.ComPort(), 3);
        QCOMPARE(dlg.BaudRate(), 2400);
        QCOMPARE(dlg.devicePath(), bench.path(2));
        QCOMPARE(settings->writes, substituted({"RS232/ComPort=3", "RS232/BaudRate=2400", "RS232/ComPortIndex=1",
                                                "RS232/BaudRateIndex=2", "RS232/DevicePath={p2}"},
                                               bench));
        // Building the list holds no device.
        QVERIFY(canOpen(bench.path(1)));
        QVERIFY(canOpen(bench.path(2)));
    }

    void enumerationClosesTheEnginePortFirst()
    {
        Bench bench(1);
        QVERIFY(bench.isValid());
        engine->MSComm1.setPortName(bench.path(1));
        QVERIFY(engine->MSComm1.open(QIODevice::ReadWrite));
        dlgConfigRS232::setExtraDevicePaths({bench.path(1)});
        QStringList shown;
        runner->script([&](QDialog &d) {
            shown = itemTexts(d.findChild<QComboBox *>("Combo1"));
            return QDialog::Rejected;
        });
        dlgConfigRS232 dlg(*engine);
        QVERIFY(!dlg.Execute(false));
        QVERIFY(!engine->MSComm1.isOpen());
        QCOMPARE(shown, QStringList{"COM1  " + bench.path(1)});
    }

    void noPortNumberAbove16()
    {
        Bench bench(20);
        QVERIFY(bench.isValid());
        dlgConfigRS232::setExtraDevicePaths(bench.paths());
        QStringList shown;
        runner->script([&](QDialog &d) {
            shown = itemTexts(d.findChild<QComboBox *>("Combo1"));
            return QDialog::Rejected;
        });
        dlgConfigRS232 dlg(*engine);
        dlg.Execute(false);
        QCOMPARE(shown.size(), 16);
        QCOMPARE(shown.last(), "COM16  " + bench.path(16));
        QCOMPARE(dlg.FoundPortCount(), 16);
        for (const QString &text : shown)
            QVERIFY2(!text.contains(bench.path(17)) && !text.startsWith("COM17"), qPrintable(text));
    }

    void searchWithoutDevicesSaysSo()
    {
        dlgConfigRS232::setExtraDevicePaths({Missing});
        dlgConfigRS232 dlg(*engine);
        dlg.cmdAutoConn()->click();
        QCOMPARE(boxes->texts(), QStringList{NoDevice});
        QCOMPARE(boxes->shown().first().icon, IMessageBox::Icon::Information);
        QCOMPARE(boxes->shown().first().buttons, IMessageBox::Buttons::Ok);
        QCOMPARE(dlg.Combo1()->count(), 0);
        QVERIFY(dlg.ProgressBar1()->isHidden());
        QVERIFY(dlg.cmdAutoConn()->isEnabled());
    }

    // Every device at 9600, then every device at 4800, and so on; within a
    // rate from the highest port number down.
    void searchIsRateMajorFromTheHighestPort()
    {
        Bench bench(3);
        QVERIFY(bench.isValid());
        dlgConfigRS232::setExtraDevicePaths(bench.paths());
        dlgConfigRS232 dlg(*engine);
        dlg.setProbeWaitMsec(100);
        bench.answerWith(dlg, silent);
        dlg.cmdAutoConn()->click();
        QCOMPARE(bench.probes, (QStringList{"3@9600", "2@9600", "1@9600", "3@4800", "2@4800", "1@4800", "3@2400",
                                            "2@2400", "1@2400", "3@1200", "2@1200", "1@1200"}));
        QCOMPARE(bench.listMismatches, 0);
        QVERIFY(bench.strayBytes.isEmpty());
        QCOMPARE(boxes->texts(), QStringList{Recheck});
        QCOMPARE(boxes->shown().first().icon, IMessageBox::Icon::Information);
        QVERIFY(!dlg.MSComm1.isOpen());
        QVERIFY(dlg.ProgressBar1()->isHidden());
        QVERIFY(settings->writes.isEmpty());
    }

    // What counts as an answer: complete (ending in CR or LF) and holding the
    // maker's "QV" anywhere, case-sensitive.
    void probeAnswer_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<bool>("recognised");

        QTest::newRow("QV first, CR LF") << QByteArray("QV-3303,A1,1.0\r\n") << true;
        QTest::newRow("QV inside, LF") << QByteArray("MAKER,QV-3303,0,1.0\n") << true;
        QTest::newRow("QV last, CR") << QByteArray("KMA-3303 QV\r") << true;
        QTest::newRow("no line end") << QByteArray("MAKER,QV-3303,0,1.0") << false;
        QTest::newRow("text after the line end") << QByteArray("MAKER,QV-3303\r\nX") << false;
        QTest::newRow("lower-case qv") << QByteArray("maker,qv-3303\r\n") << false;
        QTest::newRow("other maker") << QByteArray("ACME,PS-1\r\n") << false;
        QTest::newRow("silent") << QByteArray() << false;
    }
    void probeAnswer()
    {
        QFETCH(QByteArray, answer);
        QFETCH(bool, recognised);
        Bench bench(1);
        QVERIFY(bench.isValid());
        dlgConfigRS232::setExtraDevicePaths(bench.paths());
        dlgConfigRS232 dlg(*engine);
        dlg.setProbeWaitMsec(300);
        bench.answerWith(dlg, [&](int, int) { return answer; });
        dlg.cmdAutoConn()->click();
        if (recognised) {
            QCOMPARE(bench.probes, QStringList{"1@9600"});
            QCOMPARE(boxes->texts(), QStringList{"Detect Configuration Successfully!\r\nPorts: COM1  " + bench.path(1) +
                                                 " ,Baud Rate:9600\r\n" + QString::fromLatin1(answer)});
        } else {
            QCOMPARE(bench.probes.size(), 4);
            QCOMPARE(boxes->texts(), QStringList{Recheck});
        }
        QCOMPARE(boxes->shown().first().icon, IMessageBox::Icon::Information);
    }

    // An answer stops the search at once; the lists stay on the answering
    // combination, which is stored only when the user then presses OK.
    void answerStopsTheSearchAndOkStoresIt()
    {
        Bench bench(3);
        QVERIFY(bench.isValid());
        dlgConfigRS232::setExtraDevicePaths(bench.paths());
        const QByteArray idn = "ACME-LAB QV-5505,SN123,1.02\r\n";
        QStringList writesDuringSearch{"none yet"};
        runner->script([&](QDialog &d) {
            d.findChild<QPushButton *>("cmdAutoConn")->click();
            writesDuringSearch = settings->writes;
            d.findChild<QPushButton *>("OKButton")->click();
            return QDialog::Accepted;
        });
        dlgConfigRS232 dlg(*engine);
        dlg.setProbeWaitMsec(300);
        bench.answerWith(
            dlg, [&](int instrument, int rate) { return instrument == 2 && rate == 4800 ? idn : QByteArray(); });
        QVERIFY(dlg.Execute(false));
        QCOMPARE(bench.probes, (QStringList{"3@9600", "2@9600", "1@9600", "3@4800", "2@4800"}));
        QCOMPARE(boxes->texts(), QStringList{"Detect Configuration Successfully!\r\nPorts: COM2  " + bench.path(2) +
                                             " ,Baud Rate:4800\r\n" + QString::fromLatin1(idn)});
        QVERIFY(writesDuringSearch.isEmpty());
        QCOMPARE(settings->writes, substituted({"RS232/ComPort=2", "RS232/BaudRate=4800", "RS232/ComPortIndex=1",
                                                "RS232/BaudRateIndex=1", "RS232/DevicePath={p2}"},
                                               bench));
        QVERIFY(!dlg.MSComm1.isOpen());
    }

    // The program does not freeze while a probe waits: timers run, the
    // inputs are disabled, and closing the window is refused until the end.
    void eventLoopTurnsDuringTheProbe()
    {
        Bench bench(1);
        QVERIFY(bench.isValid());
        dlgConfigRS232::setExtraDevicePaths(bench.paths());
        dlgConfigRS232 dlg(*engine);
        dlg.setProbeWaitMsec(300);
        bench.answerWith(dlg, silent);
        int ticksDuringProbe = 0;
        int enabledInputsSeen = 0;
        bool closeTried = false;
        QTimer watcher;
        watcher.setInterval(20);
        QObject::connect(&watcher, &QTimer::timeout, &dlg, [&] {
            if (bench.probes.isEmpty() || !boxes->shown().isEmpty())
                return;
            ++ticksDuringProbe;
            for (QWidget *input : std::initializer_list<QWidget *>{dlg.Combo1(), dlg.Combo2(), dlg.cmdAutoConn(),
                                                                   dlg.findChild<QPushButton *>("OKButton"),
                                                                   dlg.findChild<QPushButton *>("CancelButton")}) {
                if (input->isEnabled())
                    ++enabledInputsSeen;
            }
            if (!closeTried) {
                closeTried = true;
                dlg.reject();
            }
        });
        dlg.show();
        watcher.start();
        dlg.cmdAutoConn()->click();
        watcher.stop();
        QVERIFY(dlg.isVisible()); // the close tried during the search was refused
        QVERIFY2(ticksDuringProbe >= 10, qPrintable(QString::number(ticksDuringProbe)));
        QCOMPARE(enabledInputsSeen, 0);
        QCOMPARE(bench.probes.size(), 4); // the refused close did not end the search
        QCOMPARE(boxes->texts(), QStringList{Recheck});
        QVERIFY(dlg.cmdAutoConn()->isEnabled());
        QVERIFY(dlg.findChild<QPushButton *>("OKButton")->isEnabled());
    }

    // A device that cannot be opened during the search ends it with the
    // port's own error text.
    void openFailureEndsTheSearch()
    {
        Bench bench(2);
        QVERIFY(bench.isValid());
        // COM1 is reached through a link that vanishes before its turn. Closing
        // its terminal instead would free the number for the next program that
        // opens one (another test's instrument), and the probe would go there.
        QTemporaryDir links;
        const QString com1 = links.filePath("com1");
        QVERIFY(QFile::link(bench.path(1), com1));
        dlgConfigRS232::setExtraDevicePaths({com1, bench.path(2)});
        dlgConfigRS232 dlg(*engine);
        dlg.setProbeWaitMsec(100);
        bench.answerWith(dlg, [&](int instrument, int) {
            if (instrument == 2)
                QFile::remove(com1);
            return QByteArray();
        });
        dlg.cmdAutoConn()->click();
        QCOMPARE(bench.probes, QStringList{"2@9600"});
        QCOMPARE(boxes->shown().size(), 1);
        const auto &box = boxes->shown().first();
        QVERIFY(!box.text.isEmpty());
        QVERIFY(box.text != Recheck);
        QCOMPARE(box.buttons, IMessageBox::Buttons::Ok);
        QVERIFY(!dlg.MSComm1.isOpen());
        QVERIFY(dlg.ProgressBar1()->isHidden());
    }

    // IsDirect: nothing is shown and the stored choice is taken and stored
    // again; the remembered device wins over a changed numbering.
    void directUse_data()
    {
        QTest::addColumn<int>("devices");
        QTest::addColumn<QStringList>("stored"); // Key=value in section RS232
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QStringList>("written"); // empty: nothing written

        const QStringList sameNumbers{"ComPort=2", "BaudRate=2400", "ComPortIndex=1", "BaudRateIndex=2",
                                      "DevicePath={p2}"};
        QTest::newRow("as stored") << 2 << sameNumbers << true << sameNumbers;
        QTest::newRow("numbering changed")
            << 2 << QStringList{"ComPort=1", "BaudRate=4800", "ComPortIndex=0", "BaudRateIndex=1", "DevicePath={p2}"}
            << true
            << QStringList{"ComPort=2", "BaudRate=4800", "ComPortIndex=1", "BaudRateIndex=1", "DevicePath={p2}"};
        // Its old position now holds another device, which must not be taken instead.
        const QStringList gone{"ComPort=1", "BaudRate=1200", "ComPortIndex=0", "BaudRateIndex=3", "DevicePath={gone}"};
        QTest::newRow("device not there now") << 2 << gone << true << gone;
        QTest::newRow("no device stored, position stored")
            << 2 << QStringList{"ComPort=2", "BaudRate=9600", "ComPortIndex=1", "BaudRateIndex=0"} << true
            << QStringList{"ComPort=2", "BaudRate=9600", "ComPortIndex=1", "BaudRateIndex=0", "DevicePath={p2}"};
        QTest::newRow("no device stored, position gone")
            << 2 << QStringList{"ComPort=6", "ComPortIndex=5"} << false << QStringList{};
        QTest::newRow("rate position gone")
            << 2 << QStringList{"ComPortIndex=0", "BaudRateIndex=4", "DevicePath={p1}"} << false << QStringList{};
        QTest::newRow("first run") << 2 << QStringList{} << true
                                   << QStringList{"ComPort=1", "BaudRate=9600", "ComPortIndex=0", "BaudRateIndex=0",
                                                  "DevicePath={p1}"};
    }
    void directUse()
    {
        QFETCH(int, devices);
        QFETCH(QStringList, stored);
        QFETCH(bool, ok);
        QFETCH(QStringList, written);
        Bench bench(devices);
        QVERIFY(bench.isValid());
        dlgConfigRS232::setExtraDevicePaths(bench.paths());
        for (const QString &entry : substituted(stored, bench))
            settings->preset("RS232/" + entry.section('=', 0, 0), entry.section('=', 1));

        dlgConfigRS232 dlg(*engine);
        QCOMPARE(dlg.Execute(true), ok);
        QVERIFY(runner->shownTitles.isEmpty());
        QStringList expected;
        for (const QString &entry : substituted(written, bench))
            expected.append("RS232/" + entry);
        QCOMPARE(settings->writes, expected);
        if (ok) {
            QCOMPARE(QString::number(dlg.ComPort()), settings->values.value("RS232/ComPort"));
            QCOMPARE(QString::number(dlg.BaudRate()), settings->values.value("RS232/BaudRate"));
            QCOMPARE(dlg.devicePath(), settings->values.value("RS232/DevicePath"));
        }
    }

    void cancelChangesNothing()
    {
        Bench bench(2);
        QVERIFY(bench.isValid());
        dlgConfigRS232::setExtraDevicePaths(bench.paths());
        dlgConfigRS232 dlg(*engine);
        dlg.setProbeWaitMsec(300);
        bench.answerWith(
            dlg, [](int instrument, int) { return instrument == 1 ? QByteArray("QV-3303\r\n") : QByteArray(); });
        settings->preset("RS232/ComPortIndex", "1");
        settings->preset("RS232/DevicePath", bench.path(2));
        const auto before = settings->values;
        int preselected = -1;
        runner->script([&](QDialog &d) {
            preselected = d.findChild<QComboBox *>("Combo1")->currentIndex();
            d.findChild<QPushButton *>("cmdAutoConn")->click(); // finds instrument 1
            d.findChild<QPushButton *>("CancelButton")->click();
            return QDialog::Rejected;
        });
        QVERIFY(!dlg.Execute(false));
        QCOMPARE(preselected, 1);
        QCOMPARE(bench.probes.size(), 2);
        QVERIFY(settings->writes.isEmpty());
        QCOMPARE(settings->values, before);
    }

private:
    std::unique_ptr<MemorySettings> settings;
    std::unique_ptr<ScriptedMessageBox> boxes;
    std::unique_ptr<ScriptedModalRunner> runner;
    std::unique_ptr<CommTasker> engine;
};

QTEST_MAIN(TestDlgConfigRS232)
#include "tst_dlgconfigrs232.moc"
