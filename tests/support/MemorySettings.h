#pragma once

#include "platform/Platform.h"
#include "platform/SettingsStore.h"

#include <QMap>
#include <QStringList>

namespace qle::testing {

// A settings store in memory that remembers every write, in order, as
// "Section/Key=value". Installs itself while it lives.
class MemorySettings final : public ISettingsStore {
public:
    MemorySettings() { platform::setSettings(this); }
    ~MemorySettings() override { platform::setSettings(nullptr); }
    MemorySettings(const MemorySettings &) = delete;
    MemorySettings &operator=(const MemorySettings &) = delete;

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

    // Stored without counting as a write of the program.
    void preset(const QString &sectionKey, const QString &value) { values.insert(sectionKey, value); }

    QMap<QString, QString> values;
    QStringList writes;
};

} // namespace qle::testing
