#include "PrologixFrontend.h"

#include "Instrument.h"

namespace psusim {

namespace {
std::optional<int> numberIn(const QByteArray &text, int min, int max)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok || value < min || value > max)
        return std::nullopt;
    return value;
}

// ESC in front of CR, LF, ESC or '+' makes it plain data.
QByteArray unescaped(const QByteArray &line)
{
    QByteArray out;
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line[i] == '\x1b' && i + 1 < line.size())
            ++i;
        out.append(line[i]);
    }
    return out;
}
} // namespace

PrologixFrontend::PrologixFrontend(int latencyMs) : m_latencyMs(latencyMs)
{
}

void PrologixFrontend::attach(int address, Instrument *instrument)
{
    const bool first = m_devices.isEmpty();
    m_devices[address].instrument = instrument;
    if (first)
        m_address = address;
}

void PrologixFrontend::resetSettings()
{
    m_auto = false;
    m_eoi = true;
    m_eos = 0;
    m_readTimeoutMs = 500;
}

Outgoing PrologixFrontend::controllerReply(const QByteArray &text, double nowMs) const
{
    Outgoing out;
    out.text = text;
    out.fromInstrument = false;
    out.readyAtMs = nowMs;
    return out;
}

QByteArray PrologixFrontend::eosBytes() const
{
    switch (m_eos) {
    case 0:
        return "\r\n";
    case 1:
        return "\r";
    case 2:
        return "\n";
    default:
        return {};
    }
}

QList<Outgoing> PrologixFrontend::handleLine(const QByteArray &line, double nowMs)
{
    if (line.startsWith("++"))
        return controllerCommand(line, nowMs);
    return toInstrument(unescaped(line), nowMs);
}

QList<Outgoing> PrologixFrontend::toInstrument(const QByteArray &data, double nowMs)
{
    auto it = m_devices.find(m_address);
    if (it == m_devices.end())
        return {}; // nobody listens at that address
    Device &device = it.value();
    QList<QByteArray> messages = device.splitter.feed(data + eosBytes());
    if (m_eoi)
        messages += device.splitter.flush();
    QList<Outgoing> out;
    for (const QByteArray &message : messages) {
        const FaultInjector::Verdict verdict = observe(message);
        const std::optional<QByteArray> reply = device.instrument->execute(message);
        if (!reply)
            continue;
        Outgoing o;
        o.text = *reply;
        o.command = message;
        o.readyAtMs = nowMs + m_latencyMs;
        o.muted = verdict.mute;
        device.output = o; // a newer reply replaces an unread one
    }
    if (m_auto && device.output) {
        out.append(*device.output);
        device.output.reset();
    }
    return out;
}

QList<Outgoing> PrologixFrontend::controllerCommand(const QByteArray &line, double nowMs)
{
    const QByteArray body = line.mid(2).trimmed();
    const qsizetype space = body.indexOf(' ');
    const QByteArray name = (space < 0 ? body : body.left(space)).toLower();
    const QByteArray arg = space < 0 ? QByteArray() : body.mid(space + 1).trimmed();
    const bool query = arg.isEmpty();

    auto setting = [&](int &value, int min, int max) -> QList<Outgoing> {
        if (query)
            return {controllerReply(QByteArray::number(value), nowMs)};
        if (const auto v = numberIn(arg, min, max))
            value = *v;
        return {};
    };
    auto flag = [&](bool &value) -> QList<Outgoing> {
        int v = value ? 1 : 0;
        QList<Outgoing> out = setting(v, 0, 1);
        value = v == 1;
        return out;
    };

    if (name == "addr") {
        const int before = m_address;
        QList<Outgoing> out = setting(m_address, 0, 30);
        if (m_address != before && m_devices.contains(before))
            m_devices[before].splitter.clear();
        return out;
    }
    if (name == "auto")
        return flag(m_auto);
    if (name == "eoi")
        return flag(m_eoi);
    if (name == "eos")
        return setting(m_eos, 0, 3);
    if (name == "read_tmo_ms")
        return setting(m_readTimeoutMs, 1, 3000);
    if (name == "ver")
        return {controllerReply(kVersion, nowMs)};
    if (name == "mode") {
        int mode = 1; // controller mode only
        return setting(mode, 1, 1);
    }
    if (name == "read") {
        auto it = m_devices.find(m_address);
        if (it == m_devices.end() || !it->output)
            return {}; // the controller times out without data
        Outgoing out = *it->output;
        it->output.reset();
        out.readyAtMs = qMax(out.readyAtMs, nowMs);
        return {out};
    }
    if (name == "clr") {
        if (auto it = m_devices.find(m_address); it != m_devices.end()) {
            it->output.reset();
            it->splitter.clear();
        }
        return {};
    }
    if (name == "rst") {
        resetSettings();
        return {};
    }
    if (name == "spoll" || name == "srq")
        return {controllerReply("0", nowMs)};
    // ++ifc, ++loc, ++llo, ++trg, ++savecfg and the rest: accepted, no effect.
    return {};
}

} // namespace psusim
