#include "comm/CommTasker.h"
#include "dialogs/dlgAutoMode.h"
#include "dialogs/dlgConfigRS232.h"
#include "dialogs/dlgDelay.h"
#include "dialogs/dlgGPIB.h"
#include "dialogs/dlgReadTimes.h"
#include "ManualClock.h"
#include "PtyPair.h"
#include "RecorderDoubles.h"
#include "RecordFile.h"
#include "recording/graph/ColorPicker.h"
#include "recording/table/dlgRecordLength.h"
#include "recording/table/frmDataTable.h"
#include "recording/database/RecordDatabase.h"
#include "recording/table/RecordTableModel.h"
#include "ScriptedMessageBox.h"
#include "ScriptedModalRunner.h"

#include <QComboBox>
#include <QDateTime>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

using namespace qle;
using namespace qle::testing;

namespace {

// Text a user, a pasted clipboard or a misbehaving instrument may bring.
QList<QPair<const char *, QString>> hostileTexts()
{
    QString big;
    while (big.size() < 64 * 1024)
        big += QString::fromUtf8("ab'c\"d;-- \u6f22\u5b57 %_\\ ");
    big.truncate(64 * 1024);
    return {
        {"single quotes", "bench 'A' ''and'' '"},
        {"double quotes", "\"quoted\" \"\"twice\"\""},
        {"statement end", "'; drop table datamain; --"},
        {"statement in quotes", "\"); delete from datadetail; --"},
        {"comment and union", "x' union select RecNo from datamain /*"},
        {"wildcards and backslash", "100% _like_ \\ \\' \\\""},
        {"line ends and tabs", "line 1\r\nline 2\n\tend\r"},
        {"64 KB", big},
        {"Chinese", QString::fromUtf8("\u96fb\u6e90\u4f9b\u61c9\u5668 \u6e2c\u8a66 \u8a3b\u89e3")},
        {"accents and combining", QString::fromUtf8("\u00dcn\u00efc\u00f6d\u00e9 e\u0301 \u00df")},
        {"right to left",
         QString::fromUtf8("\u05e2\u05d1\u05e8\u05d9\u05ea \u0627\u0644\u0639\u0631\u0628\u064a\u0629")},
        {"outside the BMP", QString::fromUtf8("\U0001F600 \U0001F50C \U00010348")},
        {"NUL inside", QString::fromUtf8("before\0after", 12)},
        {"empty", QString()},
    };
}

RecordRow row(qint64 seq, const QString &reading)
{
    RecordRow r;
    r.seqNo = seq;
    r.recTime = QStringLiteral("2024/03/01 10:00:%1").arg(seq, 2, 10, QChar(u'0'));
    for (std::size_t ch = 0; ch < 3; ++ch) {
        r.pval[ch] = reading;
        r.sval[ch] = QStringLiteral("0.%1").arg(seq);
    }
    r.timeTick = seq;
    r.diffLastTime = seq == 0 ? 0 : 1;
    return r;
}

RecordHeader header(const QString &comment)
{
    RecordHeader h;
    h.startTime = "2024/03/01 10:00:00";
    h.endTime = "2024/03/01 10:01:00";
    h.comment = comment;
    h.recStyle = "0";
    h.showStyle = "0";
    return h;
}

// The tables a statement smuggled into a text would have hit.
void checkTablesIntact(const RecordFile &file, qint64 catalogueRows)
{
    QCOMPARE(file.count("data1"), catalogueRows);
    QVERIFY(file.count("datamain") >= 0);
    QVERIFY(file.count("datadetail") >= 0);
    QVERIFY(file.count("datatemp") >= 0);
    QCOMPARE(file.column("PRAGMA integrity_check"), QVariantList{"ok"});
}

} // namespace

// Hostile text in comments, descriptions and readings, and hand-edited
// settings.
class TestHostileInput : public QObject {
    Q_OBJECT

private:
    QTemporaryDir config;
    int m_writes = 0;

    [[nodiscard]] QString confPath() const { return config.filePath("QLE-1-0.conf"); }

