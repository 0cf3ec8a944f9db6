#include "ChannelLimits.h"

#include "platform/Platform.h"
#include "platform/SettingsStore.h"

#include <QLocale>
#include <QStringList>

namespace qle {
namespace {

const QString Section = QStringLiteral("Limits");

QString key(const QString &model, int channel, LimitKind kind)
{
    return model + QStringLiteral("/CH%1/").arg(channel + 1) + ChannelLimits::kindName(kind);
}

} // namespace

bool ChannelLimits::isEmpty() const
{
    for (const std::optional<Limit> &limit : limits) {
        if (limit)
            return false;
    }
    return true;
}

bool ChannelLimits::isUpper(LimitKind kind)
{
    switch (kind) {
    case LimitKind::VoltageLow:
    case LimitKind::CurrentLow:
    case LimitKind::PowerLow:
        return false;
    case LimitKind::VoltageHigh:
    case LimitKind::CurrentHigh:
    case LimitKind::PowerHigh:
    case LimitKind::ChargeHigh:
    case LimitKind::EnergyHigh:
        break;
    }
    return true;
}

QString ChannelLimits::unit(LimitKind kind)
{
    switch (kind) {
    case LimitKind::VoltageLow:
    case LimitKind::VoltageHigh:
        return QStringLiteral("V");
    case LimitKind::CurrentLow:
    case LimitKind::CurrentHigh:
        return QStringLiteral("A");
    case LimitKind::PowerLow:
    case LimitKind::PowerHigh:
        return QStringLiteral("W");
    case LimitKind::ChargeHigh:
        return QStringLiteral("Ah");
    case LimitKind::EnergyHigh:
        break;
    }
    return QStringLiteral("Wh");
}

QString ChannelLimits::quantity(LimitKind kind)
{
    switch (kind) {
    case LimitKind::VoltageLow:
    case LimitKind::VoltageHigh:
        return QStringLiteral("voltage");
    case LimitKind::CurrentLow:
    case LimitKind::CurrentHigh:
        return QStringLiteral("current");
    case LimitKind::PowerLow:
    case LimitKind::PowerHigh:
        return QStringLiteral("power");
    case LimitKind::ChargeHigh:
        return QStringLiteral("charge");
    case LimitKind::EnergyHigh:
        break;
    }
    return QStringLiteral("energy");
}

QString ChannelLimits::kindName(LimitKind kind)
{
    return quantity(kind) + (isUpper(kind) ? QStringLiteral("-high") : QStringLiteral("-low"));
}

QString ChannelLimits::actionName(LimitAction action)
{
    switch (action) {
    case LimitAction::MarkOnly:
        return QStringLiteral("mark");
    case LimitAction::StopRecording:
        return QStringLiteral("stop-recording");
    case LimitAction::OutputOff:
        return QStringLiteral("output-off");
    case LimitAction::StopSequence:
        break;
    }
    return QStringLiteral("stop-sequence");
}

std::optional<LimitAction> ChannelLimits::actionFromName(const QString &name)
{
    for (LimitAction action :
         {LimitAction::MarkOnly, LimitAction::StopRecording, LimitAction::OutputOff, LimitAction::StopSequence}) {
        if (name == actionName(action))
            return action;
    }
    return std::nullopt;
}

ChannelLimits ChannelLimits::load(const QString &model, int channel)
{
    ChannelLimits loaded;
    const ISettingsStore &store = platform::settings();
    for (int k = 0; k < LimitKindCount; ++k) {
        const auto kind = static_cast<LimitKind>(k);
        const QStringList parts =
            store.GetSetting(Section, key(model, channel, kind), QString()).split(u' ', Qt::SkipEmptyParts);
        if (parts.size() != 2)
            continue;
        bool ok = false;
        // QString::toDouble reads a point whatever the locale.
        const double value = parts.at(0).toDouble(&ok);
        const std::optional<LimitAction> action = actionFromName(parts.at(1));
        if (ok && qIsFinite(value) && action)
            loaded[kind] = Limit{value, *action};
    }
    return loaded;
}

void ChannelLimits::save(const QString &model, int channel, const ChannelLimits &limits)
{
    ISettingsStore &store = platform::settings();
    for (int k = 0; k < LimitKindCount; ++k) {
        const auto kind = static_cast<LimitKind>(k);
        const std::optional<Limit> &limit = limits[kind];
        store.SaveSetting(Section, key(model, channel, kind),
                          limit ? QString::number(limit->value, 'g', QLocale::FloatingPointShortest) +
                                      QLatin1Char(' ') + actionName(limit->action)
                                : QString());
    }
}

} // namespace qle
