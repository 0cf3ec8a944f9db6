#include "PackedRecordRow.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <limits>
#include <new>

namespace qle {

SharedBytes::SharedBytes(qsizetype size)
{
    if (size <= 0)
        return;
    if (static_cast<quint64>(size) > std::numeric_limits<quint32>::max())
        qBadAlloc();
    void *memory = std::malloc(sizeof(Header) + static_cast<std::size_t>(size));
    Q_CHECK_PTR(memory);
    m_header = new (memory) Header{{1}, static_cast<quint32>(size)};
}

SharedBytes::SharedBytes(const SharedBytes &other) noexcept : m_header(other.m_header)
{
    if (m_header)
        m_header->refs.fetch_add(1, std::memory_order_relaxed);
}

SharedBytes::~SharedBytes()
{
    if (m_header && m_header->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        m_header->~Header();
        std::free(m_header);
    }
}

char *SharedBytes::data()
{
    return m_header ? reinterpret_cast<char *>(m_header + 1) : nullptr;
}

const char *SharedBytes::constData() const
{
    return m_header ? reinterpret_cast<const char *>(m_header + 1) : nullptr;
}

namespace {

// Lengths as base-128 digits, low first; the high bit says another follows.
quint64 readLength(const SharedBytes &block, qsizetype *at)
{
    quint64 value = 0;
    int shift = 0;
    while (*at < block.size() && shift < 64) {
        const auto byte = static_cast<unsigned char>(block.constData()[*at]);
        ++*at;
        value |= quint64{byte & 0x7fu} << shift;
        if ((byte & 0x80u) == 0)
            break;
        shift += 7;
    }
    return value;
}

// Signed numbers folded so that small negative ones stay short.
quint64 zigzag(qint64 value)
{
    return (static_cast<quint64>(value) << 1) ^ static_cast<quint64>(value >> 63);
}

qint64 unzigzag(quint64 value)
{
    return static_cast<qint64>(value >> 1) ^ -static_cast<qint64>(value & 1);
}

int lengthOfLength(quint64 value)
{
    int bytes = 1;
    while (value >= 0x80) {
        value >>= 7;
        ++bytes;
    }
    return bytes;
}

char *putLength(char *at, quint64 value)
{
    while (value >= 0x80) {
        *at++ = static_cast<char>((value & 0x7f) | 0x80);
        value >>= 7;
    }
    *at++ = static_cast<char>(value);
    return at;
}

bool isAscii(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

} // namespace

PackedRecordRow::PackedRecordRow(const RecordRow &row)
{
    std::array<const QString *, FieldCount> texts{};
    texts[RecTime] = &row.recTime;
    for (int ch = 0; ch < 3; ++ch) {
        const auto index = static_cast<std::size_t>(ch);
        texts.at(static_cast<std::size_t>(channelField(ch, 0))) = &row.pval[index];
        texts.at(static_cast<std::size_t>(channelField(ch, 1))) = &row.sval[index];
        texts.at(static_cast<std::size_t>(channelField(ch, 2))) = &row.reason[index];
    }
    texts[Comment] = &row.comment;
    const std::array<quint64, NumberCount> numbers{zigzag(row.seqNo), zigzag(row.timeTick), zigzag(row.diffLastTime)};

    // Sized first and allocated once: a block that grew and was cut back
    // would leave a hole in the heap beside every row.
    std::array<QByteArray, FieldCount> utf8; // only for texts beyond ASCII
    qsizetype size = 0;
    for (const quint64 number : numbers)
        size += lengthOfLength(number);
    for (std::size_t f = 0; f < texts.size(); ++f) {
        qsizetype length = texts.at(f)->size();
        if (!isAscii(*texts.at(f))) {
            utf8.at(f) = texts.at(f)->toUtf8();
            length = utf8.at(f).size();
        }
        size += lengthOfLength(static_cast<quint64>(length)) + length;
    }
    m_block = SharedBytes(size);
    char *at = m_block.data();
    for (const quint64 number : numbers)
        at = putLength(at, number);
    for (std::size_t f = 0; f < texts.size(); ++f) {
        if (!utf8.at(f).isNull()) {
            at = putLength(at, static_cast<quint64>(utf8.at(f).size()));
            at = std::copy(utf8.at(f).cbegin(), utf8.at(f).cend(), at);
            continue;
        }
        const QString &text = *texts.at(f);
        at = putLength(at, static_cast<quint64>(text.size()));
        for (const QChar c : text)
            *at++ = static_cast<char>(c.unicode());
    }
}

PackedRecordRow::PackedRecordRow(qint64 seqNo, qint64 timeTick, qint64 diffLastTime,
                                 const std::array<QByteArrayView, TextCount> &utf8)
{
    const std::array<quint64, NumberCount> numbers{zigzag(seqNo), zigzag(timeTick), zigzag(diffLastTime)};
    qsizetype size = 0;
    for (const quint64 number : numbers)
        size += lengthOfLength(number);
    for (const QByteArrayView text : utf8)
        size += lengthOfLength(static_cast<quint64>(text.size())) + text.size();
    m_block = SharedBytes(size);
    char *at = m_block.data();
    for (const quint64 number : numbers)
        at = putLength(at, number);
    for (const QByteArrayView text : utf8) {
        at = putLength(at, static_cast<quint64>(text.size()));
        at = std::copy(text.begin(), text.end(), at);
    }
}

qint64 PackedRecordRow::number(int index) const
{
    qsizetype at = 0;
    qint64 value = 0;
    for (int i = 0; i <= index; ++i)
        value = unzigzag(readLength(m_block, &at));
    return value;
}

qint64 PackedRecordRow::seqNo() const
{
    return number(0);
}

QString PackedRecordRow::text(int field) const
{
    if (field < 0 || field >= FieldCount || m_block.isEmpty())
        return {};
    qsizetype at = 0;
    for (int i = 0; i < NumberCount; ++i)
        readLength(m_block, &at);
    for (int f = 0;; ++f) {
        const auto length = static_cast<qsizetype>(
            std::min<quint64>(readLength(m_block, &at), static_cast<quint64>(m_block.size() - at)));
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
    row.seqNo = number(0);
    row.timeTick = number(1);
    row.diffLastTime = number(2);
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
