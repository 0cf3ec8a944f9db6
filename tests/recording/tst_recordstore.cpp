#include "RecorderFixture.h"
#include "recording/table/RecordTableModel.h"

#include <QComboBox>
#include <QListWidget>
#include <QSignalSpy>
#include <QTest>

using namespace qle;
using namespace qle::testing;

namespace {

using Answer = IMessageBox::Answer;

// Records the given number of one-second rows, reading 5.00 V / 1.000 A.
void record(Recorder &r, int rows, const QString &voltage = "5.00")
{
    r.start(static_cast<qint16>(rows - 1), 0, 0);
    for (int i = 0; i < rows; ++i)
        r.tickWith(voltage, "1.000");
}

} // namespace

class TestRecordStore : public QObject {
    Q_OBJECT

private slots:
    void savingAnEmptyTableAsksForARecording()
    {
        Recorder r;
        r.table->cmdSave_Click();
        QCOMPARE(r.boxes.texts(), QStringList{"You need do record first and then try this again!"});
        QCOMPARE(r.boxes.shown().first().icon, IMessageBox::Icon::Information);
        QCOMPARE(r.file.count("datamain"), 0);
        QCOMPARE(r.file.count("datadetail"), 0);
        QVERIFY(r.table->txtRecno->text().isEmpty());
    }

    void saveAsksAndNumbersTheRecord()
    {
        Recorder r;
        r.host.recScale = 4;
        record(r, 3);
        r.table->txtDataDesc->setText("bench run");

        r.boxes.script(Answer::No);
        r.table->cmdSave_Click();
        QCOMPARE(r.boxes.texts(), QStringList{"Do you want to save this record data?"});
        QCOMPARE(r.boxes.shown().first().buttons, IMessageBox::Buttons::YesNo);
        QCOMPARE(r.file.count("datamain"), 0);
        QVERIFY(r.table->txtRecno->text().isEmpty());

        r.table->cmdSave_Click();
        QCOMPARE(r.table->txtRecno->text(), QString("1"));
        QCOMPARE(r.file.rows("select RecNo,StartTime,EndTime,Comment,PUnit,SUnit,RecStyle,ShowStyle from datamain"),
                 QList<QStringList>({{"1", r.table->txtStartTime->text(), r.table->txtEndTime->text(), "bench run", "V",
                                      "A", "4", "0"}}));
        QCOMPARE(r.file.count("datadetail"), 3);

        // A second recording becomes record 2.
        record(r, 2);
        QVERIFY(r.table->txtRecno->text().isEmpty());
        r.table->cmdSave_Click();
        QCOMPARE(r.table->txtRecno->text(), QString("2"));
        QCOMPARE(r.file.column("select count(*) from datadetail where recno='2'"), QVariantList{2});
    }

    // Saving a record that has a number replaces it: new comment and rows, same times.
    void saveAgainReplaces()
    {
        Recorder r;
        record(r, 3);
        r.table->txtDataDesc->setText("first");
        r.table->cmdSave_Click();
        const auto times = r.file.rows("select StartTime,EndTime from datamain");

        r.boxes.clear();
        r.table->txtDataDesc->setText("it's the second");
        r.table->txtStartTime->setText("2001/01/01 00:00:00");
        r.boxes.script(Answer::No);
        r.table->cmdSave_Click();
        QCOMPARE(r.boxes.texts(), QStringList{"Do you replace existing data with current record?"});
        QCOMPARE(r.file.column("select Comment from datamain"), QVariantList{"first"});

        r.table->cmdSave_Click();
        QCOMPARE(r.file.column("select Comment from datamain"), QVariantList{"it's the second"});
        QCOMPARE(r.file.rows("select StartTime,EndTime from datamain"), times);
        QCOMPARE(r.file.count("datamain"), 1);
        QCOMPARE(r.file.count("datadetail"), 3);
    }

    void failedSaveLeavesNoRecord()
    {
        Recorder r;
        record(r, 2);
        QVERIFY(r.file.exec("create trigger full_disk before insert on datadetail begin "
                            "select raise(abort, 'disk full'); end"));
        r.table->cmdSave_Click();
        QCOMPARE(r.boxes.texts().size(), 2);
        const QString error = r.boxes.texts().last();
        QVERIFY2(error.startsWith("System Error caused by ") && error.contains(":disk full"), qPrintable(error));
        QVERIFY(r.table->txtRecno->text().isEmpty());
        QCOMPARE(r.file.count("datamain"), 0);
    }

