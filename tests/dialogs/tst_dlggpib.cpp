#include "dialogs/dlgGPIB.h"
#include "MemorySettings.h"
#include "ScriptedModalRunner.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace qle;
using namespace qle::testing;

class TestDlgGPIB : public QObject {
    Q_OBJECT

private slots:
    void listPositionsEqualTheirNumbers()
    {
        dlgGPIB dlg;
        QCOMPARE(dlg.windowTitle(), QString("Dialog Caption"));
        QCOMPARE(dlg.findChild<QLabel *>("lblGPIBn")->text(), QString("GPIBn:"));
        QCOMPARE(dlg.findChild<QLabel *>("lblAddress")->text(), QString("Address"));
        const struct {
            const char *name;
            int last;
        } lists[] = {{"cmbGPIBn", 10}, {"cmbAddress", 30}};
        for (const auto &list : lists) {
            auto *combo = dlg.findChild<QComboBox *>(list.name);
            QVERIFY2(combo, list.name);
            QStringList texts;
            for (int i = 0; i < combo->count(); ++i)
                texts.append(combo->itemText(i));
            QStringList expected;
            for (int n = 0; n <= list.last; ++n)
                expected.append(QString::number(n));
            QCOMPARE(texts, expected);
        }
    }

    // IsDirect: nothing is shown, the stored values are taken (in range) and
    // written again.
    void directUseTakesTheStoredValues_data()
    {
        QTest::addColumn<QString>("storedBoard"); // empty: nothing stored
        QTest::addColumn<QString>("storedAddress");
        QTest::addColumn<int>("board");
        QTest::addColumn<int>("address");

        QTest::newRow("first run") << ""
                                   << "" << 0 << 0;
        QTest::newRow("stored") << "7"
                                << "22" << 7 << 22;
        QTest::newRow("highest") << "10"
                                 << "30" << 10 << 30;
        QTest::newRow("above the lists") << "12"
                                         << "31" << 10 << 30;
        QTest::newRow("garbage and negative") << "abc"
                                              << "-4" << 0 << 0;
    }
    void directUseTakesTheStoredValues()
    {
        QFETCH(QString, storedBoard);
        QFETCH(QString, storedAddress);
        QFETCH(int, board);
        QFETCH(int, address);
        MemorySettings settings;
        if (!storedBoard.isEmpty()) {
            settings.preset("GPIB/GPIBn", storedBoard);
            settings.preset("GPIB/Address", storedAddress);
        }
        ScriptedModalRunner runner;
        dlgGPIB dlg;
        QVERIFY(dlg.Execute(true));
        QVERIFY(runner.shownTitles.isEmpty());
        QCOMPARE(dlg.GPIBn(), board);
        QCOMPARE(dlg.Address(), address);
        QCOMPARE(settings.writes,
                 (QStringList{"GPIB/GPIBn=" + QString::number(board), "GPIB/Address=" + QString::number(address)}));
    }

    void okTakesTheSelectedPositions()
    {
        MemorySettings settings;
        settings.preset("GPIB/GPIBn", "3");
        settings.preset("GPIB/Address", "9");
        ScriptedModalRunner runner;
        int shownBoard = -1;
        int shownAddress = -1;
        runner.script([&](QDialog &d) {
            auto *board = d.findChild<QComboBox *>("cmbGPIBn");
            auto *address = d.findChild<QComboBox *>("cmbAddress");
            shownBoard = board->currentIndex();
            shownAddress = address->currentIndex();
            board->setCurrentIndex(5);
            address->setCurrentIndex(17);
            d.findChild<QPushButton *>("OKButton")->click();
            return QDialog::Accepted;
        });
        dlgGPIB dlg;
        QVERIFY(dlg.Execute(false));
        QCOMPARE(runner.shownTitles, QStringList{"Dialog Caption"});
        QCOMPARE(shownBoard, 3);
        QCOMPARE(shownAddress, 9);
        QCOMPARE(dlg.GPIBn(), 5);
        QCOMPARE(dlg.Address(), 17);
        QCOMPARE(settings.writes, (QStringList{"GPIB/GPIBn=5", "GPIB/Address=17"}));

        // Opened for real, the board list has the focus: a typed digit picks
        // that board and Enter confirms it.
        runner.script([](QDialog &d) {
            QTimer::singleShot(0, &d, [&d] {
                QTest::keyClicks(d.focusWidget(), "2");
                QTest::keyClick(d.focusWidget(), Qt::Key_Return);
            });
            return d.exec();
        });
        QVERIFY(dlg.Execute(false));
        QCOMPARE(dlg.GPIBn(), 2);
        QCOMPARE(dlg.Address(), 17);
    }

