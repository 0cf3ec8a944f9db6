#include "RecordFile.h"
#include "recording/database/RecordDatabase.h"

#include <QTest>

using namespace qle;
using namespace qle::testing;

namespace {

RecordRow sample(qint64 seq, const QString &tag)
{
    RecordRow row;
    row.seqNo = seq;
    row.recTime = QString("2024/03/01 10:00:%1").arg(seq, 2, 10, QChar('0'));
    for (std::size_t ch = 0; ch < 3; ++ch) {
        row.pval[ch] = QString("%1.%2%3").arg(tag).arg(ch + 1).arg(seq);
        row.sval[ch] = QString("0.%1%2").arg(ch + 1).arg(seq);
    }
    row.timeTick = seq * 5;
    row.diffLastTime = seq == 0 ? 0 : 5;
    return row;
}

RecordHeader header(const QString &comment)
{
    RecordHeader h;
    h.startTime = "2024/03/01 10:00:00";
    h.endTime = "2024/03/01 10:01:00";
    h.comment = comment;
    h.recStyle = "2";
    h.showStyle = "1";
    return h;
}

const QString DetailColumns = "SeqNo,RecTime,PVal,SVal,Reason,PVal2,SVal2,Reason2,PVal3,SVal3,Reason3,Comment,"
                              "TimeTick,DiffLastTime";

} // namespace

class TestRecordDatabase : public QObject {
    Q_OBJECT

private slots:
    // Record numbers are text; the next one is the numeric maximum plus one.
    void nextRecordNumber_data()
    {
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<QString>("next");
        QTest::newRow("empty table") << QStringList{} << "1";
        QTest::newRow("after 1") << QStringList{"1"} << "2";
        QTest::newRow("after 9 and 10") << QStringList{"9", "10"} << "11";
        QTest::newRow("gaps") << QStringList{"3", "120", "7"} << "121";
    }
    void nextRecordNumber()
    {
        QFETCH(QStringList, existing);
        QFETCH(QString, next);
        RecordFile file;
        QVERIFY(file.ok());
        for (const QString &recNo : existing)
            QVERIFY(file.exec("insert into datamain (RecNo) values (?)", {recNo}));
        RecordDatabase records(file.db());
        QString recNo;
        QVERIFY(records.nextRecordNumber(&recNo));
        QCOMPARE(recNo, next);
    }

    void savesNumberRecordsOneAfterAnother()
    {
        RecordFile file;
        RecordDatabase records(file.db());
        QVERIFY(records.addSample(sample(0, "5")));
        QStringList numbers;
        for (int i = 0; i < 11; ++i) {
            QString recNo;
            QVERIFY(records.saveRecord(header(QString("run %1").arg(i)), &recNo));
            numbers.append(recNo);
        }
        QCOMPARE(numbers, QStringList({"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11"}));
        QCOMPARE(file.count("datamain"), 11);
        QCOMPARE(file.column("select count(*) from datadetail where recno=?", {"11"}).value(0).toInt(), 1);
    }

    void saveCopiesHeaderAndEveryColumn()
    {
        RecordFile file;
        RecordDatabase records(file.db());
        for (int seq = 0; seq < 3; ++seq)
            QVERIFY(records.addSample(sample(seq, "5")));
        QString recNo;
        QVERIFY(records.saveRecord(header("first"), &recNo));
        QCOMPARE(recNo, QString("1"));

        QCOMPARE(
            file.rows("select RecNo,StartTime,EndTime,Comment,PUnit,SUnit,RecStyle,ShowStyle from datamain"),
            QList<QStringList>({{"1", "2024/03/01 10:00:00", "2024/03/01 10:01:00", "first", "V", "A", "2", "1"}}));
        const auto working = file.rows("select " + DetailColumns + " from datatemp order by SeqNo");
        QCOMPARE(working.size(), 3);
        QCOMPARE(working.at(1), QStringList({"1", "2024/03/01 10:00:01", "5.11", "0.11", "1", "5.21", "0.21", "2",
                                             "5.31", "0.31", "3", "", "5", "5"}));
        QCOMPARE(file.rows("select " + DetailColumns + " from datadetail where recno=? order by SeqNo", {"1"}),
                 working);
        QCOMPARE(file.column("select distinct SeqWindow from datadetail"), QVariantList{0});
    }