    // The settings file as a user left it after editing it by hand.
    void writeConf(const QString &text)
    {
        QFile file(confPath());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text.toUtf8());
        QVERIFY(file.flush());
        // A distinct time stamp, so the settings layer sees a changed file.
        QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(++m_writes), QFileDevice::FileModificationTime));
    }
    static QString stored(const QString &section, const QString &key)
    {
        return QSettings(QSettings::NativeFormat, QSettings::UserScope, "QLE-1-0")
            .value(section + "/" + key, "<none>")
            .toString();
    }
    static int storedInt(const QString &section, const QString &key)
    {
        bool ok = false;
        const int value = stored(section, key).toInt(&ok);
        return ok ? value : -99999;
    }

private slots:
    void initTestCase()
    {
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
        QVERIFY(!QFile::exists(confPath()));
    }

    // ------------------------------------------------------------ record texts

    void recordTextsComeBackVerbatim_data()
    {
        QTest::addColumn<QString>("text");
        for (const auto &[name, text] : hostileTexts())
            QTest::newRow(name) << text;
    }
    void recordTextsComeBackVerbatim()
    {
        QFETCH(QString, text);
        RecordFile file;
        QVERIFY(file.ok());
        const qint64 catalogueRows = file.count("data1");
        RecordDatabase records(file.db());

        // The text as a reading of every channel, as the instrument sent it.
        QVERIFY(records.addSample(row(0, text)));
        QVERIFY(records.addSample(row(1, "1.000")));
        QVERIFY2(records.setRowComment("2024/03/01 10:00:01", text), qPrintable(records.errorDescription()));
        QList<RecordRow> rows;
        QVERIFY(records.workingRows(ReasonFilter::All, &rows));
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows.at(0).pval[0], text);
        QCOMPARE(rows.at(0).pval[2], text);
        QCOMPARE(rows.at(0).comment, QString(""));
        QCOMPARE(rows.at(1).comment, text);
        QCOMPARE(rows.at(1).pval[0], QString("1.000"));

        // Saved with the text as its description, listed and read back.
        QString recNo;
        QVERIFY2(records.saveRecord(header(text), &recNo), qPrintable(records.errorDescription()));
        QCOMPARE(recNo, QString("1"));
        std::optional<RecordHeader> read;
        QVERIFY(records.readHeader(recNo, &read));
        QVERIFY(read);
        QCOMPARE(read->comment, text);
        QList<RecordHeader> list;
        QVERIFY(records.listRecords(&list));
        QCOMPARE(list.size(), 1);
        QCOMPARE(list.first().comment, text);

        // Replaced under a new description made of the same text twice.
        QVERIFY2(records.replaceRecord(recNo, text + text), qPrintable(records.errorDescription()));
        QVERIFY(records.readHeader(recNo, &read));
        QCOMPARE(read->comment, text + text);
        QCOMPARE(file.count("datadetail"), 2);

        // Loaded back into the working table.
        QVERIFY(records.clearWorking());
        QVERIFY(records.loadRecord(recNo));
        QVERIFY(records.workingRows(ReasonFilter::All, &rows));
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows.at(0).pval[1], text);
        QCOMPARE(rows.at(1).comment, text);

        // A record number made of the text finds nothing and breaks nothing.
        QVERIFY(records.readHeader(text, &read));
        QVERIFY(!read);
        QVERIFY(records.loadRecord(text));
        qint64 count = -1;
        QVERIFY(records.countWorking(&count));
        QCOMPARE(count, 0);
        checkTablesIntact(file, catalogueRows);
        QCOMPARE(file.count("datamain"), 1);
        QCOMPARE(file.count("datadetail"), 2);
    }

    // The table window keeps the number of the record it shows; the graph
    // window can delete that record meanwhile. Replacing it then must not
    // leave rows without a header, which the next save would take over.
    void replacingADeletedRecordLeavesNoRows()
    {
        RecordFile file;
        QVERIFY(file.ok());
        RecordDatabase records(file.db());
        QVERIFY(records.addSample(row(0, "1.000")));
        QVERIFY(records.addSample(row(1, "2.000")));
        QString recNo;
        QVERIFY(records.saveRecord(header("first"), &recNo));
        QVERIFY(file.exec("delete from datadetail where RecNo = ?", {recNo}));
        QVERIFY(file.exec("delete from datamain where RecNo = ?", {recNo}));

        // The replace fails and says why; no rows without a header.
        QVERIFY(!records.replaceRecord(recNo, "replaced after the delete"));
        QCOMPARE(records.errorDescription(), "Record " + recNo + " no longer exists.");
        QCOMPARE(file.count("datamain"), 0);
        QCOMPARE(file.count("datadetail"), 0);

        // The next record saved gets the same number and, with it, those rows.
        QString next;
        QVERIFY(records.saveRecord(header("second"), &next));
        QVERIFY(records.loadRecord(next));
        qint64 count = -1;
        QVERIFY(records.countWorking(&count));
        QCOMPARE(count, 2);
    }

    // The record list cuts a description to 25 characters: never inside a
    // character that takes two UTF-16 units.
    void recordListCutsWholeCharacters()
    {
        RecordHeader h = header(QString(24, u'a') + QString::fromUtf8("\U0001F600 tail"));
        h.recNo = "1";
        const QString line = RecordDatabase::listLine(h, 14);
        QVERIFY(!line.isEmpty());
        QVERIFY2(!line.back().isHighSurrogate(), qPrintable(line));
        QCOMPARE(line.size(), 6 + 14 + 1 + 25);
        QVERIFY(line.endsWith(QString(24, u'a') + u' '));
        // A pair that fits is kept whole.
        h.comment = QString(23, u'a') + QString::fromUtf8("\U0001F600 tail");
        QVERIFY(RecordDatabase::listLine(h, 14).endsWith(QString(23, u'a') + QString::fromUtf8("\U0001F600")));
    }

    // Through the table recorder's window: the description box and the comment
    // box of a row, as a user fills them.
    void tableWindowStoresWhatTheBoxesHold_data() { recordTextsComeBackVerbatim_data(); }
    void tableWindowStoresWhatTheBoxesHold()
    {
        QFETCH(QString, text);
        RecordFile file;
        QVERIFY(file.ok());
        const qint64 catalogueRows = file.count("data1");
        ScriptedMessageBox boxes;
        ManualClock clock;
        FakePanel panel(1);
        FakeRecorderHost host;
        host.panel = &panel;
        frmDataTable table(host, file.db());
        table.RecordPeriod(0, 0, 0, 5, 0, 0);
        table.BeginRecordData();
        QVERIFY(table.isRecording());
        table.TimerRecordData.stop();
        for (int i = 0; i < 3; ++i) {
            panel.volts[0] = text;
            clock.advance(1.0);
            table.TimerRecordData_Timer();
        }
        QCOMPARE(table.iCurrentRow, 3);

        // A comment on row 1, typed into the comment box.
        table.grdHelQuest_Click(1, table.gridModel().commentColumn());
        QVERIFY(table.pnlDataComment->isVisibleTo(&table));
        table.txtDataComment->setText(text);
        const QString comment = table.txtDataComment->text();
        table.cmdProcOK_Click();
        QVERIFY2(boxes.shown().isEmpty(), qPrintable(boxes.texts().join(u'|')));

        table.txtDataDesc->setText(text);
        const QString description = table.txtDataDesc->text();
        boxes.script(IMessageBox::Answer::Yes);
        table.cmdSave_Click();
        QCOMPARE(boxes.texts(), QStringList{"Do you want to save this record data?"});
        QCOMPARE(table.txtRecno->text(), QString("1"));
        QCOMPARE(file.column("select Comment from datamain where RecNo = '1'"), QVariantList{description});
        QCOMPARE(file.column("select Comment from datadetail where RecNo = '1' order by SeqNo"),
                 (QVariantList{"", comment, ""}));
        // The recorder takes a reading through a line-edit box too.
        const QString reading = text.left(32767);
        QCOMPARE(file.column("select PVal from datadetail where RecNo = '1' order by SeqNo"),
                 (QVariantList{reading, reading, reading}));
        // A line-edit box holds at most 32767 characters: what it shows is
        // what is kept, and a shorter text is kept whole.
        if (text.size() <= 32767)
            QCOMPARE(description, text);

        // Listed and loaded back into the boxes.
        table.cmdClear_Click();
        table.cmdLoadRecord_Click();
        QCOMPARE(table.List1->count(), 1);
        table.List1_Click(0);
        QCOMPARE(table.txtDataDesc->text(), description);
        QCOMPARE(table.gridModel().row(1).comment(), comment);
        checkTablesIntact(file, catalogueRows);
    }

    // ------------------------------------------------------------ settings

    void readTimes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("shown");
        QTest::newRow("in range") << "12" << 12;
        QTest::newRow("blanks around") << "  7  " << 7;
        QTest::newRow("above") << "99999" << 32;
        QTest::newRow("far above") << "2147483648" << 32;
        QTest::newRow("exponent") << "4e1" << 32;
        QTest::newRow("below") << "-5" << 0;
        QTest::newRow("far below") << "-1e300" << 0;
        QTest::newRow("fraction") << "3.7" << 3;
        QTest::newRow("letters") << "abc" << 5;
        QTest::newRow("empty") << "" << 5;
        QTest::newRow("with unit") << "7 sec" << 5;
        QTest::newRow("hexadecimal") << "0x10" << 5;
        QTest::newRow("decimal comma") << "1,5" << 5;
        QTest::newRow("not a number") << "nan" << 5;
        QTest::newRow("infinite") << "inf" << 5;
        QTest::newRow("overflow") << "1e999" << 5;
        QTest::newRow("thousand digits") << QString(1000, u'9') << 5;
        QTest::newRow("typed variant") << "@Rect(1 2 3 4)" << 5;
        QTest::newRow("broken variant") << "@Variant(\\0\\0\\0\\x7f\\xff\\xff)" << 5;
        QTest::newRow("byte array") << "@ByteArray(9)" << 9;
    }
    void readTimes()
    {
        QFETCH(QString, text);
        QFETCH(int, shown);
        writeConf("[ReadTimes]\nReadTimes=" + text + "\n");
        ScriptedModalRunner dialogs;
        int seen = -1;
        dialogs.script([&seen](QDialog &d) {
            seen = d.findChild<QSpinBox *>("numEdit")->value();
            d.findChild<QPushButton *>("OKButton")->click();
            return QDialog::Accepted;
        });
        dlgReadTimes dialog;
        QVERIFY(dialog.Execute());
        QCOMPARE(seen, shown);
        QCOMPARE(dialog.ReadTimes(), shown);
        QCOMPARE(storedInt("ReadTimes", "ReadTimes"), shown);
    }

    void otherNumberDialogs()
    {
        writeConf("[Delay]\nDelay=0\n[AutoMode]\nStartMemory=-3\nEndMemory=100\nCycle=1e9\n");
        ScriptedModalRunner dialogs;
        QList<int> seen;
        auto take = [&seen](const QStringList &names) {
            return [&seen, names](QDialog &d) {
                for (const QString &name : names)
                    seen.append(d.findChild<QSpinBox *>(name)->value());
                d.findChild<QPushButton *>("OKButton")->click();
                return int(QDialog::Accepted);
            };
        };
        dialogs.script(take({"numEdit"}));
        dialogs.script(take({"numStartMemory", "numEndMemory", "numCycle"}));
        dlgDelay delay;
        QVERIFY(delay.Execute());
        dlgAutoMode autoMode;
        QVERIFY(autoMode.Execute());
        QCOMPARE(seen, (QList<int>{1, 0, 99, 99999}));
        QCOMPARE(storedInt("Delay", "Delay"), 1);
        QCOMPARE(storedInt("AutoMode", "Cycle"), 99999);
    }

    void gpib_data()
    {
        QTest::addColumn<QString>("board");
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("boardShown");
        QTest::addColumn<int>("addressShown");
        QTest::newRow("in range") << "2"
                                  << "17" << 2 << 17;
        QTest::newRow("above") << "11"
                               << "31" << 10 << 30;
        QTest::newRow("below") << "-1"
                               << "-32768" << 0 << 0;
        QTest::newRow("not numbers") << "GPIB0"
                                     << "five" << 0 << 0;
        QTest::newRow("huge") << "1e20"
                              << "99999999999999999999" << 10 << 30;
        QTest::newRow("empty") << ""
                               << "" << 0 << 0;
    }
    void gpib()
    {
        QFETCH(QString, board);
        QFETCH(QString, address);
        QFETCH(int, boardShown);
        QFETCH(int, addressShown);
        writeConf("[GPIB]\nGPIBn=" + board + "\nAddress=" + address + "\n");
        ScriptedModalRunner dialogs;
        int seenBoard = -2;
        int seenAddress = -2;
        dialogs.script([&](QDialog &d) {
            seenBoard = d.findChild<QComboBox *>("cmbGPIBn")->currentIndex();
            seenAddress = d.findChild<QComboBox *>("cmbAddress")->currentIndex();
            d.findChild<QPushButton *>("OKButton")->click();
            return QDialog::Accepted;
        });
        dlgGPIB dialog;
        QVERIFY(dialog.Execute(false));
        QCOMPARE(seenBoard, boardShown);
        QCOMPARE(seenAddress, addressShown);
        QCOMPARE(storedInt("GPIB", "GPIBn"), boardShown);
        QCOMPARE(storedInt("GPIB", "Address"), addressShown);
    }

    void serialLink_data()
    {
        QTest::addColumn<QString>("portIndex");
        QTest::addColumn<QString>("rateIndex");
        QTest::addColumn<QString>("rest");
        QTest::addColumn<int>("rateShown");
        QTest::newRow("in range") << "0"
                                  << "2"
                                  << "" << 2;
        QTest::newRow("rate past the list") << "0"
                                            << "99"
                                            << "" << -1;
        QTest::newRow("rate below the list") << "0"
                                             << "-7"
                                             << "" << -1;
        QTest::newRow("port past the list") << "40000"
                                            << "1"
                                            << "" << 1;
        QTest::newRow("not numbers") << "first"
                                     << "fast"
                                     << "ComPort=COM1\nBaudRate=quick\n"
                                     << 0;
        QTest::newRow("port number out of range") << "0"
                                                  << "0"
                                                  << "ComPort=-4\nBaudRate=-9600\n"
                                                  << 0;
    }
    void serialLink()
    {
        QFETCH(QString, portIndex);
        QFETCH(QString, rateIndex);
        QFETCH(QString, rest);
        QFETCH(int, rateShown);
        writeConf("[RS232]\nComPortIndex=" + portIndex + "\nBaudRateIndex=" + rateIndex + "\n" + rest);
        PtyPair pty;
        QVERIFY(pty.isValid());
        dlgConfigRS232::setSystemPortLister([] { return QStringList(); });
        dlgConfigRS232::setExtraDevicePaths({pty.slavePath()});
        ScriptedMessageBox boxes;
        ScriptedModalRunner dialogs;
        int seenPort = -2;
        int ports = 0;
        int seenRate = -2;
        int rates = 0;
        dialogs.script([&](QDialog &d) {
            auto &dialog = static_cast<dlgConfigRS232 &>(d);
            seenPort = dialog.Combo1()->currentIndex();
            ports = dialog.Combo1()->count();
            seenRate = dialog.Combo2()->currentIndex();
            rates = dialog.Combo2()->count();
            dialog.Combo1()->setCurrentIndex(0);
            d.findChild<QPushButton *>("OKButton")->click();
            return QDialog::Accepted;
        });
        CommTasker engine;
        bool accepted = false;
        {
            dlgConfigRS232 dialog(engine);
            accepted = dialog.Execute(false);
        }
        dlgConfigRS232::setSystemPortLister({});
        dlgConfigRS232::setExtraDevicePaths({});
        QCOMPARE(ports, 1);
        QVERIFY2(seenPort >= -1 && seenPort < ports, qPrintable(QString::number(seenPort)));
        QVERIFY2(seenRate >= -1 && seenRate < rates, qPrintable(QString::number(seenRate)));
        QVERIFY(boxes.shown().isEmpty());
        QCOMPARE(seenRate, rateShown);
        if (rateShown < 0) {
            // A stored position that no longer exists leaves the list without a
            // selection; OK then answers false and nothing is saved.
            QVERIFY(!accepted);
            QCOMPARE(stored("RS232", "BaudRateIndex"), rateIndex);
            return;
        }
        QVERIFY(accepted);
        QCOMPARE(storedInt("RS232", "BaudRateIndex"), rateShown);
        const int rate = storedInt("RS232", "BaudRate");
        QVERIFY2(QList<int>({9600, 4800, 2400, 1200}).contains(rate), qPrintable(QString::number(rate)));
    }

    void recordLength_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<int>>("shown"); // days, hours, minutes, seconds/5, scale, operation
        QTest::newRow("in range") << "Days=2\nHours=5\nMiniutes=30\nSeconds=45\nRecScale=4\nRecPointStyle=2\n"
                                  << QList<int>{2, 5, 30, 9, 4, 2};
        QTest::newRow("above") << "Days=100\nHours=24\nMiniutes=60\nSeconds=57\nRecScale=42\nRecPointStyle=9\n"
                               << QList<int>{7, 23, 59, 11, 9, 2};
        QTest::newRow("below") << "Days=-1\nHours=-24\nMiniutes=-60\nSeconds=-5\nRecScale=-1\nRecPointStyle=-9\n"
                               << QList<int>{0, 0, 0, 0, 0, 0};
        QTest::newRow("not numbers") << "Days=two\nHours=\nMiniutes=nan\nSeconds=1,5\nRecScale=x\nRecPointStyle=max\n"
                                     << QList<int>{0, 0, 0, 0, 0, 0};
        QTest::newRow("seconds off the step") << "Seconds=7\n" << QList<int>{0, 0, 0, 1, 0, 0};
    }
    void recordLength()
    {
        QFETCH(QString, text);
        QFETCH(QList<int>, shown);
        writeConf("[RECORDPERIOD]\n" + text);
        ScriptedModalRunner dialogs;
        QList<int> seen;
        QList<int> counts;
        dialogs.script([&](QDialog &d) {
            for (const char *name : {"cmbDays", "cmbHours", "cmbMinuites", "cmbSeconds", "cmdScale", "cmdOperation"}) {
                const auto *list = d.findChild<QComboBox *>(name);
                seen.append(list->currentIndex());
                counts.append(list->count());
            }
            d.findChild<QPushButton *>("OKButton")->click();
            return QDialog::Accepted;
        });
        ScriptedMessageBox boxes;
        boxes.script(IMessageBox::Answer::Ok); // a day limit of a short interval
        dlgRecordLength dialog;
        QVERIFY(dialog.Execute());
        for (int i = 0; i < seen.size(); ++i)
            QVERIFY2(seen.at(i) >= 0 && seen.at(i) < counts.at(i), qPrintable(QString::number(i)));
        QCOMPARE(seen, shown);
        QVERIFY(storedInt("RECORDPERIOD", "Days") >= 0 && storedInt("RECORDPERIOD", "Days") <= 7);
        QVERIFY(storedInt("RECORDPERIOD", "Seconds") % 5 == 0);
        QCOMPARE(storedInt("RECORDPERIOD", "RecScale"), shown.at(4));
    }

    void recordColours_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("negative") << "-1";
        QTest::newRow("above 24 bits") << "99999999999";
        QTest::newRow("letters") << "zz";
        QTest::newRow("colour name") << "red";
        QTest::newRow("fraction") << "255.5";
    }
    void recordColours()
    {
        QFETCH(QString, text);
        writeConf("[RECORDPERIOD]\nCh1Color=" + text + "\nCh2Color=255\n");
        ScriptedModalRunner dialogs;
        QString shownText;
        dialogs.script([&](QDialog &d) {
            shownText = d.findChild<QLineEdit *>("txtCh1Color")->text();
            d.findChild<QPushButton *>("OKButton")->click();
            return QDialog::Accepted;
        });
        dlgRecordLength dialog;
        QVERIFY(dialog.Execute());
        QCOMPARE(dialog.swatchColor(1), QColor(255, 0, 0));
        // A colour text that is not a number, or not one of 24 bits, fills the
        // swatch black and is shown as it was stored.
        QCOMPARE(dialog.swatchColor(0), QColor(0, 0, 0));
        QCOMPARE(shownText, text);
        QCOMPARE(dialog.txtCh1Color(), text);
        QCOMPARE(stored("RECORDPERIOD", "Ch1Color"), text);
    }
};

QTEST_MAIN(TestHostileInput)
#include "tst_hostileinput.moc"