    // The backend and the adapter: shown as stored with the fields that apply
    // enabled, and only what the user changed written back. A backend name the
    // program does not know shows as "auto" and stays stored.
    void linkSettingsShownAndStored()
    {
        MemorySettings settings;
        settings.preset("GPIB/Backend", "prologix-ethernet");
        settings.preset("GPIB/AdapterHost", "bench-gpib.local:1234");
        ScriptedModalRunner runner;
        QStringList seen;
        const auto look = [&seen](QDialog &d) {
            auto *port = d.findChild<QComboBox *>("cmbAdapterPort");
            auto *host = d.findChild<QLineEdit *>("txtAdapterHost");
            seen << d.findChild<QComboBox *>("cmbBackend")->currentText() + "|" + port->currentText() + "|" +
                        host->text() + "|" + (port->isEnabled() ? "port" : "-") + (host->isEnabled() ? "host" : "-");
        };
        runner.script([&](QDialog &d) {
            look(d);
            d.findChild<QComboBox *>("cmbBackend")->setCurrentIndex(3);
            d.findChild<QComboBox *>("cmbAdapterPort")->setCurrentText(" /dev/ttyUSB3 ");
            look(d);
            d.findChild<QPushButton *>("OKButton")->click();
            return QDialog::Accepted;
        });
        dlgGPIB dlg;
        QVERIFY(dlg.Execute(false));
        QCOMPARE(seen, (QStringList{"Prologix Ethernet||bench-gpib.local:1234|-host",
                                    "Prologix USB| /dev/ttyUSB3 |bench-gpib.local:1234|port-"}));
        QCOMPARE(settings.writes, (QStringList{"GPIB/Backend=prologix-usb", "GPIB/AdapterPort=/dev/ttyUSB3",
                                               "GPIB/GPIBn=0", "GPIB/Address=0"}));

        settings.preset("GPIB/Backend", "gpib-over-pigeon");
        settings.writes.clear();
        seen.clear();
        runner.script([&](QDialog &d) {
            look(d);
            d.findChild<QPushButton *>("OKButton")->click();
            return QDialog::Accepted;
        });
        QVERIFY(dlg.Execute(false));
        QCOMPARE(seen, QStringList{"auto|/dev/ttyUSB3|bench-gpib.local:1234|porthost"});
        QCOMPARE(settings.writes, (QStringList{"GPIB/GPIBn=0", "GPIB/Address=0"}));
        QCOMPARE(settings.values.value("GPIB/Backend"), QString("gpib-over-pigeon"));

        // Cancel keeps the stored backend whatever was picked.
        settings.writes.clear();
        runner.script([](QDialog &d) {
            d.findChild<QComboBox *>("cmbBackend")->setCurrentIndex(1);
            d.findChild<QPushButton *>("CancelButton")->click();
            return QDialog::Rejected;
        });
        QVERIFY(!dlg.Execute(false));
        QVERIFY(settings.writes.isEmpty());
    }

    void cancelChangesNothing()
    {
        MemorySettings settings;
        settings.preset("GPIB/GPIBn", "3");
        settings.preset("GPIB/Address", "9");
        ScriptedModalRunner runner;
        runner.script([](QDialog &d) {
            d.findChild<QPushButton *>("OKButton")->click();
            return QDialog::Accepted;
        });
        runner.script([](QDialog &d) {
            d.findChild<QComboBox *>("cmbAddress")->setCurrentIndex(20);
            d.findChild<QPushButton *>("CancelButton")->click();
            return QDialog::Rejected;
        });
        dlgGPIB dlg;
        QVERIFY(dlg.Execute(false));
        settings.writes.clear();
        QVERIFY(!dlg.Execute(false));
        QVERIFY(settings.writes.isEmpty());
        QCOMPARE(settings.values.value("GPIB/Address"), QString("9"));
    }
};

QTEST_MAIN(TestDlgGPIB)
#include "tst_dlggpib.moc"
