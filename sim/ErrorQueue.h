#pragma once

#include <QByteArray>
#include <QList>

namespace psusim {

// The instrument's error/event queue: oldest first, fixed depth. When full,
// the newest entry is replaced by "Queue overflow" as SCPI instruments do.
class ErrorQueue {
public:
    static constexpr int kDepth = 16;

    struct Entry {
        int code = 0;
        QByteArray text;
    };

    void push(int code, const QByteArray &text);
    // The oldest entry as its reply text (e.g. -113,"Undefined header"), or
    // 0,"No error" when empty.
    QByteArray popReply();
    void clear() { m_entries.clear(); }
    [[nodiscard]] int size() const { return int(m_entries.size()); }

private:
    QList<Entry> m_entries;
};

// The codes this firmware reports.
namespace scpi_error {
inline constexpr int kSyntax = -102;
inline constexpr int kMissingParameter = -109;
inline constexpr int kUndefinedHeader = -113;
inline constexpr int kSuffixOutOfRange = -114;
inline constexpr int kSettingsConflict = -221;
inline constexpr int kDataOutOfRange = -222;
inline constexpr int kQueueOverflow = -350;
} // namespace scpi_error

} // namespace psusim
