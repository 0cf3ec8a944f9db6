// The graph window's own save, load and delete of records.
#include "tst_graphfixture.h"

#include "recording/graph/GraphView.h"
#include "recording/table/RecordTableModel.h"

#include <QComboBox>
#include <QLineSeries>
#include <QListWidget>
#include <QTest>

#include <cmath>

using namespace qle;
using namespace qle::testing;

namespace {

using Answer = IMessageBox::Answer;

// Three stored rows, as a recording of the table recorder leaves them.
void recordThreeRows(GraphRig &rig, const QString &volts = "5.00")
{
    QVERIFY(rig.storeRows({volts, volts, volts}, {"1.000", "1.000", "1.000"}));
    rig.table->txtStartTime->setText("2024/03/01 10:00:00");
    rig.table->txtEndTime->setText("2024/03/01 10:00:10");
    rig.graph->ReDraw();
}

} // namespace

class TestGraphRecords : public QObject {
    Q_OBJECT

private slots:
    void savingNothingAsksForARecording()
    {
        GraphRig rig;
        rig.graph->cmdSave_Click();
        QCOMPARE(rig.boxes.texts(), QStringList{"You must do record data first and then try this function again."});
        QCOMPARE(rig.boxes.shown().first().icon, IMessageBox::Icon::Information);
        QCOMPARE(rig.file.count("datamain"), 0);
    }

    // A new record stores the sample interval and the time-length position.
    void saveAsksAndStoresTheGraphSettings()
    {
        GraphRig rig(1, 5);
        recordThreeRows(rig);
        rig.graph->cmbXLength->setCurrentIndex(3);
        rig.table->txtDataDesc->setText("soak test");

        rig.boxes.script(Answer::No);
        rig.graph->cmdSave_Click();
        QCOMPARE(rig.boxes.texts(), QStringList{"Do you want to save current record?"});
        QCOMPARE(rig.boxes.shown().first().buttons, IMessageBox::Buttons::YesNo);
        QCOMPARE(rig.file.count("datamain"), 0);

        rig.boxes.clear();
        rig.graph->cmdSave_Click();
        QCOMPARE(rig.table->txtRecno->text(), QString("1"));
        QCOMPARE(rig.file.rows("select RecNo,StartTime,EndTime,Comment,RecStyle,ShowStyle from datamain"),
                 QList<QStringList>({{"1", "2024/03/01 10:00:00", "2024/03/01 10:00:10", "soak test", "5", "3"}}));
        QCOMPARE(rig.file.count("datadetail"), 3);

        // Saving again replaces the record after asking.
        rig.boxes.clear();
        rig.table->txtDataDesc->setText("soak test, second look");
        rig.graph->cmdSave_Click();
        QCOMPARE(rig.boxes.texts(), QStringList{"Do you want to replace existing data with current record?"});
        QCOMPARE(rig.file.column("select Comment from datamain"), QVariantList{"soak test, second look"});
        QCOMPARE(rig.file.count("datamain"), 1);
        QCOMPARE(rig.file.count("datadetail"), 3);

        // Deleted behind the window's back: the replace fails and says so,
        // leaves no rows, and the next Save makes a new record.
        QVERIFY(rig.file.exec("delete from datadetail"));
        QVERIFY(rig.file.exec("delete from datamain"));
        rig.boxes.clear();
        rig.graph->cmdSave_Click();
        QCOMPARE(rig.boxes.texts(), QStringList({"Do you want to replace existing data with current record?",
                                                 "System Error caused by :Record 1 no longer exists."}));
        QCOMPARE(rig.file.count("datadetail"), 0);
        QVERIFY(rig.table->txtRecno->text().isEmpty());
        rig.boxes.clear();
        rig.graph->cmdSave_Click();
        QCOMPARE(rig.boxes.texts(), QStringList{"Do you want to save current record?"});
        QCOMPARE(rig.table->txtRecno->text(), QString("1"));
        QCOMPARE(rig.file.count("datadetail"), 3);
    }

