#include "MemorySettings.h"
#include "recording/graph/ColorPicker.h"
#include "recording/table/dlgRecordLength.h"
#include "recording/database/SampleInterval.h"
#include "ScriptedMessageBox.h"
#include "ScriptedModalRunner.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace qle;
using namespace qle::testing;

namespace {

QComboBox *list(QDialog &d, const char *name)
{
    return d.findChild<QComboBox *>(name);
}

int click(QDialog &d, const char *button)
{
    auto *b = d.findChild<QPushButton *>(button);
    if (!b) {
        qWarning() << "no button" << button;
        return QDialog::Rejected;
    }
    b->click();
    return d.result();
}

QStringList entries(QComboBox *box)
{
    QStringList result;
    for (int i = 0; i < box->count(); ++i)
        result.append(box->itemText(i));
    return result;
}

void focusByTab(QWidget *widget, Qt::FocusReason reason = Qt::TabFocusReason)
{
    QFocusEvent event(QEvent::FocusIn, reason);
    QCoreApplication::sendEvent(widget, &event);
}

// Answers every pick with the next scripted colour and notes what it was offered.
class ScriptedColorPicker final : public IColorPicker {
public:
    ScriptedColorPicker() { recording::setColorPicker(this); }
    ~ScriptedColorPicker() override { recording::setColorPicker(nullptr); }
    ScriptedColorPicker(const ScriptedColorPicker &) = delete;
    ScriptedColorPicker &operator=(const ScriptedColorPicker &) = delete;

    QColor pick(const QColor &initial, QWidget *) override
    {
        offered.append(initial);
        return answers.isEmpty() ? initial : answers.takeFirst();
    }

    QList<QColor> answers;
    QList<QColor> offered;
};

const QString Section = "RECORDPERIOD/";

} // namespace

