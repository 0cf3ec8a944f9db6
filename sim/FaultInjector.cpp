#include "FaultInjector.h"

#include <optional>

namespace psusim {

namespace {

bool isIdentification(const QByteArray &command)
{
    return command.trimmed().toUpper() == "*IDN?";
}

std::optional<int> count(const QStringList &args, int index, int min, int max)
{
    if (index >= args.size())
        return std::nullopt;
    bool ok = false;
    const int value = args.at(index).toInt(&ok);
    if (!ok || value < min || value > max)
        return std::nullopt;
    return value;
}

// "garbage", "garbage on", "garbage off"
std::optional<bool> flag(const QStringList &args)
{
    if (args.size() == 1)
        return true;
    if (args.size() == 2 && (args.at(1) == QLatin1String("on") || args.at(1) == QLatin1String("1")))
        return true;
    if (args.size() == 2 && (args.at(1) == QLatin1String("off") || args.at(1) == QLatin1String("0")))
        return false;
    return std::nullopt;
}

} // namespace

FaultInjector::FaultInjector(std::uint32_t seed) : m_engine(seed)
{
}

QString FaultInjector::help()
{
    return QStringLiteral("  noreply TEXT       no reply to the command TEXT (case-insensitive)\n"
                          "  noreply-after N    no reply to anything after N more commands\n"
                          "  delay MS           every reply starts MS later\n"
                          "  idn-late MS        the identification reply starts MS later\n"
                          "  garbage [off]      random bytes instead of each reply\n"
                          "  noterm [off]       replies without line terminator\n"
                          "  split K P          each reply in K pieces with P ms pauses\n"
                          "  extra N            N unsolicited lines after each reply\n"
                          "  bit [off]          a line containing \"bit\" before each reply\n"
                          "  flood N            N junk lines before the next reply (once)\n"
                          "  disconnect N       drop the link after N more commands (once)\n"
                          "  clear              remove every fault\n");
}

void FaultInjector::clear()
{
    m_noReplyTo.clear();
    m_muteFrom = -1;
    m_disconnectAt = -1;
    m_delayMs = 0;
    m_idnLateMs = 0;
    m_garbage = false;
    m_noTerminator = false;
    m_splitChunks = 0;
    m_splitPauseMs = 0;
    m_extraLines = 0;
    m_bitLine = false;
    m_floodLines = 0;
}

QString FaultInjector::apply(const QString &faultText)
{
    const QString text = faultText.trimmed();
    const QStringList args = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (args.isEmpty())
        return QStringLiteral("missing fault name");
    const QString name = args.first().toLower();
    constexpr int kMaxMs = 600000;
    constexpr int kMaxCount = 1000000;

    if (name == QLatin1String("clear") && args.size() == 1) {
        clear();
        return {};
    }
    if (name == QLatin1String("noreply")) {
        const QString command = text.mid(args.first().size()).trimmed();
        if (command.isEmpty())
            return QStringLiteral("noreply needs a command text");
        m_noReplyTo.append(command.toLatin1().toUpper());
        return {};
    }
    if (name == QLatin1String("noreply-after")) {
        const auto n = count(args, 1, 0, kMaxCount);
        if (!n || args.size() != 2)
            return QStringLiteral("noreply-after needs a count");
        m_muteFrom = m_commands + *n + 1;
        return {};
    }
    if (name == QLatin1String("disconnect")) {
        const auto n = count(args, 1, 1, kMaxCount);
        if (!n || args.size() != 2)
            return QStringLiteral("disconnect needs a count of at least 1");
        m_disconnectAt = m_commands + *n;
        return {};
    }
    if (name == QLatin1String("delay") || name == QLatin1String("idn-late")) {
        const auto ms = count(args, 1, 0, kMaxMs);
        if (!ms || args.size() != 2)
            return QStringLiteral("%1 needs milliseconds").arg(name);
        (name == QLatin1String("delay") ? m_delayMs : m_idnLateMs) = *ms;
        return {};
    }
    if (name == QLatin1String("split")) {
        const auto chunks = count(args, 1, 1, 1000);
        const auto pause = count(args, 2, 0, kMaxMs);
        if (!chunks || !pause || args.size() != 3)
            return QStringLiteral("split needs a piece count and a pause in ms");
        m_splitChunks = *chunks;
        m_splitPauseMs = *pause;
        return {};
    }
    if (name == QLatin1String("extra") || name == QLatin1String("flood")) {
        const auto n = count(args, 1, 0, kMaxCount);
        if (!n || args.size() != 2)
            return QStringLiteral("%1 needs a line count").arg(name);
        (name == QLatin1String("extra") ? m_extraLines : m_floodLines) = *n;
        return {};
    }
    if (name == QLatin1String("garbage") || name == QLatin1String("noterm") || name == QLatin1String("bit")) {
        const auto on = flag(args);
        if (!on)
            return QStringLiteral("%1 takes no argument but on or off").arg(name);
        (name == QLatin1String("garbage")  ? m_garbage
         : name == QLatin1String("noterm") ? m_noTerminator
                                           : m_bitLine) = *on;
        return {};
    }
    return QStringLiteral("unknown fault '%1'").arg(name);
}

QString FaultInjector::describe() const
{
    QStringList parts;
    for (const QByteArray &command : m_noReplyTo)
        parts << QStringLiteral("noreply %1").arg(QString::fromLatin1(command));
    if (m_muteFrom >= 0)
        parts << QStringLiteral("noreply-after %1").arg(qMax(0, m_muteFrom - 1 - m_commands));
    if (m_disconnectAt >= 0)
        parts << QStringLiteral("disconnect %1").arg(m_disconnectAt - m_commands);
    if (m_delayMs)
        parts << QStringLiteral("delay %1").arg(m_delayMs);
    if (m_idnLateMs)
        parts << QStringLiteral("idn-late %1").arg(m_idnLateMs);
    if (m_garbage)
        parts << QStringLiteral("garbage");
    if (m_noTerminator)
        parts << QStringLiteral("noterm");
    if (m_splitChunks > 1)
        parts << QStringLiteral("split %1 %2").arg(m_splitChunks).arg(m_splitPauseMs);
    if (m_extraLines)
        parts << QStringLiteral("extra %1").arg(m_extraLines);
    if (m_bitLine)
        parts << QStringLiteral("bit");
    if (m_floodLines)
        parts << QStringLiteral("flood %1").arg(m_floodLines);
    return parts.isEmpty() ? QStringLiteral("none") : parts.join(QStringLiteral(", "));
}

FaultInjector::Verdict FaultInjector::onCommand(const QByteArray &command)
{
    ++m_commands;
    Verdict verdict;
    verdict.mute = m_noReplyTo.contains(command.trimmed().toUpper()) || (m_muteFrom >= 0 && m_commands >= m_muteFrom);
    if (m_disconnectAt >= 0 && m_commands >= m_disconnectAt) {
        verdict.disconnect = true;
        m_disconnectAt = -1;
    }
    return verdict;
}

QByteArray FaultInjector::garbage(qsizetype size)
{
    std::uniform_int_distribution<int> byte(0x80, 0xfe);
    QByteArray bytes;
    for (qsizetype i = 0; i < qMax<qsizetype>(size, 1); ++i)
        bytes.append(char(byte(m_engine)));
    return bytes;
}

FaultInjector::Shaped FaultInjector::shapeReply(const QByteArray &reply, const QByteArray &command,
                                                const QByteArray &terminator, double readyAtMs)
{
    Shaped shaped;
    double notBefore = readyAtMs + m_delayMs;
    if (m_delayMs)
        shaped.notes << QStringLiteral("fault delay %1 ms").arg(m_delayMs);
    if (m_idnLateMs && isIdentification(command)) {
        notBefore += m_idnLateMs;
        shaped.notes << QStringLiteral("fault idn-late %1 ms").arg(m_idnLateMs);
    }
    auto addLine = [&](const QByteArray &text) { shaped.pieces.append({text + terminator, notBefore, 0, text}); };

    if (m_floodLines > 0) {
        shaped.notes << QStringLiteral("fault flood %1 lines").arg(m_floodLines);
        for (int i = 1; i <= m_floodLines; ++i)
            addLine("FLOOD " + QByteArray::number(i));
        m_floodLines = 0;
    }
    if (m_bitLine) {
        shaped.notes << QStringLiteral("fault bit line");
        addLine(kBitLine);
    }

    QByteArray body = reply;
    if (m_garbage) {
        body = garbage(reply.size());
        shaped.notes << QStringLiteral("fault garbage instead of '%1'").arg(QString::fromLatin1(reply));
    }
    QByteArray bytes = body;
    if (m_noTerminator)
        shaped.notes << QStringLiteral("fault noterm");
    else
        bytes += terminator;
    const int chunks = int(qMin<qsizetype>(qMax(1, m_splitChunks), bytes.size()));
    if (chunks > 1)
        shaped.notes << QStringLiteral("fault split %1 pieces, %2 ms apart").arg(chunks).arg(m_splitPauseMs);
    const qsizetype base = bytes.size() / chunks;
    qsizetype offset = 0;
    for (int i = 0; i < chunks; ++i) {
        const qsizetype size = i == chunks - 1 ? bytes.size() - offset : base;
        shaped.pieces.append(
            {bytes.mid(offset, size), notBefore, i == 0 ? 0 : m_splitPauseMs, i == 0 ? body : QByteArray()});
        offset += size;
    }

    for (int i = 1; i <= m_extraLines; ++i)
        addLine("UNSOLICITED " + QByteArray::number(i));
    if (m_extraLines)
        shaped.notes << QStringLiteral("fault extra %1 lines").arg(m_extraLines);
    return shaped;
}

} // namespace psusim