    void loadListsAndDrawsARecord()
    {
        GraphRig rig(1, 5);
        recordThreeRows(rig, "7.5");
        rig.graph->cmbXLength->setCurrentIndex(2);
        rig.table->txtDataDesc->setText("a comment that is longer than twenty-five characters");
        rig.graph->cmdSave_Click();
        QCOMPARE(rig.table->txtRecno->text(), QString("1"));
        rig.boxes.clear();

        // Another recording at another interval replaces the working rows.
        rig.host.recScale = 0;
        rig.table->ClearData();
        QVERIFY(rig.storeRows({"1", "2"}, {"0.1", "0.2"}));
        rig.graph->ReDraw();
        QCOMPARE(int{rig.graph->iXTime}, 1);

        // The working rows are no record: Load asks first, and No keeps them.
        const QString discard = QStringLiteral("The current recording has not been saved. Discard it?");
        rig.boxes.script(IMessageBox::Answer::No);
        rig.graph->cmdLoad_Click();
        QCOMPARE(rig.boxes.texts(), QStringList{discard});
        QCOMPARE(rig.boxes.shown().first().icon, IMessageBox::Icon::Information);
        QVERIFY(!rig.graph->List1->isVisibleTo(rig.graph.get()));
        QCOMPARE(rig.file.count("datatemp"), 2);
        rig.boxes.clear();

        rig.graph->cmdLoad_Click();
        QCOMPARE(rig.boxes.texts(), QStringList{discard});
        rig.boxes.clear();
        QVERIFY(rig.graph->List1->isVisibleTo(rig.graph.get()));
        QCOMPARE(rig.graph->List1->count(), 1);
        QCOMPARE(rig.graph->List1->item(0)->text(), QString("1     2024/03/01 10:00:00    a comment that is longer "));

        rig.graph->List1_Click(0);
        QVERIFY(!rig.graph->List1->isVisibleTo(rig.graph.get()));
        QCOMPARE(rig.table->txtRecno->text(), QString("1"));
        QCOMPARE(rig.table->txtStartTime->text(), QString("2024/03/01 10:00:00"));
        QCOMPARE(rig.table->txtDataDesc->text(), QString("a comment that is longer than twenty-five characters"));
        QCOMPARE(rig.file.count("datatemp"), 3);
        QCOMPARE(rig.table->iCurrentRow, 3);
        // Drawn with the record's own interval and time length.
        QCOMPARE(rig.graph->lIdx, 3);
        QCOMPARE(int{rig.graph->iXTime}, 60);
        QCOMPARE(rig.graph->cmbXLength->currentIndex(), 2);
        QCOMPARE(rig.graph->CWGraph1->values(0)[2], 7.5);
        QVERIFY(rig.boxes.texts().isEmpty());
    }

    // A record loaded by the table recorder is drawn the same way.
    void tableLoadRedrawsTheGraph()
    {
        GraphRig rig(1, 4);
        recordThreeRows(rig);
        rig.graph->cmbXLength->setCurrentIndex(1);
        rig.graph->cmdSave_Click();
        rig.host.recScale = 0;
        rig.table->ClearData();
        rig.graph->ClearGraph();

        rig.table->cmdLoadRecord_Click();
        rig.table->List1_Click(0);
        QCOMPARE(rig.graph->lIdx, 3);
        QCOMPARE(int{rig.graph->iXTime}, 30);
        QCOMPARE(rig.graph->cmbXLength->currentIndex(), 1);
    }

    // A record chosen in either list is read once: the graph takes its traces
    // and statistics from the table recorder's read of every row, and is
    // drawn at once, the same as a window reading the table itself.
    void aLoadedRecordIsReadOnce()
    {
        GraphRig rig(2, 0);
        rig.graph->show();
        QVERIFY(QTest::qWaitForWindowExposed(rig.graph.get()));
        // Out of SeqNo order, a gap, equal maxima stored in two ways.
        QVERIFY(rig.storeRows({"5.0", "", "7.25", "7.250"}, {"1.0", "x", "0.5", "0.25"}, 10));
        QVERIFY(rig.storeRows({"2.5"}, {"0.75"}, 3));
        RecordDatabase records(rig.file.db());
        RecordHeader header;
        QString recNo;
        QVERIFY(records.saveRecord(header, &recNo) && records.clearWorking() && rig.storeRows({"1"}, {"1"}));
        rig.graph->ReDraw();

        const auto trace = [](const frmGraphicRecord &graph, int plot) {
            QStringList texts;
            for (const double value : graph.CWGraph1->values(plot))
                texts.append(std::isnan(value) ? QStringLiteral("gap") : QString::number(value));
            return texts;
        };
        const auto statistics = [](const frmGraphicRecord &graph) {
            QStringList lines;
            for (int i = 0; i < graph.lstWave->count(); ++i)
                lines.append(graph.lstWave->item(i)->text());
            return lines;
        };
        for (const bool viaTable : {true, false}) {
            if (viaTable) {
                rig.table->cmdLoadRecord_Click();
                rig.table->List1_Click(0);
            } else {
                rig.graph->cmdLoad_Click();
                rig.graph->List1_Click(0);
            }
            QVERIFY(!rig.graph->CWGraph1->isRedrawPending());
            QCOMPARE(rig.graph->CWGraph1->series(0)->count(), 2); // up to the gap
            GraphRig fresh(2, 0);
            frmGraphicRecord other(fresh.host, rig.file.db());
            other.txtChannels->setText("2");
            other.ReDraw();
            for (int plot = 0; plot < 4; ++plot)
                QCOMPARE(trace(*rig.graph, plot), trace(other, plot));
            QCOMPARE(trace(*rig.graph, 0), QStringList({"2.5", "5", "gap", "7.25", "7.25"}));
            QCOMPARE(statistics(*rig.graph), statistics(other));
            QCOMPARE(statistics(*rig.graph).at(3), QString("CH1 Max:7.25V 1.0A"));
        }

        // The table recorder's read is the graph's: a change that no reader
        // is told of (made behind the program's back) is not read again.
        QVERIFY(records.loadRecord(recNo));
        rig.table->CmbSample_Click();
        QVERIFY(rig.file.exec("update datatemp set PVal = '99'"));
        rig.graph->ReDraw();
        QCOMPARE(trace(*rig.graph, 0), QStringList({"2.5", "5", "gap", "7.25", "7.25"}));
        QCOMPARE(rig.table->gridModel().row(0).pval(0), QString("2.5"));
    }