class TestRecordSettings : public QObject {
    Q_OBJECT

private slots:
    void intervalTable_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("label");
        QTest::addColumn<int>("seconds");
        QTest::newRow("0") << 0 << "1 second" << 1;
        QTest::newRow("1") << 1 << "2 seconds" << 2;
        QTest::newRow("2") << 2 << "5 seconds" << 5;
        QTest::newRow("3") << 3 << "10 seconds" << 10;
        QTest::newRow("4") << 4 << "30 seconds" << 30;
        QTest::newRow("5") << 5 << "1 min" << 60;
        QTest::newRow("6") << 6 << "5 mins" << 300;
        QTest::newRow("7 is ten minutes") << 7 << "10 mins" << 600;
        QTest::newRow("8 is thirty minutes") << 8 << "30 mins" << 1800;
        QTest::newRow("9 is one hour") << 9 << "1 Hour" << 3600;
    }
    void intervalTable()
    {
        QFETCH(int, position);
        QFETCH(QString, label);
        QFETCH(int, seconds);
        MemorySettings store;
        dlgRecordLength dlg;
        QCOMPARE(list(dlg, "cmdScale")->itemText(position), label);
        QCOMPARE(sampleinterval::labels().value(position), label);
        QCOMPARE(sampleinterval::seconds(position), seconds);
        QCOMPARE(sampleinterval::reductionLimit(position), seconds - 1);
    }

    void firstRunOffersFirstEntriesAndDefaultColours()
    {
        MemorySettings store;
        ScriptedModalRunner runner;
        dlgRecordLength dlg;
        QCOMPARE(dlg.windowTitle(), QString("Dialog Record Time Length"));
        runner.script([&](QDialog &d) {
            const QStringList names{"cmbDays", "cmbHours", "cmbMinuites", "cmbSeconds", "cmdScale", "cmdOperation"};
            const QStringList labels{"Days:", "Hours:", "Miniutes:", "Seconds:", "Scale:", "Point Operation:"};
            for (int i = 0; i < names.size(); ++i) {
                QComboBox *box = list(d, qPrintable(names.at(i)));
                [&] { QVERIFY2(box, qPrintable(names.at(i))); }();
                if (!box)
                    return click(d, "CancelButton");
                [&] { QCOMPARE(box->currentIndex(), 0); }();
                auto *label = d.findChild<QLabel *>(names.at(i) + "Label");
                [&] { QCOMPARE(label ? label->text() : QString(), labels.at(i)); }();
            }
            [&] {
                QCOMPARE(entries(list(d, "cmbDays")), QStringList({"0", "1", "2", "3", "4", "5", "6", "7"}));
                QCOMPARE(list(d, "cmbHours")->count(), 24);
                QCOMPARE(list(d, "cmbMinuites")->count(), 60);
                // Opened, the 60 minutes show a bounded part at a time.
                QComboBox *minutes = list(d, "cmbMinuites");
                d.show();
                minutes->showPopup();
                const int rowHeight = minutes->view()->sizeHintForRow(0);
                QVERIFY2(minutes->view()->height() <= (dlgRecordLength::MaxVisibleEntries + 1) * rowHeight,
                         qPrintable(QString::number(minutes->view()->height())));
                minutes->hidePopup();
                QCOMPARE(entries(list(d, "cmbSeconds")),
                         QStringList({"0", "5", "10", "15", "20", "25", "30", "35", "40", "45", "50", "55"}));
                QCOMPARE(entries(list(d, "cmdScale")), sampleinterval::labels());
                QCOMPARE(entries(list(d, "cmdOperation")), QStringList({"Maximum", "Minimum", "Average"}));
                QVERIFY(!list(d, "cmdOperation")->isEnabled());
                QCOMPARE(d.findChild<QLineEdit *>("txtCh1Color")->text(), QString("49152"));
                QCOMPARE(d.findChild<QLineEdit *>("txtCh2Color")->text(), QString("12582912"));
                QCOMPARE(d.findChild<QLineEdit *>("txtCh3Color")->text(), QString("8388736"));
                QCOMPARE(d.findChild<QLabel *>("lblCh2Color")->text(), QString("Ch2 Color:"));
                QCOMPARE(d.findChild<QPushButton *>("OKButton")->text(), QString("OK"));
                QCOMPARE(d.findChild<QPushButton *>("CancelButton")->text(), QString("Cancel"));
            }();
            return click(d, "CancelButton");
        });
        QVERIFY(!dlg.Execute());
        QVERIFY(runner.steps.isEmpty());
        QCOMPARE(dlg.swatchColor(0), QColor(0, 0xC0, 0));
        QCOMPARE(dlg.swatchColor(1), QColor(0, 0, 0xC0));
        QCOMPARE(dlg.swatchColor(2), QColor(0x80, 0, 0x80));
        QCOMPARE(dlg.Ch1Color, QString("49152"));
        QCOMPARE(dlg.txtCh3Color(), QString("8388736"));
        QVERIFY(store.writes.isEmpty());
    }

    // Short intervals allow only a few days; OK in the message takes the
    // highest allowed day count, and that is what is saved.
    void dayLimits_data()
    {
        QTest::addColumn<int>("scale");
        QTest::addColumn<int>("days");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("savedDays");
        const QString choose = "\r\nChoose <Cancle> to change other setting!";
        QTest::newRow("1 second, 1 day") << 0 << 1 << "The Max. Record Time Lenth must less than 8.9 Hours !" + choose
                                         << 0;
        QTest::newRow("1 second, 0 days") << 0 << 0 << "" << 0;
        QTest::newRow("2 seconds, 2 days")
            << 1 << 2 << "The Max. Record Time Lenth must less than 17.8 Hours !" + choose << 0;
        QTest::newRow("5 seconds, 2 days")
            << 2 << 2 << "The Max. Record Time Lenth must less than 1.8 day !" + choose << 1;
        QTest::newRow("5 seconds, 1 day") << 2 << 1 << "" << 1;
        QTest::newRow("10 seconds, 5 days")
            << 3 << 5 << "The Max. Record Time Lenth must less than 3.8 day !" + choose << 3;
        QTest::newRow("10 seconds, 3 days") << 3 << 3 << "" << 3;
        QTest::newRow("30 seconds, 7 days") << 4 << 7 << "" << 7;
        QTest::newRow("1 Hour, 7 days") << 9 << 7 << "" << 7;
    }
    void dayLimits()
    {
        QFETCH(int, scale);
        QFETCH(int, days);
        QFETCH(QString, message);
        QFETCH(int, savedDays);
        MemorySettings store;
        ScriptedModalRunner runner;
        ScriptedMessageBox boxes;
        boxes.script(IMessageBox::Answer::Ok);
        dlgRecordLength dlg;
        runner.script([&](QDialog &d) {
            list(d, "cmdScale")->setCurrentIndex(scale);
            list(d, "cmbDays")->setCurrentIndex(days);
            return click(d, "OKButton");
        });
        QVERIFY(dlg.Execute());
        if (message.isEmpty()) {
            QVERIFY(boxes.shown().isEmpty());
        } else {
            QCOMPARE(boxes.texts(), QStringList{message});
            QCOMPARE(boxes.shown().first().buttons, IMessageBox::Buttons::OkCancel);
            QCOMPARE(boxes.shown().first().icon, IMessageBox::Icon::Information);
        }
        QCOMPARE(dlg.Days, savedDays);
        QCOMPARE(store.values.value(Section + "Days"), QString::number(savedDays));
        QCOMPARE(store.values.value(Section + "RecScale"), QString::number(scale));
    }

    void cancelInLimitMessageKeepsTheDialogOpen()
    {
        MemorySettings store;
        ScriptedModalRunner runner;
        ScriptedMessageBox boxes;
        boxes.script(IMessageBox::Answer::Cancel);
        dlgRecordLength dlg;
        runner.script([&](QDialog &d) {
            list(d, "cmdScale")->setCurrentIndex(0);
            list(d, "cmbDays")->setCurrentIndex(1);
            click(d, "OKButton");
            [&] {
                QCOMPARE(boxes.shown().size(), 1);
                QCOMPARE(list(d, "cmbDays")->currentIndex(), 1);
                QCOMPARE(d.result(), int(QDialog::Rejected));
            }();
            return click(d, "CancelButton");
        });
        QVERIFY(!dlg.Execute());
        QVERIFY(store.writes.isEmpty());
        QCOMPARE(dlg.Days, 0);
    }

    // Stored values select their list entries; values outside a list take its nearest entry.
    void storedValuesSelectAndSaveBack_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("listName");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("saved");
        QTest::newRow("35 seconds") << "Seconds"
                                    << "35"
                                    << "cmbSeconds" << 7 << "35";
        QTest::newRow("37 seconds") << "Seconds"
                                    << "37"
                                    << "cmbSeconds" << 7 << "35";
        QTest::newRow("90 seconds") << "Seconds"
                                    << "90"
                                    << "cmbSeconds" << 11 << "55";
        QTest::newRow("23 hours") << "Hours"
                                  << "23"
                                  << "cmbHours" << 23 << "23";
        QTest::newRow("59 minutes") << "Miniutes"
                                    << "59"
                                    << "cmbMinuites" << 59 << "59";
        QTest::newRow("9 days") << "Days"
                                << "9"
                                << "cmbDays" << 7 << "7";
        QTest::newRow("negative days") << "Days"
                                       << "-2"
                                       << "cmbDays" << 0 << "0";
        QTest::newRow("scale 12") << "RecScale"
                                  << "12"
                                  << "cmdScale" << 9 << "9";
        QTest::newRow("point style garbage") << "RecPointStyle"
                                             << "abc"
                                             << "cmdOperation" << 0 << "0";
        QTest::newRow("average") << "RecPointStyle"
                                 << "2"
                                 << "cmdOperation" << 2 << "2";
    }
    void storedValuesSelectAndSaveBack()
    {
        QFETCH(QString, key);
        QFETCH(QString, stored);
        QFETCH(QString, listName);
        QFETCH(int, position);
        QFETCH(QString, saved);
        MemorySettings store;
        store.values.insert(Section + key, stored);
        store.values.insert(Section + "RecScale", key == "RecScale" ? stored : "9");
        ScriptedModalRunner runner;
        ScriptedMessageBox boxes;
        dlgRecordLength dlg;
        int shown = -1;
        runner.script([&](QDialog &d) {
            shown = list(d, qPrintable(listName))->currentIndex();
            return click(d, "OKButton");
        });
        QVERIFY(dlg.Execute());
        QCOMPARE(shown, position);
        QCOMPARE(store.values.value(Section + key), saved);
    }

    // "1 second" has nothing to reduce: the point operation is disabled but keeps its choice.
    void oneSecondDisablesPointOperation()
    {
        MemorySettings store;
        store.values.insert(Section + "RecScale", "3");
        store.values.insert(Section + "RecPointStyle", "2");
        ScriptedModalRunner runner;
        dlgRecordLength dlg;
        runner.script([&](QDialog &d) {
            QComboBox *operation = list(d, "cmdOperation");
            [&] { QVERIFY(operation->isEnabled()); }();
            list(d, "cmdScale")->setCurrentIndex(0);
            [&] {
                QVERIFY(!operation->isEnabled());
                QCOMPARE(operation->currentIndex(), 2);
            }();
            list(d, "cmdScale")->setCurrentIndex(5);
            [&] { QVERIFY(operation->isEnabled()); }();
            list(d, "cmdScale")->setCurrentIndex(0);
            return click(d, "OKButton");
        });
        QVERIFY(dlg.Execute());
        QCOMPARE(dlg.RecScale, 0);
        QCOMPARE(dlg.RecPointStyle, 2);
        QCOMPARE(store.values.value(Section + "RecPointStyle"), QString("2"));
    }

    void okSavesEveryValueAsText()
    {
        MemorySettings store;
        ScriptedModalRunner runner;
        dlgRecordLength dlg;
        runner.script([&](QDialog &d) {
            list(d, "cmbDays")->setCurrentIndex(6);
            list(d, "cmbHours")->setCurrentIndex(5);
            list(d, "cmbMinuites")->setCurrentIndex(44);
            list(d, "cmbSeconds")->setCurrentIndex(3);
            list(d, "cmdScale")->setCurrentIndex(8);
            list(d, "cmdOperation")->setCurrentIndex(1);
            return click(d, "OKButton");
        });
        QVERIFY(dlg.Execute());
        QCOMPARE(QList<int>({dlg.Days, dlg.Hours, dlg.Miniutes, dlg.Seconds, dlg.RecScale, dlg.RecPointStyle}),
                 QList<int>({6, 5, 44, 15, 8, 1}));
        QStringList writes = store.writes;
        writes.sort();
        QCOMPARE(writes, QStringList({"RECORDPERIOD/Ch1Color=49152", "RECORDPERIOD/Ch2Color=12582912",
                                      "RECORDPERIOD/Ch3Color=8388736", "RECORDPERIOD/Days=6", "RECORDPERIOD/Hours=5",
                                      "RECORDPERIOD/Miniutes=44", "RECORDPERIOD/RecPointStyle=1",
                                      "RECORDPERIOD/RecScale=8", "RECORDPERIOD/Seconds=15"}));
    }

    void storedColoursFillTheSwatches_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QColor>("swatch");
        QTest::newRow("red") << "255" << QColor(255, 0, 0);
        QTest::newRow("bgr layout") << QString::number(0x102030) << QColor(0x30, 0x20, 0x10);
        QTest::newRow("not a number") << "abc" << QColor(0, 0, 0);
        QTest::newRow("spaces around") << " 65280 " << QColor(0, 255, 0);
    }
    void storedColoursFillTheSwatches()
    {
        QFETCH(QString, stored);
        QFETCH(QColor, swatch);
        MemorySettings store;
        store.values.insert(Section + "Ch2Color", stored);
        ScriptedModalRunner runner;
        dlgRecordLength dlg;
        QVERIFY(!dlg.Execute());
        QCOMPARE(dlg.swatchColor(1), swatch);
        QCOMPARE(dlg.txtCh2Color(), stored);
        QCOMPARE(dlg.swatchColor(0), QColor(0, 0xC0, 0));
    }

    // Focus on a colour box opens the picker on the swatch's colour; focus
    // that comes back by itself does not.
    void colourPickedByFocus()
    {
        MemorySettings store;
        ScriptedModalRunner runner;
        ScriptedColorPicker picker;
        picker.answers = {QColor(255, 0, 0), QColor(0, 0, 255)};
        dlgRecordLength dlg;
        runner.script([&](QDialog &d) {
            auto *box = d.findChild<QLineEdit *>("txtCh2Color");
            focusByTab(box, Qt::ActiveWindowFocusReason);
            [&] { QVERIFY(picker.offered.isEmpty()); }();
            focusByTab(box);
            [&] {
                QCOMPARE(picker.offered, QList<QColor>{QColor(0, 0, 0xC0)});
                QCOMPARE(box->text(), QString("255"));
            }();
            return click(d, "OKButton");
        });
        QVERIFY(dlg.Execute());
        QCOMPARE(dlg.Ch2Color, QString("255"));
        QCOMPARE(dlg.txtCh2Color(), QString("255"));
        QCOMPARE(dlg.swatchColor(1), QColor(255, 0, 0));
        QCOMPARE(store.values.value(Section + "Ch2Color"), QString("255"));

        // A colour picked and then cancelled is neither kept nor saved.
        store.writes.clear();
        runner.script([&](QDialog &d) {
            focusByTab(d.findChild<QLineEdit *>("txtCh2Color"), Qt::MouseFocusReason);
            return click(d, "CancelButton");
        });
        QVERIFY(!dlg.Execute());
        QCOMPARE(picker.offered.last(), QColor(255, 0, 0));
        QCOMPARE(dlg.Ch2Color, QString("255"));
        QCOMPARE(dlg.txtCh2Color(), QString("255"));
        QCOMPARE(dlg.swatchColor(1), QColor(255, 0, 0));
        QVERIFY(store.writes.isEmpty());
    }

    // Closing the window by its frame is a Cancel.
    void closingByFrameReturnsFalse()
    {
        MemorySettings store;
        ScriptedModalRunner runner;
        dlgRecordLength dlg;
        runner.script([&](QDialog &d) {
            list(d, "cmbDays")->setCurrentIndex(2);
            d.reject();
            return int(QDialog::Rejected);
        });
        QVERIFY(!dlg.Execute());
        QCOMPARE(dlg.Days, 0);
        QVERIFY(store.writes.isEmpty());
    }
};

QTEST_MAIN(TestRecordSettings)
#include "tst_recordsettings.moc"