    // Replacing keeps the record's times, takes the new comment and the
    // working rows in every column; other records stay as they were.
    void replaceKeepsTimesAndCopiesEveryColumn()
    {
        RecordFile file;
        RecordDatabase records(file.db());
        QVERIFY(records.addSample(sample(0, "1")));
        QVERIFY(records.addSample(sample(1, "1")));
        QString first, second;
        QVERIFY(records.saveRecord(header("one"), &first));
        QVERIFY(records.saveRecord(header("two"), &second));

        QVERIFY(records.clearWorking());
        for (int seq = 0; seq < 3; ++seq)
            QVERIFY(records.addSample(sample(seq, "7")));
        QVERIFY(records.replaceRecord(first, "one, again"));

        QCOMPARE(file.rows("select StartTime,EndTime,Comment from datamain where recno=?", {first}),
                 QList<QStringList>({{"2024/03/01 10:00:00", "2024/03/01 10:01:00", "one, again"}}));
        QCOMPARE(file.rows("select " + DetailColumns + " from datadetail where recno=? order by SeqNo", {first}),
                 file.rows("select " + DetailColumns + " from datatemp order by SeqNo"));
        QCOMPARE(file.column("select PVal3 from datadetail where recno=? and SeqNo=2", {first}), QVariantList{"7.32"});
        QCOMPARE(file.column("select Comment from datamain where recno=?", {second}), QVariantList{"two"});
        QCOMPARE(file.column("select count(*) from datadetail where recno=?", {second}), QVariantList{2});
    }

    // A failing row copy undoes the header too, for a save and for a replace.
    void saveAndReplaceAreAllOrNothing()
    {
        RecordFile file;
        RecordDatabase records(file.db());
        QVERIFY(records.addSample(sample(0, "5")));
        QString recNo;
        QVERIFY(records.saveRecord(header("kept"), &recNo));
        QVERIFY(file.exec("create trigger full_disk before insert on datadetail begin "
                          "select raise(abort, 'disk full'); end"));

        QString failed = "untouched";
        QVERIFY(!records.saveRecord(header("lost"), &failed));
        QCOMPARE(failed, QString("untouched"));
        QVERIFY2(records.errorDescription().contains("disk full"), qPrintable(records.errorDescription()));
        QCOMPARE(file.count("datamain"), 1);

        QVERIFY(!records.replaceRecord(recNo, "changed"));
        QCOMPARE(file.column("select Comment from datamain where recno=?", {recNo}), QVariantList{"kept"});
        QCOMPARE(file.column("select count(*) from datadetail where recno=?", {recNo}), QVariantList{1});

        // The connection is usable afterwards, outside any transaction.
        QVERIFY(records.addSample(sample(1, "5")));
        QCOMPARE(file.count("datatemp"), 2);
    }

    void listLine_data()
    {
        QTest::addColumn<QString>("recNo");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("comment");
        QTest::addColumn<int>("startWidth");
        QTest::addColumn<QString>("line");
        QTest::newRow("short fields padded") << "7"
                                             << "2024/03/01 10:00:00"
                                             << "bench" << 14 << "7     2024/03/01 10: bench                    ";
        QTest::newRow("comment of 25 kept")
            << "12"
            << "2024/03/01 10:00:00" << QString(25, 'c') << 14 << "12    2024/03/01 10: " + QString(25, 'c');
        QTest::newRow("comment over 25 cut")
            << "12"
            << "2024/03/01 10:00:00"
            << "0123456789012345678901234567890" << 14 << "12    2024/03/01 10: 0123456789012345678901234";
        QTest::newRow("number over 6 cut") << "1234567"
                                           << ""
                                           << "" << 14 << "123456" + QString(14, ' ') + " " + QString(25, ' ');
        QTest::newRow("start padded to 22") << "1"
                                            << "2024/03/01 10:00:00"
                                            << "x" << 22 << "1     2024/03/01 10:00:00    x                        ";
    }
    void listLine()
    {
        QFETCH(QString, recNo);
        QFETCH(QString, start);
        QFETCH(QString, comment);
        QFETCH(int, startWidth);
        QFETCH(QString, line);
        RecordHeader record;
        record.recNo = recNo;
        record.startTime = start;
        record.comment = comment;
        QCOMPARE(RecordDatabase::listLine(record, startWidth), line);
        QCOMPARE(RecordDatabase::recordNumberOfListLine(line), recNo.left(6));
    }

