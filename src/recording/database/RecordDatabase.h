#pragma once

#include "RecordRow.h"

#include <QByteArrayView>
#include <QList>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>

#include <array>
#include <functional>
#include <optional>

namespace qle {

// The working rows a display asks for: all of them, or those of one reason code.
enum class ReasonFilter { All, Time, AboveUpper, BelowLower, ConditionMet };

// One working row as it is read, for a reader that keeps it in a form of its
// own: valid only during the call it is handed to. Texts are the bytes the
// table holds (UTF-8); a NULL is empty.
struct WorkingRowView {
    // The texts in the table's column order.
    enum Text { RecTime, PVal, SVal, Reason, PVal2, SVal2, Reason2, PVal3, SVal3, Reason3, Comment, TextCount };

    qint64 rowId = 0;
    qint64 seqNo = 0;
    bool seqNoNull = false;
    qint64 timeTick = 0;
    qint64 diffLastTime = 0;
    std::array<QByteArrayView, TextCount> texts;

    // The six readings, voltage and current of channels 1 to 3, by index 0..5.
    [[nodiscard]] QByteArrayView reading(int index) const
    {
        return texts.at(static_cast<std::size_t>(PVal + index / 2 * 3 + index % 2));
    }
};

// The record tables of mtype.mdb: the working table datatemp that a recording
// fills row by row, and the saved records (datamain headers, datadetail rows).
// Every value goes into its statement as a bound parameter. A routine returns
// false on a database error, which lastError() then describes.
class RecordDatabase {
public:
    explicit RecordDatabase(const QSqlDatabase &db);

    // Working table.
    bool clearWorking();
    bool countWorking(qint64 *count);
    // Whether the working rows are a saved record as it stands (same number
    // of rows, same last row), so that nothing would be lost by clearing them.
    bool workingRowsSaved(bool *saved);
    // How many working rows no saved record holds: all of them, or 0 when
    // there are none or a record holds an exact copy.
    bool unsavedWorkingRows(qint64 *count);
    // The channels the working rows hold: the last one with a reading in
    // any row (1 when there are none).
    bool workingChannels(int *channels);
    // Stores the row's number, time, readings and seconds; the reason codes are
    // always "1", "2", "3" and the comment empty, as the sampler writes them.
    bool addSample(const RecordRow &row);
    bool workingRows(ReasonFilter filter, QList<RecordRow> *rows);
    // The same rows handed over one at a time, so that a caller keeping them
    // in another form never holds them all twice.
    bool forEachWorkingRow(ReasonFilter filter, const std::function<void(RecordRow &)> &take);
    // The same rows as they are read, with no text copied: the fastest way
    // through a day of rows.
    bool readWorkingRows(ReasonFilter filter, const std::function<void(const WorkingRowView &)> &take);
    bool setRowComment(const QString &recTime, const QString &comment);

    // Saved records. A save takes the next record number, writes the header
    // and copies every working row, all or nothing; *recNo gets the number.
    bool nextRecordNumber(QString *recNo);
    bool saveRecord(const RecordHeader &header, QString *recNo);
    // A record written as it is taken, without the working table: the header
    // first (numbered as saveRecord numbers), then rows in batches, each batch
    // with the end time it reaches.
    bool beginRecord(const RecordHeader &header, QString *recNo);
    bool appendRecordRows(const QString &recNo, const QList<RecordRow> &rows, const QString &endTime);
    // New comment for the header, the record's rows replaced by the working
    // rows (every column), all or nothing. Start and end times stay.
    bool replaceRecord(const QString &recNo, const QString &comment);
    // Highest record number first.
    bool listRecords(QList<RecordHeader> *records);
    // *header stays empty when the record does not exist.
    bool readHeader(const QString &recNo, std::optional<RecordHeader> *header);
    // Replaces every working row by the rows of the record.
    bool loadRecord(const QString &recNo);

    // Test data in datacopy, from the fixed records 10019 and 10018.
    bool generateSampleData();
    bool generateSampleDataMin();

    // Changes whenever the working table may have changed other than by
    // rows appended through addSample (cleared, a record loaded, a failed
    // write), in any RecordDatabase of this process. Readers that keep
    // something worked out from the table compare it to know when to read
    // the table whole again.
    [[nodiscard]] static quint64 workingTableGeneration();

    [[nodiscard]] static QString reasonCode(ReasonFilter filter);
    // "Time", "超過上限", "超過下限", "符合條件" for the codes "0" to "3".
    [[nodiscard]] static QString reasonLabel(const QString &code);
    // One line of the record list: number in 6 characters, start time in
    // startWidth, one space, comment in 25 (padded with spaces or cut).
    [[nodiscard]] static QString listLine(const RecordHeader &record, int startWidth);
    // The record number a line made by listLine begins with.
    [[nodiscard]] static QString recordNumberOfListLine(const QString &line);

    [[nodiscard]] const QSqlDatabase &connection() const { return m_db; }
    [[nodiscard]] const QSqlError &lastError() const { return m_error; }
    [[nodiscard]] QString errorNumber() const { return m_error.nativeErrorCode(); }
    [[nodiscard]] QString errorDescription() const;

    // Statements run so far, and how often the per-sample insert was prepared.
    [[nodiscard]] quint64 statementCount() const { return m_statements; }
    [[nodiscard]] int samplePrepareCount() const { return m_samplePrepares; }

private:
    bool prepare(QSqlQuery &query, const QString &sql);
    bool exec(QSqlQuery &query);
    bool run(const QString &sql, const QVariantList &values);
    bool inTransaction(const std::function<bool()> &work);
    bool retimeSampleRecord();
    bool copySampleRecord();
    void fail(const QString &description);

    QSqlDatabase m_db;
    QSqlQuery m_insertSample;
    bool m_insertPrepared = false;
    QSqlError m_error;
    quint64 m_statements = 0;
    int m_samplePrepares = 0;
};

} // namespace qle
