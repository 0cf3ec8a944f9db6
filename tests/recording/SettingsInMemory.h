#pragma once

#include "platform/Platform.h"
#include "platform/SettingsStore.h"

#include <QMap>
#include <QStringList>

namespace qle::testing {

// A settings store in memory that logs every write as "Section/Key=value".
// Installs itself while it lives.
class SettingsInMemory final : public ISettingsStore {
public:
    SettingsInMemory() { platform::setSettings(this); }
    ~SettingsInMemory() override { platform::setSettings(nullptr); }
    SettingsInMemory(const SettingsInMemory &) = delete;
    SettingsInMemory &operator=(const SettingsInMemory &) = delete;

    [[nodiscard]] QString GetSetting(const QString &section, const QString &key,
                                     const QString &defaultValue) const override
    {
        return values.value(section + "/" + key, defaultValue);
    }
    void SaveSetting(const QString &section, const QString &key, const QString &value) override
    {
        values.insert(section + "/" + key, value);
        writes.append(section + "/" + key + "=" + value);
    }

    QMap<QString, QString> values;
    QStringList writes;
};

} // namespace qle::testing