    void deleteAsksAndRemovesTheRecord()
    {
        GraphRig rig;
        recordThreeRows(rig);
        rig.graph->cmdSave_Click();
        rig.table->ClearData();
        QVERIFY(rig.storeRows({"1"}, {"1"}));
        rig.table->txtStartTime->setText("2024/03/02 08:00:00");
        rig.graph->cmdSave_Click();
        QCOMPARE(rig.file.count("datamain"), 2);
        QCOMPARE(rig.file.count("datadetail"), 4);

        rig.graph->cmdDel_Click();
        QVERIFY(rig.graph->List2->isVisibleTo(rig.graph.get()));
        QCOMPARE(rig.graph->List2->count(), 2);
        // Highest number first: line 1 is record 1.
        rig.boxes.clear();
        rig.boxes.script(Answer::No);
        rig.graph->List2_Click(1);
        QCOMPARE(rig.boxes.texts(),
                 QStringList{"Do you want to delete Record of [Rec No: 1 Start Time:2024/03/01 10:00:00]"});
        QCOMPARE(rig.boxes.shown().first().buttons, IMessageBox::Buttons::YesNo);
        QVERIFY(!rig.graph->List2->isVisibleTo(rig.graph.get()));
        QCOMPARE(rig.file.count("datamain"), 2);

        rig.graph->cmdDel_Click();
        rig.graph->List2_Click(1);
        QCOMPARE(rig.file.column("select RecNo from datamain"), QVariantList{"2"});
        QCOMPARE(rig.file.column("select distinct RecNo from datadetail"), QVariantList{"2"});
        // Record 2 is still the working rows' record.
        QCOMPARE(rig.table->txtRecno->text(), QString("2"));
    }

    // After deleting the record the working rows came from, saving makes a new record.
    void deletingTheShownRecordForgetsItsNumber()
    {
        GraphRig rig;
        recordThreeRows(rig);
        rig.graph->cmdSave_Click();
        QCOMPARE(rig.table->txtRecno->text(), QString("1"));
        rig.graph->cmdDel_Click();
        rig.graph->List2_Click(0);
        QCOMPARE(rig.file.count("datamain"), 0);
        QVERIFY(rig.table->txtRecno->text().isEmpty());

        rig.boxes.clear();
        rig.graph->cmdSave_Click();
        QCOMPARE(rig.boxes.texts(), QStringList{"Do you want to save current record?"});
        QCOMPARE(rig.file.count("datamain"), 1);
        QCOMPARE(rig.file.count("datadetail"), 3);
    }

    // A comment with a quote is stored as typed.
    void quotesAreStoredAsTyped()
    {
        GraphRig rig;
        recordThreeRows(rig);
        rig.table->txtDataDesc->setText("it's 5 V");
        rig.graph->cmdSave_Click();
        QCOMPARE(rig.file.column("select Comment from datamain"), QVariantList{"it's 5 V"});
    }

    void databaseErrorsAreShown()
    {
        GraphRig rig;
        recordThreeRows(rig);
        QVERIFY(rig.file.exec("drop table datamain"));
        rig.boxes.clear();
        rig.graph->cmdSave_Click();
        QCOMPARE(rig.boxes.shown().size(), 2);
        QVERIFY(rig.boxes.texts().last().startsWith("System Error caused by "));
        QVERIFY(rig.boxes.texts().last().contains("datamain"));
    }
};

QTEST_MAIN(TestGraphRecords)
#include "tst_graphrecords.moc"
