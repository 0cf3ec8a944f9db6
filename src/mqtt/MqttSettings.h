#pragma once

#include <QString>

#include <optional>

namespace qle {

class ISettingsStore;

// Where and how the program publishes to the lab's MQTT broker: the broker,
// the login, TLS, and the topics' first two levels, <prefix>/<bench>/...
// Kept in the settings section "MQTT".
struct MqttSettings {
    static constexpr int PlainPort = 1883;
    static constexpr int TlsPort = 8883;
    static constexpr const char *Section = "MQTT";
    static constexpr const char *UrlForm = "mqtt://[user[:password]@]host[:port][/prefix][?bench=NAME], "
                                           "or mqtts://... for TLS";

    bool enabled = false;
    QString host = QStringLiteral("localhost");
    int port = PlainPort;
    QString user;
    QString password;
    bool tls = false;
    QString caFile; // empty: the system's certificate authorities
    QString topicPrefix = QStringLiteral("qle");
    QString bench = defaultBench();
    bool allowCommands = false;

    friend bool operator==(const MqttSettings &, const MqttSettings &) = default;

    // The machine's host name, or "bench" when it has none.
    [[nodiscard]] static QString defaultBench();

    // Missing keys read as the defaults; the port as 8883 with TLS.
    [[nodiscard]] static MqttSettings load(const ISettingsStore &store);
    void save(ISettingsStore &store) const;

    // "mqtt://[user[:password]@]host[:port][/prefix][?bench=NAME]", mqtts://
    // for TLS; enabled, commands not allowed. Nothing, with *error, for
    // anything else.
    [[nodiscard]] static std::optional<MqttSettings> fromUrl(const QString &url, QString *error);

    // Why these settings cannot be used (no host, a topic level with '/',
    // '+' or '#'); empty when they can.
    [[nodiscard]] QString problem() const;
    // Why `level` cannot be one level of a topic; empty when it can.
    [[nodiscard]] static QString topicLevelProblem(const QString &what, const QString &level);

    // "<prefix>/<bench>/<subtopic>".
    [[nodiscard]] QString topic(const QString &subtopic) const;
    // "host:port", for messages.
    [[nodiscard]] QString address() const;
};

} // namespace qle