    // The list shows the highest number first, each line cut to its columns;
    // a click loads that record in place of every working row.
    void listAndLoad()
    {
        Recorder r(2);
        QSignalSpy loaded(r.table.get(), &frmDataTable::recordLoaded);
        const QString longComment = "a comment well over twenty-five characters";
        const QStringList comments{"short", longComment, "third"};
        QList<QStringList> saved;
        for (int i = 0; i < 3; ++i) {
            record(r, 2 + i, QString("%1.00").arg(i + 1));
            r.table->txtDataDesc->setText(comments.at(i));
            r.table->cmdSave_Click();
            saved.append({r.table->txtRecno->text(), r.table->txtStartTime->text(), r.table->txtEndTime->text()});
        }
        record(r, 7, "9.99"); // never saved

        r.table->cmdLoadRecord_Click();
        QListWidget *list = r.table->List1;
        QVERIFY(!list->isHidden());
        QCOMPARE(list->count(), 3);
        QCOMPARE(list->item(1)->text(), "2     " + saved.at(1).at(1) + " " + longComment.left(25));
        QCOMPARE(list->item(0)->text().left(6), QString("3     "));
        QCOMPARE(list->item(0)->text().size(), 6 + 19 + 1 + 25);

        r.table->List1_Click(1);
        QVERIFY(list->isHidden());
        QCOMPARE(r.table->txtRecno->text(), QString("2"));
        QCOMPARE(r.table->txtStartTime->text(), saved.at(1).at(1));
        QCOMPARE(r.table->txtEndTime->text(), saved.at(1).at(2));
        QCOMPARE(r.table->txtDataDesc->text(), longComment);
        QCOMPARE(r.file.column("select PVal from datatemp order by SeqNo"), QVariantList({"2.00", "2.00", "2.00"}));
        QCOMPARE(r.table->iCurrentRow, 3);
        QCOMPARE(r.table->gridModel().rowCount(), 3);
        QCOMPARE(r.table->gridModel().cellText(2, 2), QString("2.00"));
        QCOMPARE(loaded.count(), 1);
        // The rows of the last recording are still what the graph reads.
        QCOMPARE(r.table->GetValuePrimary(6), QString("9.99"));

        // Saving the loaded record replaces it.
        r.boxes.clear();
        r.table->cmdSave_Click();
        QCOMPARE(r.boxes.texts(), QStringList{"Do you replace existing data with current record?"});
        QCOMPARE(r.file.count("datamain"), 3);
    }

    void loadingTheFilteredGrid()
    {
        Recorder r;
        record(r, 2);
        r.table->cmdSave_Click();
        r.table->EndRecordData(0);
        r.table->CmbSample->setCurrentIndex(2);
        r.table->cmdLoadRecord_Click();
        r.table->List1_Click(0);
        QCOMPARE(r.table->gridModel().rowCount(), 2);
        QCOMPARE(r.table->gridModel().cellText(0, 4), QString("超過上限"));
    }

    void clearAsksOnlyWhenThereAreRows()
    {
        Recorder r;
        record(r, 3);
        r.table->txtDataDesc->setText("kept?");
        r.boxes.script(Answer::No);
        r.table->cmdClear_Click();
        QCOMPARE(r.boxes.texts(), QStringList{"Do you want to clear all of data records?"});
        QCOMPARE(r.file.count("datatemp"), 3);
        QCOMPARE(r.table->txtDataDesc->text(), QString("kept?"));

        r.table->cmdClear_Click();
        QCOMPARE(r.file.count("datatemp"), 0);
        QCOMPARE(r.table->iCurrentRow, 0);
        QCOMPARE(r.table->gridModel().rowCount(), 0);
        for (const QLineEdit *box :
             {r.table->txtRecno, r.table->txtDataDesc, r.table->txtStartTime, r.table->txtEndTime})
            QVERIFY(box->text().isEmpty());

        r.boxes.clear();
        r.table->cmdClear_Click();
        QVERIFY(r.boxes.shown().isEmpty());
    }

    void descriptionAndCommentStoredVerbatim_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("single quote") << "Bob's bench";
        QTest::newRow("statement") << "'; drop table datamain; --";
    }
    void descriptionAndCommentStoredVerbatim()
    {
        QFETCH(QString, text);
        Recorder r;
        record(r, 2);
        r.table->grdHelQuest_Click(0, 5);
        r.table->txtDataComment->setText(text);
        r.table->cmdProcOK_Click();
        r.table->txtDataDesc->setText(text);
        r.table->cmdSave_Click();
        QCOMPARE(r.file.column("select Comment from datamain"), QVariantList{text});
        QCOMPARE(r.file.column("select Comment from datadetail order by SeqNo"), QVariantList({text, ""}));
        r.table->cmdLoadRecord_Click();
        QCOMPARE(r.table->List1->item(0)->text().mid(26).trimmed(), text.left(25));
        QCOMPARE(r.boxes.texts(), QStringList{"Do you want to save this record data?"});
    }
};

QTEST_MAIN(TestRecordStore)
#include "tst_recordstore.moc"
