#include "RecordEvent.h"

#include <array>

namespace qle {
namespace {

// In the order of RecordEvent::Kind.
const std::array<const char *, RecordEvent::KindCount> KindNames{
    "output-on",
    "output-off",
    "set",
    "coupling",
    "memory-recall",
    "output-off-by-instrument",
    "error",
    "cv",
    "cc",
    "link-lost",
    "link-back",
    "recording-start",
    "recording-stop",
    "limit-breach",
    "sequence-step",
    "mark",
};

// In the order of RecordEvent::Source.
const std::array<const char *, RecordEvent::SourceCount> SourceNames{"user", "instrument", "script", "sequence",
                                                                     "program"};

} // namespace

QString RecordEvent::kindName(Kind kind)
{
    return QString::fromLatin1(KindNames.at(static_cast<std::size_t>(kind)));
}

std::optional<RecordEvent::Kind> RecordEvent::kindFromName(const QString &name)
{
    for (std::size_t i = 0; i < KindNames.size(); ++i) {
        if (name == QLatin1String(KindNames.at(i)))
            return static_cast<Kind>(i);
    }
    return std::nullopt;
}

QString RecordEvent::sourceName(Source source)
{
    return QString::fromLatin1(SourceNames.at(static_cast<std::size_t>(source)));
}

std::optional<RecordEvent::Source> RecordEvent::sourceFromName(const QString &name)
{
    for (std::size_t i = 0; i < SourceNames.size(); ++i) {
        if (name == QLatin1String(SourceNames.at(i)))
            return static_cast<Source>(i);
    }
    return std::nullopt;
}

QString RecordEvent::isoTime(const QDateTime &at)
{
    if (!at.isValid())
        return {};
    return at.toOffsetFromUtc(at.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

QDateTime RecordEvent::fromIsoTime(const QString &text)
{
    return QDateTime::fromString(text, Qt::ISODateWithMs);
}

QString RecordEvent::channelLabel(int channel)
{
    return channel < 0 ? QString() : QStringLiteral("CH%1").arg(channel + 1);
}

QString RecordEvent::line() const
{
    // Seconds with three decimals, always with a point.
    QString line = QString::number(static_cast<double>(atMs) / 1000.0, 'f', 3) + QStringLiteral(" s  ");
    if (channel >= 0)
        line += channelLabel(channel) + QStringLiteral("  ");
    line += kindName(kind);
    if (!text.isEmpty())
        line += QStringLiteral("  ") + text;
    return line + QStringLiteral(" (") + sourceName(source) + QLatin1Char(')');
}

} // namespace qle
