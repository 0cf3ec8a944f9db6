#pragma once

#include <QDateTime>
#include <QMetaType>
#include <QString>

#include <optional>

namespace qle {

// Something that happened during a recording, kept beside its rows: when
// (ms since the recording's start, and the wall clock for export), what, on
// which output, who caused it and a line of text.
struct RecordEvent {
    enum class Kind {
        OutputOn,
        OutputOff,
        SetValue, // text "CH1 voltage 5 → 6 V"
        Coupling,
        MemoryRecall,
        OutputOffByInstrument, // an output seen off by polling while it was on
        InstrumentError,       // text: the instrument's error
        ConstantVoltage,       // the channel went into constant voltage
        ConstantCurrent,       // the channel went into constant current
        LinkLost,
        LinkBack,
        RecordingStart,
        RecordingStop,
        LimitBreach,
        SequenceStep,
        Mark, // text: the user's note
    };
    static constexpr int KindCount = static_cast<int>(Kind::Mark) + 1;

    enum class Source { User, Instrument, Script, Sequence, Program };
    static constexpr int SourceCount = static_cast<int>(Source::Program) + 1;

    qint64 atMs = 0; // since the recording's start
    QDateTime at;    // wall clock
    Kind kind = Kind::Mark;
    int channel = -1; // 0-based as the instrument counts; -1 for none
    Source source = Source::User;
    QString text;

    friend bool operator==(const RecordEvent &, const RecordEvent &) = default;

    // Stable short names for files and messages: "output-on", "set", ...
    [[nodiscard]] static QString kindName(Kind kind);
    [[nodiscard]] static std::optional<Kind> kindFromName(const QString &name);
    // "user", "instrument", "script", "sequence", "program".
    [[nodiscard]] static QString sourceName(Source source);
    [[nodiscard]] static std::optional<Source> sourceFromName(const QString &name);

    // One line for a list or a log: "12.345 s  CH1  set  CH1 voltage 5 → 6 V (script)".
    [[nodiscard]] QString line() const;
    // The wall clock in ISO 8601 with milliseconds and the offset from UTC
    // ("2024-05-01T14:03:07.250+02:00"); empty when invalid.
    [[nodiscard]] static QString isoTime(const QDateTime &at);
    [[nodiscard]] static QDateTime fromIsoTime(const QString &text);
    // "CH1" for channel 0, empty for none.
    [[nodiscard]] static QString channelLabel(int channel);
};

// What a recording's readings added up to on one output.
struct ChannelTotal {
    int channel = 0; // 0-based
    double chargeAh = 0;
    double energyWh = 0;

    friend bool operator==(const ChannelTotal &, const ChannelTotal &) = default;
};

} // namespace qle

Q_DECLARE_METATYPE(qle::RecordEvent)
