#include "LineParser.h"

#include "TokenReader.h"

#include <cmath>

namespace qle::sequence {
namespace {

// More values than any link could send in a useful time.
constexpr double MostRampIntervals = 1000000;

const QStringList StepWords{"set",    "output", "coupling", "recall", "wait", "ramp",
                            "repeat", "end",    "mark",     "record", "on"};

QString channelName(int channel)
{
    return QStringLiteral("ch%1").arg(channel + 1);
}

Dimension dimensionOf(ChannelSetting setting)
{
    return setting == ChannelSetting::Current ? Dimension::Current : Dimension::Voltage;
}

ChannelSetting settingNamed(const QString &name)
{
    if (name == QLatin1String("current"))
        return ChannelSetting::Current;
    if (name == QLatin1String("ovp"))
        return ChannelSetting::OverVoltage;
    if (name == QLatin1String("ocp"))
        return ChannelSetting::OverCurrent;
    return ChannelSetting::Voltage;
}

bool onOff(TokenReader &reader, const QString &context)
{
    return reader.word({"on", "off"}, context) == QLatin1String("on");
}

SetStep readSet(TokenReader &reader)
{
    SetStep set;
    set.channel = reader.channel(QStringLiteral("after set"), &set.channelAt);
    const QString name = channelName(set.channel);
    set.setting = settingNamed(reader.word({"voltage", "current", "ovp", "ocp"}, "after " + name));
    set.valueAt = reader.here();
    if (set.setting == ChannelSetting::OverCurrent)
        set.value = onOff(reader, QStringLiteral("after ocp")) ? 1 : 0;
    else
        set.value = reader.value(dimensionOf(set.setting), "the value of " + name, &set.valueAt);
    return set;
}

CouplingStep readCoupling(TokenReader &reader)
{
    const QString mode = reader.word({"independent", "parallel", "track"}, QStringLiteral("after coupling"));
    return {mode == QLatin1String("parallel") ? Coupling::Parallel
            : mode == QLatin1String("track")  ? Coupling::Track
                                              : Coupling::Independent};
}

WaitUntilStep readWaitUntil(TokenReader &reader)
{
    WaitUntilStep until;
    until.channel = reader.channel(QStringLiteral("after until"), &until.channelAt);
    const QString name = channelName(until.channel);
    const QString reading = reader.word({"voltage", "current", "power"}, "after " + name);
    until.quantity = reading == QLatin1String("current") ? Quantity::Current
                     : reading == QLatin1String("power") ? Quantity::Power
                                                         : Quantity::Voltage;
    const Dimension dimension = until.quantity == Quantity::Current ? Dimension::Current
                                : until.quantity == Quantity::Power ? Dimension::Power
                                                                    : Dimension::Voltage;
    if (!reader.nextIsSymbol(QStringLiteral("<")) && !reader.nextIsSymbol(QStringLiteral(">")) &&
        !reader.nextIsSymbol(QStringLiteral("=")))
        reader.failAtNext(
            QStringLiteral("\"<\", \">\" or \"=\" expected after %1, found %2").arg(reading, reader.describeNext()));
    const QString comparison = reader.take(QString()).text;
    until.comparison = comparison == QLatin1String("<")   ? Comparison::Below
                       : comparison == QLatin1String(">") ? Comparison::Above
                                                          : Comparison::Within;
    until.value = reader.value(dimension, "the " + reading + " to wait for");
    if (until.comparison == Comparison::Within) {
        if (!reader.nextIsSymbol(QStringLiteral("+-")))
            reader.failAtNext(QStringLiteral("a tolerance (e.g. +- 0.05) expected after the value, found %1")
                                  .arg(reader.describeNext()));
        reader.take(QString());
        const Position at = reader.here();
        until.tolerance = reader.value(dimension, QStringLiteral("the tolerance"));
        if (until.tolerance < 0)
            reader.fail(at, QStringLiteral("a tolerance is not below 0"));
    } else if (reader.nextIsSymbol(QStringLiteral("+-"))) {
        reader.failAtNext(QStringLiteral("a tolerance goes with \"=\" only"));
    }
    if (!reader.nextIs(QStringLiteral("timeout")))
        reader.failAtNext(QStringLiteral("\"timeout\" expected: an unattended wait needs one (e.g. timeout 10m)"));
    reader.take(QString());
    const Position timeoutAt = reader.here();
    until.timeoutSec = reader.duration(QStringLiteral("the timeout"));
    if (until.timeoutSec <= 0)
        reader.fail(timeoutAt, QStringLiteral("a timeout longer than 0 expected"));
    if (reader.nextIs(QStringLiteral("else"))) {
        reader.take(QString());
        until.continueOnTimeout = reader.word({"stop", "continue"}, QStringLiteral("after else")) == "continue";
    }
    return until;
}

RampStep readRamp(TokenReader &reader)
{
    RampStep ramp;
    ramp.channel = reader.channel(QStringLiteral("after ramp"), &ramp.channelAt);
    const QString name = channelName(ramp.channel);
    ramp.setting = settingNamed(reader.word({"voltage", "current"}, "after " + name));
    const Dimension dimension = dimensionOf(ramp.setting);
    ramp.from = reader.value(dimension, QStringLiteral("where the ramp starts"), &ramp.fromAt);
    reader.word({"to"}, QStringLiteral("after the starting value"));
    ramp.to = reader.value(dimension, QStringLiteral("where the ramp ends"), &ramp.toAt);
    reader.word({"over"}, QStringLiteral("after the end value"));
    const Position overAt = reader.here();
    ramp.seconds = reader.duration(QStringLiteral("the ramp's time"));
    if (ramp.seconds <= 0)
        reader.fail(overAt, QStringLiteral("a ramp takes a time longer than 0"));
    if (ramp.from == ramp.to)
        reader.fail(ramp.fromAt, QStringLiteral("the ramp starts where it ends: use set and wait"));
    const Position stepAt = reader.here();
    if (reader.word({"step", "steps"}, QStringLiteral("after the ramp's time")) == QLatin1String("steps")) {
        ramp.intervals = static_cast<int>(std::min<qint64>(reader.count(QStringLiteral("after steps"), 1),
                                                           static_cast<qint64>(MostRampIntervals) + 1));
    } else {
        const Position valueAt = reader.here();
        const double step = reader.value(dimension, QStringLiteral("the ramp's step"));
        if (step <= 0)
            reader.fail(valueAt, QStringLiteral("a step larger than 0 expected"));
        // A step that does not divide the span evenly is made a little
        // smaller: the ramp still ends on its end value.
        const double intervals = std::ceil(std::abs(ramp.to - ramp.from) / step - 1e-9);
        ramp.intervals = static_cast<int>(std::clamp(intervals, 1.0, MostRampIntervals + 1));
    }
    if (ramp.intervals > MostRampIntervals)
        reader.fail(stepAt, QStringLiteral("a ramp of at most %1 steps expected").arg(MostRampIntervals, 0, 'f', 0));
    return ramp;
}

// The action of the line's step, the first word already read.
StepAction readAction(TokenReader &reader, const QString &keyword)
{
    if (keyword == QLatin1String("set"))
        return readSet(reader);
    if (keyword == QLatin1String("output"))
        return OutputStep{onOff(reader, QStringLiteral("after output"))};
    if (keyword == QLatin1String("coupling"))
        return readCoupling(reader);
    if (keyword == QLatin1String("recall")) {
        RecallStep recall;
        recall.memoryAt = reader.here();
        recall.memory = static_cast<int>(std::min<qint64>(reader.count(QStringLiteral("after recall"), 0), 1000));
        return recall;
    }
    if (keyword == QLatin1String("wait")) {
        if (reader.nextIs(QStringLiteral("until"))) {
            reader.take(QString());
            return readWaitUntil(reader);
        }
        return WaitStep{reader.duration(QStringLiteral("wait"))};
    }
    if (keyword == QLatin1String("ramp"))
        return readRamp(reader);
    if (keyword == QLatin1String("mark"))
        return MarkStep{reader.text(QStringLiteral("mark (e.g. mark \"charged\")"))};
    return RecordStep{reader.word({"start", "stop"}, QStringLiteral("after record")) == QLatin1String("start")};
}

EndAction readOnStop(TokenReader &reader)
{
    reader.word({"stop"}, QStringLiteral("after on"));
    if (reader.nextIsSymbol(QStringLiteral(":")))
        reader.take(QString());
    if (reader.word({"output", "hold"}, QStringLiteral("after on stop:")) == QLatin1String("hold"))
        return EndAction::Hold;
    reader.word({"off"}, QStringLiteral("after on stop: output"));
    return EndAction::OutputOff;
}

} // namespace

ParsedLine parseLine(const LexedLine &line, int lineNumber)
{
    ParsedLine parsed;
    if (line.tokens.isEmpty()) {
        parsed.error = line.error;
        return parsed;
    }
    TokenReader reader(line.tokens, lineNumber);
    parsed.step.at = {lineNumber, line.tokens.first().column};
    parsed.step.source = line.source;
    const Token &first = line.tokens.first();
    if (first.kind == Token::Kind::Word) {
        if (first.text.compare(QLatin1String("repeat"), Qt::CaseInsensitive) == 0) {
            parsed.kind = ParsedLine::Kind::RepeatOpen;
            parsed.step.action = RepeatStep{};
        } else if (first.text.compare(QLatin1String("end"), Qt::CaseInsensitive) == 0) {
            parsed.kind = ParsedLine::Kind::RepeatClose;
        }
    }
    try {
        const QString keyword = reader.word(StepWords, QStringLiteral("at the start of the line"));
        if (keyword == QLatin1String("repeat")) {
            parsed.step.action = RepeatStep{reader.count(QStringLiteral("after repeat"), 1), {}};
        } else if (keyword == QLatin1String("on")) {
            parsed.kind = ParsedLine::Kind::OnStop;
            parsed.onStop = readOnStop(reader);
        } else if (keyword != QLatin1String("end")) {
            parsed.kind = ParsedLine::Kind::Step;
            parsed.step.action = readAction(reader, keyword);
        }
        // The lexer's fault comes after every token it made.
        if (line.error)
            throw LineFault{*line.error};
        reader.end();
    } catch (const LineFault &fault) {
        // A line cut short by the lexer is told as such, not as a line
        // that ended too soon.
        parsed.error = line.error && reader.atEnd() ? *line.error : fault.diagnostic;
        if (parsed.kind == ParsedLine::Kind::Step || parsed.kind == ParsedLine::Kind::OnStop)
            parsed.kind = ParsedLine::Kind::Empty;
    }
    return parsed;
}

} // namespace qle::sequence
