#include "RowWriter.h"

#include "EnergyTally.h"

#include "platform/SqliteFile.h"
#include "recording/database/RecordDatabase.h"
#include "recording/database/RecordTime.h"
#include "recording/events/EventStore.h"
#include "recording/export/ExportCsv.h"

#include <QFileInfo>
#include <QSqlDatabase>

#include <cmath>

namespace qle::cli {
namespace {

const QString RecordConnection = QStringLiteral("qle-cli-records");

bool fail(Failure *failure, const QString &message)
{
    *failure = {FileError, message};
    return false;
}

} // namespace

RowWriter::RowWriter(int channels, const EnergyTally *energyColumns) : m_channels(channels), m_energy(energyColumns)
{
}

RowWriter::~RowWriter()
{
    close();
}

bool RowWriter::open(const RowTargets &targets, const QDateTime &start, Failure *failure)
{
    m_start = start;
    m_csvName = targets.csvToStdout ? QStringLiteral("standard output") : targets.csvPath;
    if (targets.csvToStdout) {
        if (!m_csv.open(stdout, QIODevice::WriteOnly))
            return fail(failure, "cannot write to standard output: " + m_csv.errorString());
    } else if (!targets.csvPath.isEmpty()) {
        m_csv.setFileName(targets.csvPath);
        if (!m_csv.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return fail(failure, "cannot write " + targets.csvPath + ": " + m_csv.errorString());
    }
    if (m_csv.isOpen()) {
        const QString energy = m_energy ? m_energy->csvHeader() : QString();
        m_csv.write((ExportCsv::headerLine(m_channels) + energy).toLocal8Bit() + ExportCsv::LineEnd);
        if (!m_csv.flush())
            return fail(failure, "cannot write " + m_csvName + ": " + m_csv.errorString());
    }
    if (!targets.recordComment)
        return true;
    const QString path = targets.dataFolder + "/mtype.mdb";
    QString error;
    if (!QFileInfo(path).isWritable() || !sqlite::open(RecordConnection, path, &error))
        return fail(failure, "cannot write records to " + path + (error.isEmpty() ? "" : ": " + error));
    m_records = std::make_unique<RecordDatabase>(QSqlDatabase::database(RecordConnection));
    RecordHeader header;
    header.startTime = formatRecordTime(start);
    header.endTime = header.startTime;
    header.comment = *targets.recordComment;
    header.recStyle = QStringLiteral("0");
    if (!m_records->beginRecord(header, &m_recNo))
        return fail(failure, "cannot write a record to " + path + ": " + m_records->errorDescription());
    return true;
}

bool RowWriter::append(const std::array<QString, 3> &volts, const std::array<QString, 3> &amps, double takenAtSec,
                       Failure *failure)
{
    const qint64 seconds = std::llround(takenAtSec);
    RecordRow row;
    row.seqNo = m_rows;
    row.recTime = formatRecordTime(m_start.addSecs(seconds));
    row.pval = volts;
    row.sval = amps;
    row.reason = {QStringLiteral("Time"), QStringLiteral("1"), QStringLiteral("2")};
    row.timeTick = seconds;
    row.diffLastTime = m_rows == 0 ? 0 : seconds - m_lastSeconds;
    m_lastSeconds = seconds;
    if (m_csv.isOpen()) {
        const QString energy = m_energy ? m_energy->csvFields(volts, amps) : QString();
        m_csv.write((ExportCsv::rowLine(row, m_channels) + energy).toLocal8Bit() + ExportCsv::LineEnd);
        if (!m_csv.flush())
            return fail(failure, "cannot write " + m_csvName + ": " + m_csv.errorString());
    }
    if (m_records && !m_records->appendRecordRows(m_recNo, {row}, row.recTime))
        return fail(failure, "cannot add to record " + m_recNo + ": " + m_records->errorDescription());
    ++m_rows;
    return true;
}

bool RowWriter::saveTotals(const QList<ChannelTotal> &totals, Failure *failure)
{
    if (!m_records)
        return true;
    EventStore store(QSqlDatabase::database(RecordConnection));
    if (!store.saveTotals(m_recNo, totals))
        return fail(failure, "cannot save the totals of record " + m_recNo + ": " + store.lastError().text());
    return true;
}

void RowWriter::close()
{
    m_csv.close();
    if (!QSqlDatabase::contains(RecordConnection))
        return;
    m_records.reset();
    QSqlDatabase::database(RecordConnection, false).close();
    QSqlDatabase::removeDatabase(RecordConnection);
}

} // namespace qle::cli
