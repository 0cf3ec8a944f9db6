#include "SettingsStore.h"

#include <QSettings>

#include <algorithm>
#include <cmath>

namespace qle {

int ISettingsStore::GetInt(const QString &section, const QString &key, int defaultValue, int min, int max) const
{
    bool ok = false;
    const QString text = GetSetting(section, key, QString::number(defaultValue)).trimmed();
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return defaultValue;
    return static_cast<int>(std::clamp(value, static_cast<double>(min), static_cast<double>(max)));
}

QString QSettingsStore::GetSetting(const QString &section, const QString &key, const QString &defaultValue) const
{
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, ApplicationName);
    return settings.value(section + "/" + key, defaultValue).toString();
}

void QSettingsStore::SaveSetting(const QString &section, const QString &key, const QString &value)
{
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, ApplicationName);
    settings.setValue(section + "/" + key, value);
    settings.sync();
}

} // namespace qle
