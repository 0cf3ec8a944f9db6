#pragma once

#include <QString>

#include <array>
#include <optional>

namespace qle {

// What a limit watches: the readings of an output (voltage, current and
// their product) from below or above, and the totals of a recording from
// above.
enum class LimitKind { VoltageLow, VoltageHigh, CurrentLow, CurrentHigh, PowerLow, PowerHigh, ChargeHigh, EnergyHigh };
inline constexpr int LimitKindCount = static_cast<int>(LimitKind::EnergyHigh) + 1;

// What the front end does when a limit is crossed. Every breach is put
// down as an event first.
enum class LimitAction { MarkOnly, StopRecording, OutputOff, StopSequence };

struct Limit {
    double value = 0;
    LimitAction action = LimitAction::MarkOnly;

    friend bool operator==(const Limit &, const Limit &) = default;
};

// The limits of one output; each may be unset.
struct ChannelLimits {
    std::array<std::optional<Limit>, LimitKindCount> limits;

    [[nodiscard]] std::optional<Limit> &operator[](LimitKind kind) { return limits.at(index(kind)); }
    [[nodiscard]] const std::optional<Limit> &operator[](LimitKind kind) const { return limits.at(index(kind)); }
    [[nodiscard]] bool isEmpty() const;
    friend bool operator==(const ChannelLimits &, const ChannelLimits &) = default;

    [[nodiscard]] static bool isUpper(LimitKind kind);
    // "V", "A", "W", "Ah", "Wh".
    [[nodiscard]] static QString unit(LimitKind kind);
    // "voltage", "current", "power", "charge", "energy".
    [[nodiscard]] static QString quantity(LimitKind kind);
    // Stable names for settings and messages: "voltage-low", "energy-high".
    [[nodiscard]] static QString kindName(LimitKind kind);
    // "mark", "stop-recording", "output-off", "stop-sequence".
    [[nodiscard]] static QString actionName(LimitAction action);
    [[nodiscard]] static std::optional<LimitAction> actionFromName(const QString &name);

    // Through platform::settings(): section "Limits", one key a limit,
    // "<model>/CH<n>/<kind name>" = "<value> <action name>" with a point
    // as decimal separator, empty for none. `channel` is 0-based. Text that
    // does not read as a number and an action gives no limit.
    [[nodiscard]] static ChannelLimits load(const QString &model, int channel);
    static void save(const QString &model, int channel, const ChannelLimits &limits);

private:
    static std::size_t index(LimitKind kind) { return static_cast<std::size_t>(kind); }
};

} // namespace qle
