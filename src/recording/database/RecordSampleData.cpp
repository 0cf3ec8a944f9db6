// The two "Generate" buttons' test data in datacopy.
#include "RecordDatabase.h"
#include "RecordTime.h"

#include <QSqlRecord>

namespace qle {
namespace {

const QString RetimedRecord = QStringLiteral("10019");
const QString CopiedRecord = QStringLiteral("10018");
constexpr int RetimedRows = 1800;
constexpr int MinuteCopies = 10;

const QString ReadBase = QStringLiteral("select * from datacopy where recno=? and seqno=0");
const QString Retime = QStringLiteral("update datacopy set RecTime=?,timetick=? where recno=? and seqno=?");
const QString ReadCopied = QStringLiteral("select * from datadetail where recno=?");
const QString InsertCopy = QStringLiteral(
    "insert into datacopy (RecNo,SeqWindow,SeqNo,RecTime,PVal,SVal,Reason,PVal2,SVal2,Reason2,PVal3,SVal3, "
    "Reason3,Comment,TimeTick,DiffLastTime) values(?,1,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");

// The datadetail columns after RecNo and SeqWindow, in datacopy's order.
const QStringList CopiedColumns{"SeqNo",   "RecTime", "PVal",  "SVal",    "Reason",  "PVal2",    "SVal2",
                                "Reason2", "PVal3",   "SVal3", "Reason3", "Comment", "TimeTick", "DiffLastTime"};

} // namespace

bool RecordDatabase::generateSampleData()
{
    return inTransaction([this] { return retimeSampleRecord() && copySampleRecord(); });
}

bool RecordDatabase::generateSampleDataMin()
{
    return inTransaction([this] {
        for (int copy = 0; copy < MinuteCopies; ++copy) {
            if (!copySampleRecord())
                return false;
        }
        return true;
    });
}

// Rows 1 to 1800 of record 10019 one minute apart from its row 0.
bool RecordDatabase::retimeSampleRecord()
{
    QDateTime base;
    {
        QSqlQuery read(m_db);
        if (!prepare(read, ReadBase))
            return false;
        read.addBindValue(RetimedRecord);
        if (!exec(read))
            return false;
        if (!read.next()) {
            fail(QStringLiteral("No current record."));
            return false;
        }
        base = parseRecordTime(read.value(read.record().indexOf("RecTime")).toString());
    }
    if (!base.isValid()) {
        fail(QStringLiteral("Type mismatch"));
        return false;
    }
    QSqlQuery update(m_db);
    if (!prepare(update, Retime))
        return false;
    for (int row = 1; row <= RetimedRows; ++row) {
        update.addBindValue(formatRecordTime(base.addSecs(60LL * row)));
        update.addBindValue(60 * row);
        update.addBindValue(RetimedRecord);
        update.addBindValue(row);
        if (!exec(update))
            return false;
    }
    return true;
}

// One more copy of record 10018's rows in datacopy, with SeqWindow 1.
bool RecordDatabase::copySampleRecord()
{
    QList<QVariantList> rows;
    {
        QSqlQuery read(m_db);
        read.setForwardOnly(true);
        if (!prepare(read, ReadCopied))
            return false;
        read.addBindValue(CopiedRecord);
        if (!exec(read))
            return false;
        QList<int> positions;
        for (const QString &column : CopiedColumns)
            positions.append(read.record().indexOf(column));
        while (read.next()) {
            QVariantList values;
            for (const int position : positions)
                values.append(read.value(position));
            rows.append(values);
        }
    }
    QSqlQuery insert(m_db);
    if (!prepare(insert, InsertCopy))
        return false;
    for (const QVariantList &values : rows) {
        insert.addBindValue(CopiedRecord);
        for (const QVariant &value : values)
            insert.addBindValue(value);
        if (!exec(insert))
            return false;
    }
    return true;
}

} // namespace qle
