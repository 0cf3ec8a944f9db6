#pragma once

#include <QString>

namespace qle {

// The per-user settings store. Values are kept as text under the program's
// application name; a missing key reads as the given default.
class ISettingsStore {
public:
    virtual ~ISettingsStore() = default;
    [[nodiscard]] virtual QString GetSetting(const QString &section, const QString &key,
                                             const QString &defaultValue) const = 0;
    virtual void SaveSetting(const QString &section, const QString &key, const QString &value) = 0;

    // Reads an integer; text that is not a number, or lies outside [min, max],
    // gives the default or the nearest bound, never garbage.
    [[nodiscard]] int GetInt(const QString &section, const QString &key, int defaultValue, int min, int max) const;
    void SaveInt(const QString &section, const QString &key, int value)
    {
        SaveSetting(section, key, QString::number(value));
    }
};

// QSettings in the platform's usual per-user place ($XDG_CONFIG_HOME on Linux).
class QSettingsStore final : public ISettingsStore {
public:
    static constexpr const char *ApplicationName = "QLE-1-0";

    [[nodiscard]] QString GetSetting(const QString &section, const QString &key,
                                     const QString &defaultValue) const override;
    void SaveSetting(const QString &section, const QString &key, const QString &value) override;
};

} // namespace qle
