#pragma once

#include "RecordRow.h"

#include <QByteArray>
#include <QString>

namespace qle {

// A recorded row as it is kept in memory for days: every text of the row in
// one UTF-8 block, each preceded by its length. About a fifth of the memory
// of a RecordRow, and a copy shares the block.
class PackedRecordRow {
public:
    PackedRecordRow() = default;
    explicit PackedRecordRow(const RecordRow &row);

    [[nodiscard]] RecordRow unpacked() const;

    [[nodiscard]] qint64 seqNo() const { return m_seqNo; }
    [[nodiscard]] QString recTime() const { return text(RecTime); }
    [[nodiscard]] QString pval(int channel) const { return text(channelField(channel, 0)); }
    [[nodiscard]] QString sval(int channel) const { return text(channelField(channel, 1)); }
    [[nodiscard]] QString reason(int channel) const { return text(channelField(channel, 2)); }
    [[nodiscard]] QString comment() const { return text(Comment); }
    void setComment(const QString &comment);

private:
    // RecTime, then voltage, current and reason of channels 1 to 3, then the comment.
    enum Field { RecTime = 0, FirstChannelField = 1, Comment = 10, FieldCount = 11 };
    static int channelField(int channel, int which) { return FirstChannelField + channel * 3 + which; }

    [[nodiscard]] QString text(int field) const;
    static void appendField(QByteArray &block, const QString &text);

    qint64 m_seqNo = 0;
    qint64 m_timeTick = 0;
    qint64 m_diffLastTime = 0;
    QByteArray m_block;
};

} // namespace qle
