#include "RecordDatabase.h"

#include "platform/SqliteRows.h"

namespace qle {
namespace {

const QString ClearWorking = QStringLiteral("delete from datatemp");
const QString CountWorking = QStringLiteral("select count(*) from datatemp");
const QString AddSample = QStringLiteral(
    "insert into DataTemp (SeqNo,RecTime,PVal,SVal,Reason,PVal2,SVal2,Reason2,PVal3,SVal3,Reason3,Comment,TimeTick,"
    "DiffLastTime) values (?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
// Every column of the working rows, in WorkingRowView's order.
const char *const ShowAll =
    "select rowid, SeqNo, TimeTick, DiffLastTime, RecTime, PVal, SVal, Reason, PVal2, SVal2, Reason2, PVal3, SVal3, "
    "Reason3, Comment from datatemp order by seqno asc";
const char *const ShowReason =
    "select rowid, SeqNo, TimeTick, DiffLastTime, RecTime, PVal, SVal, Reason, PVal2, SVal2, Reason2, PVal3, SVal3, "
    "Reason3, Comment from datatemp where reason=? order by seqno asc";
constexpr int FirstTextColumn = 4;
const QString SetComment = QStringLiteral("update DataTemp set Comment =?  where rectime=?");
// Record numbers are text; the highest is taken as a number, so that 10 comes after 9.
const QString MaxRecNo = QStringLiteral("select max(CAST(RecNo AS INTEGER)) from datamain");
const QString SaveHeader = QStringLiteral(
    "insert into datamain (RecNo,StartTime,EndTime,Comment,PUnit,SUnit,RecStyle,ShowStyle) values(?,?,?,?,?,?,?,?)");
const QString SaveRows = QStringLiteral(
    "insert into datadetail (recno,SeqWindow,SeqNo ,RecTime,PVal,SVal,Reason,PVal2,SVal2,Reason2,PVal3,SVal3,Reason3, "
    "Comment, TimeTick, DiffLastTime) select ? as recno, 0 as SeqWindow,SeqNo,RecTime,PVal,SVal,Reason,PVal2,SVal2,"
    "Reason2,PVal3,SVal3,Reason3, Comment, TimeTick, DiffLastTime  from datatemp");
const QString AddRecordRow = QStringLiteral(
    "insert into datadetail (recno,SeqWindow,SeqNo ,RecTime,PVal,SVal,Reason,PVal2,SVal2,Reason2,PVal3,SVal3,Reason3, "
    "Comment, TimeTick, DiffLastTime) values (?,0,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
const QString SetEndTime = QStringLiteral("update datamain set EndTime=? where recno=?");
const QString ReplaceComment = QStringLiteral("update datamain set comment=? where recno=?");
const QString DropRows = QStringLiteral("delete from datadetail where recno=?");
const QString ListRecords = QStringLiteral(
    "select RecNo as [編號], StartTime as [開始時間], EndTime as [結束時間], Comment as [註  解] from datamain "
    "order by CAST(RecNo AS INTEGER) desc");
const QString ReadHeader =
    QStringLiteral("select RecNo, StartTime, EndTime, Comment,Punit,SUnit,RecStyle from datamain where recno=?");
const QString LoadRows = QStringLiteral(
    "insert into datatemp select SeqNo ,RecTime,PVal,SVal,Reason,PVal2,SVal2,Reason2,PVal3,SVal3,Reason3, "
    "Comment,timetick,difflasttime from datadetail where recno=?");

quint64 workingGeneration = 0;

// Empty text is stored as '' like every other text, not as NULL.
QString stored(const QString &text)
{
    return text.isNull() ? QString(QLatin1String("")) : text;
}

} // namespace

RecordDatabase::RecordDatabase(const QSqlDatabase &db) : m_db(db), m_insertSample(m_db)
{
}

QString RecordDatabase::errorDescription() const
{
    return m_error.databaseText().isEmpty() ? m_error.driverText() : m_error.databaseText();
}

void RecordDatabase::fail(const QString &description)
{
    m_error = QSqlError(QString(), description, QSqlError::UnknownError);
}

bool RecordDatabase::prepare(QSqlQuery &query, const QString &sql)
{
    if (query.prepare(sql))
        return true;
    m_error = query.lastError();
    return false;
}

bool RecordDatabase::exec(QSqlQuery &query)
{
    ++m_statements;
    if (query.exec())
        return true;
    m_error = query.lastError();
    ++workingGeneration;
    return false;
}

quint64 RecordDatabase::workingTableGeneration()
{
    return workingGeneration;
}

bool RecordDatabase::run(const QString &sql, const QVariantList &values)
{
    QSqlQuery query(m_db);
    if (!prepare(query, sql))
        return false;
    for (const QVariant &value : values)
        query.addBindValue(value);
    return exec(query);
}

bool RecordDatabase::inTransaction(const std::function<bool()> &work)
{
    if (!m_db.transaction()) {
        m_error = m_db.lastError();
        return false;
    }
    if (work()) {
        if (m_db.commit())
            return true;
        m_error = m_db.lastError();
    }
    m_db.rollback();
    ++workingGeneration;
    return false;
}

bool RecordDatabase::clearWorking()
{
    ++workingGeneration;
    return run(ClearWorking, {});
}

bool RecordDatabase::countWorking(qint64 *count)
{
    QSqlQuery query(m_db);
    if (!prepare(query, CountWorking) || !exec(query))
        return false;
    *count = query.next() ? query.value(0).toLongLong() : 0;
    return true;
}

bool RecordDatabase::workingRowsSaved(bool *saved)
{
    // Saved means a record holds an exact copy of every working row: a record
    // that only ends like them (same last row, same count) is not enough, as
    // two recordings begun in the same second end alike.
    QSqlQuery query(m_db);
    const QString sql =
        "select 1 from datadetail d, "
        "(select SeqNo, RecTime from datatemp order by SeqNo desc limit 1) last "
        "where d.SeqNo = last.SeqNo and d.RecTime is last.RecTime "
        "and (select count(*) from datadetail where RecNo = d.RecNo) = (select count(*) from datatemp) "
        "and not exists (select 1 from datatemp t where not exists ("
        "select 1 from datadetail x where x.RecNo = d.RecNo and x.SeqNo = t.SeqNo and x.RecTime is t.RecTime "
        "and x.PVal is t.PVal and x.SVal is t.SVal and x.PVal2 is t.PVal2 and x.SVal2 is t.SVal2 "
        "and x.PVal3 is t.PVal3 and x.SVal3 is t.SVal3 and x.Reason is t.Reason and x.Reason2 is t.Reason2 "
        "and x.Reason3 is t.Reason3 and x.Comment is t.Comment and x.TimeTick is t.TimeTick "
        "and x.DiffLastTime is t.DiffLastTime)) "
        "limit 1";
    if (!prepare(query, sql) || !exec(query))
        return false;
    *saved = query.next();
    return true;
}

bool RecordDatabase::unsavedWorkingRows(qint64 *count)
{
    bool saved = true;
    if (!countWorking(count) || (*count > 0 && !workingRowsSaved(&saved)))
        return false;
    if (saved)
        *count = 0;
    return true;
}

bool RecordDatabase::workingChannels(int *channels)
{
    QSqlQuery query(m_db);
    if (!prepare(query, QStringLiteral("select max(length(PVal2)), max(length(PVal3)) from datatemp")) || !exec(query))
        return false;
    *channels = 1;
    if (query.next())
        *channels = query.value(1).toInt() > 0 ? 3 : query.value(0).toInt() > 0 ? 2 : 1;
    return true;
}

bool RecordDatabase::addSample(const RecordRow &row)
{
    // One prepared statement for the whole recording: a row costs one execution,
    // whatever the number of rows before it.
    if (!m_insertPrepared) {
        ++m_samplePrepares;
        if (!prepare(m_insertSample, AddSample))
            return false;
        m_insertPrepared = true;
    }
    m_insertSample.addBindValue(row.seqNo);
    m_insertSample.addBindValue(stored(row.recTime));
    static const std::array<QString, 3> Reasons{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")};
    for (std::size_t ch = 0; ch < 3; ++ch) {
        m_insertSample.addBindValue(stored(row.pval[ch]));
        m_insertSample.addBindValue(stored(row.sval[ch]));
        m_insertSample.addBindValue(Reasons[ch]);
    }
    m_insertSample.addBindValue(stored(QString()));
    m_insertSample.addBindValue(row.timeTick);
    m_insertSample.addBindValue(row.diffLastTime);
    return exec(m_insertSample);
}

bool RecordDatabase::workingRows(ReasonFilter filter, QList<RecordRow> *rows)
{
    rows->clear();
    return forEachWorkingRow(filter, [rows](RecordRow &row) { rows->append(std::move(row)); });
}

bool RecordDatabase::forEachWorkingRow(ReasonFilter filter, const std::function<void(RecordRow &)> &take)
{
    return readWorkingRows(filter, [&take](const WorkingRowView &view) {
        RecordRow row;
        row.seqNo = view.seqNo;
        row.recTime = QString::fromUtf8(view.texts[WorkingRowView::RecTime]);
        for (std::size_t ch = 0; ch < 3; ++ch) {
            const std::size_t first = WorkingRowView::PVal + 3 * ch;
            row.pval[ch] = QString::fromUtf8(view.texts.at(first));
            row.sval[ch] = QString::fromUtf8(view.texts.at(first + 1));
            row.reason[ch] = QString::fromUtf8(view.texts.at(first + 2));
        }
        row.comment = QString::fromUtf8(view.texts[WorkingRowView::Comment]);
        row.timeTick = view.timeTick;
        row.diffLastTime = view.diffLastTime;
        take(row);
    });
}

bool RecordDatabase::readWorkingRows(ReasonFilter filter, const std::function<void(const WorkingRowView &)> &take)
{
    ++m_statements;
    sqlite::Rows rows(m_db, filter == ReasonFilter::All ? ShowAll : ShowReason);
    if (filter != ReasonFilter::All)
        rows.bind(1, reasonCode(filter).toUtf8());
    WorkingRowView view;
    while (rows.next()) {
        view.rowId = rows.integer(0);
        view.seqNoNull = rows.isNull(1);
        view.seqNo = rows.integer(1);
        view.timeTick = rows.integer(2);
        view.diffLastTime = rows.integer(3);
        for (int text = 0; text < WorkingRowView::TextCount; ++text)
            view.texts.at(static_cast<std::size_t>(text)) = rows.text(FirstTextColumn + text);
        take(view);
    }
    if (rows.error().isValid()) {
        m_error = rows.error();
        ++workingGeneration;
        return false;
    }
    return true;
}

bool RecordDatabase::setRowComment(const QString &recTime, const QString &comment)
{
    return run(SetComment, {stored(comment), recTime});
}

bool RecordDatabase::nextRecordNumber(QString *recNo)
{
    QSqlQuery query(m_db);
    if (!prepare(query, MaxRecNo) || !exec(query))
        return false;
    qint64 highest = 0;
    if (query.next() && !query.value(0).isNull())
        highest = query.value(0).toLongLong();
    *recNo = QString::number(highest + 1).trimmed();
    return true;
}

bool RecordDatabase::saveRecord(const RecordHeader &header, QString *recNo)
{
    QString number;
    const bool saved = inTransaction([&] {
        return nextRecordNumber(&number) &&
               run(SaveHeader,
                   {number, stored(header.startTime), stored(header.endTime), stored(header.comment),
                    QStringLiteral("V"), QStringLiteral("A"), stored(header.recStyle), stored(header.showStyle)}) &&
               run(SaveRows, {number});
    });
    if (saved && recNo)
        *recNo = number;
    return saved;
}

bool RecordDatabase::beginRecord(const RecordHeader &header, QString *recNo)
{
    // The header and its number together, so that a record saved meanwhile
    // by the main program cannot take the same number.
    return inTransaction([&] {
        return nextRecordNumber(recNo) &&
               run(SaveHeader,
                   {*recNo, stored(header.startTime), stored(header.endTime), stored(header.comment),
                    QStringLiteral("V"), QStringLiteral("A"), stored(header.recStyle), stored(header.showStyle)});
    });
}

bool RecordDatabase::appendRecordRows(const QString &recNo, const QList<RecordRow> &rows, const QString &endTime)
{
    return inTransaction([&] {
        QSqlQuery insert(m_db);
        if (!prepare(insert, AddRecordRow))
            return false;
        static const std::array<QString, 3> Reasons{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")};
        for (const RecordRow &row : rows) {
            insert.addBindValue(recNo);
            insert.addBindValue(row.seqNo);
            insert.addBindValue(stored(row.recTime));
            for (std::size_t ch = 0; ch < 3; ++ch) {
                insert.addBindValue(stored(row.pval[ch]));
                insert.addBindValue(stored(row.sval[ch]));
                insert.addBindValue(Reasons[ch]);
            }
            insert.addBindValue(stored(row.comment));
            insert.addBindValue(row.timeTick);
            insert.addBindValue(row.diffLastTime);
            if (!exec(insert))
                return false;
        }
        return run(SetEndTime, {stored(endTime), recNo});
    });
}

bool RecordDatabase::replaceRecord(const QString &recNo, const QString &comment)
{
    return inTransaction([&] {
        QSqlQuery update(m_db);
        if (!prepare(update, ReplaceComment))
            return false;
        update.addBindValue(stored(comment));
        update.addBindValue(recNo);
        if (!exec(update))
            return false;
        // Deleted meanwhile (from the other window): its rows must not come
        // back without a header, to be taken over by the next record saved.
        if (update.numRowsAffected() < 1) {
            fail(QStringLiteral("Record ") + recNo + QStringLiteral(" no longer exists."));
            return false;
        }
        return run(DropRows, {recNo}) && run(SaveRows, {recNo});
    });
}

bool RecordDatabase::listRecords(QList<RecordHeader> *records)
{
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!prepare(query, ListRecords) || !exec(query))
        return false;
    records->clear();
    while (query.next()) {
        RecordHeader record;
        record.recNo = query.value(0).toString();
        record.startTime = query.value(1).toString();
        record.endTime = query.value(2).toString();
        record.comment = query.value(3).toString();
        records->append(record);
    }
    return true;
}

bool RecordDatabase::readHeader(const QString &recNo, std::optional<RecordHeader> *header)
{
    header->reset();
    QSqlQuery query(m_db);
    if (!prepare(query, ReadHeader))
        return false;
    query.addBindValue(recNo);
    if (!exec(query))
        return false;
    if (!query.next())
        return true;
    RecordHeader found;
    found.recNo = query.value(0).toString();
    found.startTime = query.value(1).toString();
    found.endTime = query.value(2).toString();
    found.comment = query.value(3).toString();
    found.pUnit = query.value(4).toString();
    found.sUnit = query.value(5).toString();
    found.recStyle = query.value(6).toString();
    *header = found;
    return true;
}

bool RecordDatabase::loadRecord(const QString &recNo)
{
    ++workingGeneration;
    return inTransaction([&] { return run(ClearWorking, {}) && run(LoadRows, {recNo}); });
}

QString RecordDatabase::reasonCode(ReasonFilter filter)
{
    switch (filter) {
    case ReasonFilter::Time:
        return QStringLiteral("0");
    case ReasonFilter::AboveUpper:
        return QStringLiteral("1");
    case ReasonFilter::BelowLower:
        return QStringLiteral("2");
    case ReasonFilter::ConditionMet:
        return QStringLiteral("3");
    case ReasonFilter::All:
        break;
    }
    return {};
}

QString RecordDatabase::reasonLabel(const QString &code)
{
    if (code == QLatin1String("0"))
        return QStringLiteral("Time");
    if (code == QLatin1String("1"))
        return QStringLiteral("超過上限");
    if (code == QLatin1String("2"))
        return QStringLiteral("超過下限");
    if (code == QLatin1String("3"))
        return QStringLiteral("符合條件");
    return {};
}

namespace {

// Cut or padded to a width, never inside a character of two UTF-16 units.
QString toWidth(const QString &text, int width)
{
    if (text.size() > width && width > 0 && text.at(width - 1).isHighSurrogate())
        return text.left(width - 1) + QLatin1Char(' ');
    return text.leftJustified(width, u' ', true);
}

} // namespace

QString RecordDatabase::listLine(const RecordHeader &record, int startWidth)
{
    return toWidth(record.recNo, 6) + toWidth(record.startTime, startWidth) + QLatin1Char(' ') +
           toWidth(record.comment, 25);
}

QString RecordDatabase::recordNumberOfListLine(const QString &line)
{
    return line.left(6).trimmed();
}

} // namespace qle
