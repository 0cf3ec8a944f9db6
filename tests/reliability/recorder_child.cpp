// A recording that runs until it is killed: the real table recorder on a
// panel double, writing one row per tick into the working table of the given
// record file, as fast as the event loop allows, with its clock moved one
// second per tick. It prints what it has made durable:
//   "saved RECNO"  the rows a killed run left were saved as record RECNO
//   "started"      a new recording began (the working table is empty)
//   "row N V"      row N is committed; V is channel 1's voltage text in it
// Arguments: the record file and a run number that goes into every reading.
#include "ManualClock.h"
#include "platform/SqliteFile.h"
#include "RecorderDoubles.h"
#include "recording/table/frmDataTable.h"
#include "recording/database/RecordDatabase.h"
#include "ScriptedMessageBox.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>

using namespace qle;
using namespace qle::testing;

namespace {

void say(const QString &line)
{
    std::fputs(qPrintable(line + u'\n'), stdout);
    std::fflush(stdout);
}

// The rows a killed run left behind are kept as a record, as the user does
// when the program offers them back at start.
bool keepLeftRows(RecordDatabase &records, const QString &run)
{
    qint64 count = 0;
    bool saved = true;
    if (!records.countWorking(&count) || !records.workingRowsSaved(&saved))
        return false;
    if (count == 0 || saved)
        return true;
    RecordHeader header;
    header.comment = "left by the run before " + run;
    QString recNo;
    if (!records.saveRecord(header, &recNo))
        return false;
    say("saved " + recNo);
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc != 3) {
        say("usage: recorder_child FILE RUN");
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    const QString run = QString::fromLocal8Bit(argv[2]);
    ScriptedMessageBox boxes;
    ManualClock clock;

    QString error;
    if (!sqlite::open("mtype", path, &error)) {
        say("error open " + error);
        return 1;
    }
    QSqlDatabase db = QSqlDatabase::database("mtype");
    if (!sqlite::enableWriteAheadLog(db)) {
        say("error wal");
        return 1;
    }
    RecordDatabase records(db);
    if (!keepLeftRows(records, run)) {
        say("error save " + records.errorDescription());
        return 1;
    }

    FakePanel panel(3);
    FakeRecorderHost host;
    host.panel = &panel;
    frmDataTable table(host, db);
    table.ContrlIdx = 2;
    table.RecordPeriod(7, 0, 0, 0, 0, 0);
    table.BeginRecordData();
    if (!table.isRecording() || !boxes.shown().isEmpty()) {
        say("error start " + boxes.texts().join(u'|'));
        return 1;
    }
    table.TimerRecordData.stop(); // ticked below, faster than once a second
    say("started");

    QTimer tick;
    tick.setInterval(0);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const int next = table.iCurrentRow;
        for (int ch = 0; ch < 3; ++ch) {
            panel.volts[ch] = QStringLiteral("r%1v%2c%3").arg(run).arg(next).arg(ch + 1);
            panel.amps[ch] = QStringLiteral("r%1a%2c%3").arg(run).arg(next).arg(ch + 1);
        }
        clock.advance(1.0);
        table.TimerRecordData_Timer();
        if (table.iCurrentRow != next + 1 || !boxes.shown().isEmpty()) {
            say("error row " + boxes.texts().join(u'|'));
            app.exit(1);
            return;
        }
        say(QStringLiteral("row %1 %2").arg(next).arg(panel.volts[0]));
    });
    tick.start();
    return app.exec();
}
