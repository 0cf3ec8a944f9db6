#pragma once

#include "RecordRow.h"

#include <QByteArrayView>
#include <QString>

#include <array>
#include <atomic>

namespace qle {

// Bytes in one allocation with their reference count and size in front of
// them: a pointer to hold, and eight bytes of overhead instead of a byte
// array's twenty-four and its header. Copies share the bytes.
class SharedBytes {
public:
    SharedBytes() = default;
    explicit SharedBytes(qsizetype size); // left uninitialised
    SharedBytes(const SharedBytes &other) noexcept;
    SharedBytes(SharedBytes &&other) noexcept : m_header(other.m_header) { other.m_header = nullptr; }
    SharedBytes &operator=(SharedBytes other) noexcept
    {
        std::swap(m_header, other.m_header);
        return *this;
    }
    ~SharedBytes();

    [[nodiscard]] char *data();
    [[nodiscard]] const char *constData() const;
    [[nodiscard]] qsizetype size() const { return m_header ? static_cast<qsizetype>(m_header->size) : 0; }
    [[nodiscard]] bool isEmpty() const { return size() == 0; }

private:
    struct Header {
        std::atomic<quint32> refs;
        quint32 size;
    };
    Header *m_header = nullptr;
};

// A recorded row as it is kept in memory for days: its numbers, then every
// text of the row in UTF-8, each preceded by its length, in one block
// allocated at its final size. About a seventh of the memory of a
// RecordRow, and a copy shares the block.
class PackedRecordRow {
public:
    // The texts of a row in their order: RecTime, then voltage, current and
    // reason of channels 1 to 3, then the comment.
    static constexpr int TextCount = 11;

    PackedRecordRow() = default;
    explicit PackedRecordRow(const RecordRow &row);
    // The same from texts in UTF-8, taken as they are.
    PackedRecordRow(qint64 seqNo, qint64 timeTick, qint64 diffLastTime,
                    const std::array<QByteArrayView, TextCount> &utf8);

    [[nodiscard]] RecordRow unpacked() const;

    [[nodiscard]] qint64 seqNo() const;
    [[nodiscard]] QString recTime() const { return text(RecTime); }
    [[nodiscard]] QString pval(int channel) const { return text(channelField(channel, 0)); }
    [[nodiscard]] QString sval(int channel) const { return text(channelField(channel, 1)); }
    [[nodiscard]] QString reason(int channel) const { return text(channelField(channel, 2)); }
    [[nodiscard]] QString comment() const { return text(Comment); }
    void setComment(const QString &comment);

private:
    // RecTime, then voltage, current and reason of channels 1 to 3, then the comment.
    enum Field { RecTime = 0, FirstChannelField = 1, Comment = 10, FieldCount = TextCount };
    static int channelField(int channel, int which) { return FirstChannelField + channel * 3 + which; }

    // SeqNo, TimeTick and DiffLastTime lead the block.
    static constexpr int NumberCount = 3;

    [[nodiscard]] QString text(int field) const;
    [[nodiscard]] qint64 number(int index) const;

    SharedBytes m_block;
};

} // namespace qle
