#pragma once

#include "Instrument.h"

#include <QString>

#include <variant>

namespace qle {

// One of the set commands scripts send as a line of text, over the control
// port or MQTT: "VOLT n,V", "CURR n,A", "OVP n,V", "OUTP ON|OFF|1|0",
// "COUP INDEP|TRACK|PAR" (any case, channels from 1, numbers with a point).
// Read here once, so that every way in answers the same texts after the same
// checks, and applied through the model's operations as a script's change.
struct SetCommand {
    enum class Kind { Setting, Output, Coupling };

    Kind kind = Kind::Output;
    int channel = -1; // 0-based; Setting only
    ChannelSetting setting = ChannelSetting::Voltage;
    double value = 0;
    bool on = false;
    Coupling coupling = Coupling::Independent;

    friend bool operator==(const SetCommand &, const SetCommand &) = default;

    // The line's first word in upper case ("VOLT").
    [[nodiscard]] static QString wordOf(const QString &line);
    // VOLT, CURR, OVP, OUTP or COUP.
    [[nodiscard]] static bool isSetWord(const QString &word);
    // VOLT, CURR and OVP name a channel, read against the instrument's outputs.
    [[nodiscard]] static bool namesChannel(const QString &word);

    // Reads one line for an instrument of `channelCount` outputs: the
    // command, or the reply that refuses it ("ERR no such channel", "ERR not
    // a number", "ERR expected ON or OFF", "ERR expected INDEP, TRACK or
    // PAR", "ERR not a set command").
    [[nodiscard]] static std::variant<SetCommand, QString> parse(const QString &line, int channelCount);

    // Applies it to `instrument` with ChangeSource::Script. The model checks
    // limits and locks; a coupling on a one-output model or during an
    // auto-run is refused here first.
    void apply(Instrument &instrument, OutcomeHandler done) const;

    // A script's reply to an outcome: "OK", "ERR <reason>", "ERR instrument:
    // <error>", "ERR link lost".
    [[nodiscard]] static QString replyTo(const Outcome &outcome);
};

} // namespace qle