    void listsHighestNumberFirst()
    {
        RecordFile file;
        for (const char *recNo : {"9", "10", "2"})
            QVERIFY(file.exec("insert into datamain (RecNo,StartTime,Comment) values (?,?,?)",
                              {recNo, "2024/03/01 10:00:00", QString("c") + recNo}));
        RecordDatabase records(file.db());
        QList<RecordHeader> list;
        QVERIFY(records.listRecords(&list));
        QCOMPARE(list.size(), 3);
        QCOMPARE(list.at(0).recNo, QString("10"));
        QCOMPARE(list.at(1).recNo, QString("9"));
        QCOMPARE(list.at(2).recNo, QString("2"));
        QCOMPARE(list.at(1).comment, QString("c9"));
    }

    void readsOneHeader()
    {
        RecordFile file;
        RecordDatabase records(file.db());
        QVERIFY(records.addSample(sample(0, "5")));
        QString recNo;
        QVERIFY(records.saveRecord(header("bench"), &recNo));
        std::optional<RecordHeader> found;
        QVERIFY(records.readHeader(recNo, &found));
        QVERIFY(found);
        QCOMPARE(found->startTime, QString("2024/03/01 10:00:00"));
        QCOMPARE(found->comment, QString("bench"));
        QCOMPARE(found->recStyle, QString("2"));
        QVERIFY(records.readHeader("99", &found));
        QVERIFY(!found);
    }

    // The previous working rows are gone even if they were never saved.
    void loadReplacesEveryWorkingRow()
    {
        RecordFile file;
        RecordDatabase records(file.db());
        QVERIFY(records.addSample(sample(0, "1")));
        QVERIFY(records.addSample(sample(1, "1")));
        QString recNo;
        QVERIFY(records.saveRecord(header("saved"), &recNo));
        const auto saved = file.rows("select " + DetailColumns + " from datatemp order by SeqNo");

        QVERIFY(records.clearWorking());
        for (int seq = 0; seq < 5; ++seq)
            QVERIFY(records.addSample(sample(seq, "9")));
        QVERIFY(records.loadRecord(recNo));
        QCOMPARE(file.rows("select " + DetailColumns + " from datatemp order by SeqNo"), saved);

        QVERIFY(records.loadRecord("404"));
        QCOMPARE(file.count("datatemp"), 0);
    }

    // The rows a run left are taken as saved only when a record holds every
    // one of them; a record that merely ends alike (same last row, same
    // count, as after two starts in the same second) does not count.
    void workingRowsSavedOnlyWithAnExactCopy()
    {
        RecordFile file;
        RecordDatabase records(file.db());
        bool saved = true;
        QVERIFY(records.workingRowsSaved(&saved));
        QVERIFY(!saved); // nothing to save, nothing saved

        for (int seq = 0; seq < 3; ++seq)
            QVERIFY(records.addSample(sample(seq, "1")));
        QVERIFY(records.workingRowsSaved(&saved));
        QVERIFY(!saved);
        QString recNo;
        QVERIFY(records.saveRecord(header("first"), &recNo));
        QVERIFY(records.workingRowsSaved(&saved));
        QVERIFY(saved);

        // Same times, same count, other readings in the first rows.
        QVERIFY(records.clearWorking());
        for (int seq = 0; seq < 3; ++seq)
            QVERIFY(records.addSample(sample(seq, seq == 2 ? "1" : "7")));
        QVERIFY(records.workingRowsSaved(&saved));
        QVERIFY(!saved);

        // One row more than the record: not saved either.
        QVERIFY(records.clearWorking());
        for (int seq = 0; seq < 4; ++seq)
            QVERIFY(records.addSample(sample(seq, "1")));
        QVERIFY(records.workingRowsSaved(&saved));
        QVERIFY(!saved);
        QVERIFY(records.saveRecord(header("second"), &recNo));
        QVERIFY(records.workingRowsSaved(&saved));
        QVERIFY(saved);

        // An empty reading on both sides still matches.
        QVERIFY(records.clearWorking());
        RecordRow blank = sample(0, "1");
        blank.pval[1].clear();
        QVERIFY(records.addSample(blank));
        QVERIFY(records.saveRecord(header("blank"), &recNo));
        QVERIFY(records.workingRowsSaved(&saved));
        QVERIFY(saved);
    }

