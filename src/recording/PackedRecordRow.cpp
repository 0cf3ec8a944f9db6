#include "PackedRecordRow.h"

namespace qle {

namespace {

// Lengths as base-128 digits, low first; the high bit says another follows.
void appendLength(QByteArray &block, qsizetype length)
{
    auto value = static_cast<quint64>(length);
    while (value >= 0x80) {
        block.append(static_cast<char>((value & 0x7f) | 0x80));
        value >>= 7;
    }
    block.append(static_cast<char>(value));
}

qsizetype readLength(const QByteArray &block, qsizetype *at)
{
    quint64 value = 0;
    int shift = 0;
    while (*at < block.size() && shift < 63) {
        const auto byte = static_cast<unsigned char>(block.at(*at));
        ++*at;
        value |= quint64{byte & 0x7fu} << shift;
        if ((byte & 0x80u) == 0)
            break;
        shift += 7;
    }
    return static_cast<qsizetype>(value);
}

} // namespace

PackedRecordRow::PackedRecordRow(const RecordRow &row)
    : m_seqNo(row.seqNo), m_timeTick(row.timeTick), m_diffLastTime(row.diffLastTime)
{
    appendField(m_block, row.recTime);
    for (std::size_t ch = 0; ch < 3; ++ch) {
        appendField(m_block, row.pval[ch]);
        appendField(m_block, row.sval[ch]);
        appendField(m_block, row.reason[ch]);
    }
    appendField(m_block, row.comment);
    m_block.squeeze();
}

void PackedRecordRow::appendField(QByteArray &block, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    appendLength(block, utf8.size());
    block.append(utf8);
}

QString PackedRecordRow::text(int field) const
{
    if (field < 0 || field >= FieldCount)
        return {};
    qsizetype at = 0;
    for (int f = 0;; ++f) {
        const qsizetype length = std::min(readLength(m_block, &at), m_block.size() - at);
        if (f == field)
            return QString::fromUtf8(m_block.constData() + at, length);
        at += length;
        if (at >= m_block.size())
            return {};
    }
}

RecordRow PackedRecordRow::unpacked() const
{
    RecordRow row;
    row.seqNo = m_seqNo;
    row.timeTick = m_timeTick;
    row.diffLastTime = m_diffLastTime;
    row.recTime = recTime();
    for (int ch = 0; ch < 3; ++ch) {
        const auto index = static_cast<std::size_t>(ch);
        row.pval[index] = pval(ch);
        row.sval[index] = sval(ch);
        row.reason[index] = reason(ch);
    }
    row.comment = comment();
    return row;
}

void PackedRecordRow::setComment(const QString &comment)
{
    RecordRow row = unpacked();
    row.comment = comment;
    *this = PackedRecordRow(row);
}

} // namespace qle
