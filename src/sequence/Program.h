#pragma once

#include "protocol/DeviceCommands.h"

#include <QString>

#include <variant>
#include <vector>

namespace qle::sequence {

// Where something stands in a sequence file: 1-based line and column; line 0
// for what belongs to no line.
struct Position {
    int line = 0;
    int column = 0;
};

// What a `wait until` compares: power is the measured voltage times the
// measured current.
enum class Quantity { Voltage, Current, Power };
enum class Comparison { Below, Above, Within };

// `set ch1 voltage 5 V`, `set ch1 ocp on` (1 on, 0 off).
struct SetStep {
    int channel = 0; // 0-based
    ChannelSetting setting = ChannelSetting::Voltage;
    double value = 0;
    Position channelAt;
    Position valueAt;
};

struct OutputStep {
    bool on = false;
};

struct CouplingStep {
    Coupling coupling = Coupling::Independent;
};

struct RecallStep {
    int memory = 0;
    Position memoryAt;
};

struct WaitStep {
    double seconds = 0;
};

// `wait until ch1 current < 0.05 A timeout 3h else continue`.
struct WaitUntilStep {
    int channel = 0; // 0-based
    Quantity quantity = Quantity::Current;
    Comparison comparison = Comparison::Below;
    double value = 0;
    double tolerance = 0; // of Within
    double timeoutSec = 0;
    bool continueOnTimeout = false;
    Position channelAt;
};

// `ramp ch1 voltage 0 to 12 V over 1h step 0.1 V`: `intervals` + 1 values,
// from `from` to exactly `to`, evenly spaced in value and time.
struct RampStep {
    int channel = 0; // 0-based
    ChannelSetting setting = ChannelSetting::Voltage;
    double from = 0;
    double to = 0;
    double seconds = 0;
    int intervals = 1;
    Position channelAt;
    Position fromAt;
    Position toAt;
};

struct Step;

// `repeat N` ... `end`.
struct RepeatStep {
    qint64 count = 1;
    std::vector<Step> body;
};

// `mark "text"`: a note for the recording's timeline.
struct MarkStep {
    QString text;
};

// `record start` / `record stop`.
struct RecordStep {
    bool start = true;
};

using StepAction = std::variant<SetStep, OutputStep, CouplingStep, RecallStep, WaitStep, WaitUntilStep, RampStep,
                                RepeatStep, MarkStep, RecordStep>;

struct Step {
    Position at;
    QString source; // the line as written, without its comment
    StepAction action;
};

// What a run that ends early leaves behind: `on stop: output off` (the
// default) or `on stop: hold`.
enum class EndAction { OutputOff, Hold };

struct Program {
    std::vector<Step> steps;
    EndAction onStop = EndAction::OutputOff;
    Position onStopAt; // line 0 when the file does not say
};

} // namespace qle::sequence