    void textIsStoredVerbatim_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("single quote") << "it's 5 o'clock";
        QTest::newRow("statement") << "'; drop table datamain; --";
        QTest::newRow("double quote and backslash") << "\"5\\V\"";
        QTest::newRow("chinese") << "註解 測試";
    }
    void textIsStoredVerbatim()
    {
        QFETCH(QString, text);
        RecordFile file;
        RecordDatabase records(file.db());
        RecordRow row = sample(0, "5");
        QVERIFY(records.addSample(row));
        QVERIFY(records.setRowComment(row.recTime, text));
        QString recNo;
        QVERIFY(records.saveRecord(header(text), &recNo));
        QCOMPARE(file.column("select Comment from datamain"), QVariantList{text});
        QCOMPARE(file.column("select Comment from datadetail"), QVariantList{text});
        QVERIFY(records.replaceRecord(recNo, text + text));
        QCOMPARE(file.column("select Comment from datamain"), QVariantList{text + text});
        QCOMPARE(file.count("datamain"), 1);
    }

    // The sampler writes "1", "2", "3" as the reasons of every row.
    void workingRowsByReason_data()
    {
        QTest::addColumn<ReasonFilter>("filter");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QString>("label");
        QTest::newRow("all") << ReasonFilter::All << 3 << "";
        QTest::newRow("time") << ReasonFilter::Time << 0 << "Time";
        QTest::newRow("above upper") << ReasonFilter::AboveUpper << 3 << "超過上限";
        QTest::newRow("below lower") << ReasonFilter::BelowLower << 0 << "超過下限";
        QTest::newRow("condition met") << ReasonFilter::ConditionMet << 0 << "符合條件";
    }
    void workingRowsByReason()
    {
        QFETCH(ReasonFilter, filter);
        QFETCH(int, rows);
        QFETCH(QString, label);
        RecordFile file;
        RecordDatabase records(file.db());
        for (const int seq : {2, 0, 1})
            QVERIFY(records.addSample(sample(seq, "5")));
        QList<RecordRow> shown;
        QVERIFY(records.workingRows(filter, &shown));
        QCOMPARE(shown.size(), rows);
        for (int i = 0; i < shown.size(); ++i) {
            QCOMPARE(shown.at(i).seqNo, i);
            QCOMPARE(shown.at(i).reason[0], QString("1"));
            QCOMPARE(shown.at(i).reason[2], QString("3"));
        }
        if (rows > 0)
            QCOMPARE(shown.at(1).pval[1], QString("5.21"));
        QCOMPARE(RecordDatabase::reasonLabel(RecordDatabase::reasonCode(filter)), label);
    }

    // Rows as they are read: every column, texts as the bytes stored (any
    // text, NUL inside included), NULL as empty, a NULL SeqNo told apart,
    // in SeqNo order with their rowids.
    void workingRowViews()
    {
        RecordFile file;
        RecordDatabase records(file.db());
        const QString text = QString::fromUtf8("超過上限 µA\0x", 12);
        RecordRow row = sample(7, "5");
        row.pval[1] = text;
        QVERIFY(records.addSample(sample(9, "5")) && records.addSample(row));
        QVERIFY(file.exec("insert into datatemp (SeqNo, RecTime, Comment) values (NULL, NULL, ?)", {text}));
        struct Seen {
            qint64 rowId, seqNo;
            bool seqNoNull;
            qint64 timeTick, diffLastTime;
            QList<QByteArray> texts;
        };
        QList<Seen> seen;
        QVERIFY(records.readWorkingRows(ReasonFilter::All, [&](const WorkingRowView &view) {
            QList<QByteArray> texts;
            for (const QByteArrayView t : view.texts)
                texts.append(t.toByteArray());
            seen.append({view.rowId, view.seqNo, view.seqNoNull, view.timeTick, view.diffLastTime, texts});
        }));
        QCOMPARE(seen.size(), 3);
        // NULL sorts first, then 7 (stored second), then 9.
        QVERIFY(seen[0].seqNoNull);
        QCOMPARE(seen[0].rowId, 3);
        QCOMPARE(seen[0].texts[WorkingRowView::RecTime], QByteArray());
        QCOMPARE(seen[0].texts[WorkingRowView::Comment], text.toUtf8());
        QVERIFY(!seen[1].seqNoNull);
        QCOMPARE(seen[1].rowId, 2);
        QCOMPARE(seen[1].seqNo, 7);
        QCOMPARE(seen[1].timeTick, 35);
        QCOMPARE(seen[1].diffLastTime, 5);
        QCOMPARE(seen[1].texts[WorkingRowView::RecTime], QByteArray("2024/03/01 10:00:07"));
        QCOMPARE(seen[1].texts[WorkingRowView::PVal2], text.toUtf8());
        QCOMPARE(seen[1].texts[WorkingRowView::Reason3], QByteArray("3"));
        QCOMPARE(seen[2].seqNo, 9);
        QCOMPARE(seen[2].rowId, 1);

        // The same rows as texts.
        QList<RecordRow> rows;
        QVERIFY(records.workingRows(ReasonFilter::All, &rows));
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows[1].pval[1], text);
        QCOMPARE(rows[0].comment, text);
        QCOMPARE(rows[0].seqNo, 0);

        // A database error is reported, not an empty table.
        QVERIFY(file.exec("drop table datatemp"));
        QVERIFY(!records.readWorkingRows(ReasonFilter::All, [](const WorkingRowView &) {}));
        QVERIFY(records.errorDescription().contains("datatemp"));
        QVERIFY(!records.errorNumber().isEmpty());
    }

    // One prepared insert serves the whole recording: each row costs one
    // execution, at row 3000 as at row 10.
    void sampleInsertIsPreparedOnce()
    {
        RecordFile file;
        RecordDatabase records(file.db());
        const quint64 before = records.statementCount();
        for (int seq = 0; seq < 10; ++seq)
            QVERIFY(records.addSample(sample(seq, "5")));
        QCOMPARE(records.statementCount() - before, 10u);
        for (int seq = 10; seq < 3000; ++seq)
            QVERIFY(records.addSample(sample(seq, "5")));
        const quint64 at3000 = records.statementCount();
        QVERIFY(records.addSample(sample(3000, "5")));
        QCOMPARE(records.statementCount() - at3000, 1u);
        QCOMPARE(records.samplePrepareCount(), 1);
        QCOMPARE(file.count("datatemp"), 3001);
        QCOMPARE(file.column("select PVal2 from datatemp where SeqNo=2999"), QVariantList{"5.22999"});
        QCOMPARE(file.column("select count(*) from sqlite_master where type='index' and tbl_name='datatemp'"),
                 QVariantList{1});
    }

    void generatorsFillDatacopy()
    {
        RecordFile file;
        const QString insert = "insert into datacopy (RecNo,SeqWindow,SeqNo,RecTime,TimeTick) values (?,0,?,?,?)";
        QVERIFY(file.exec(insert, {"10019", 0, "2024/03/01 23:59:30", 0}));
        QVERIFY(file.exec(insert, {"10019", 1, "x", 1}));
        QVERIFY(file.exec(insert, {"10019", 1800, "x", 1}));
        QVERIFY(file.exec(insert, {"10019", 1801, "x", 1}));
        for (int seq = 0; seq < 2; ++seq)
            QVERIFY(
                file.exec("insert into datadetail (RecNo,SeqWindow,SeqNo,RecTime,PVal,Comment) "
                          "values ('10018',0,?,?,?,?)",
                          {seq, "2024/03/01 10:00:0" + QString::number(seq), "5.0" + QString::number(seq), "it's"}));
        RecordDatabase records(file.db());
        QVERIFY(records.generateSampleData());
        QCOMPARE(file.rows("select RecTime,TimeTick from datacopy where recno='10019' order by SeqNo"),
                 QList<QStringList>({{"2024/03/01 23:59:30", "0"},
                                     {"2024/03/02 00:00:30", "60"},
                                     {"2024/03/03 05:59:30", "108000"},
                                     {"x", "1"}}));
        QCOMPARE(file.rows("select SeqWindow,SeqNo,PVal,Comment from datacopy where recno='10018' order by SeqNo"),
                 QList<QStringList>({{"1", "0", "5.00", "it's"}, {"1", "1", "5.01", "it's"}}));
        QVERIFY(records.generateSampleDataMin());
        QCOMPARE(file.column("select count(*) from datacopy where recno='10018'"), QVariantList{22});

        QVERIFY(file.exec("delete from datacopy where recno='10019'"));
        QVERIFY(!records.generateSampleData());
        QCOMPARE(records.errorDescription(), QString("No current record."));
        QCOMPARE(file.column("select count(*) from datacopy where recno='10018'"), QVariantList{22});
    }
};

QTEST_GUILESS_MAIN(TestRecordDatabase)
#include "tst_recorddatabase.moc"
