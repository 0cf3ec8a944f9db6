#include "MqttSettings.h"

#include "platform/SettingsStore.h"

#include <QSysInfo>
#include <QUrl>
#include <QUrlQuery>

namespace qle {
namespace {

const QString Section = QString::fromLatin1(MqttSettings::Section);

QString notAnMqttUrl(const QString &url, const QString &why)
{
    return QStringLiteral("\"%1\" is not an MQTT broker URL (%2): use %3")
        .arg(url, why, QString::fromLatin1(MqttSettings::UrlForm));
}

} // namespace

QString MqttSettings::defaultBench()
{
    const QString name = QSysInfo::machineHostName();
    return name.isEmpty() ? QStringLiteral("bench") : name;
}

MqttSettings MqttSettings::load(const ISettingsStore &store)
{
    MqttSettings s;
    s.enabled = store.GetInt(Section, "Enabled", 0, 0, 1) == 1;
    s.host = store.GetSetting(Section, "Host", s.host).trimmed();
    s.tls = store.GetInt(Section, "Tls", 0, 0, 1) == 1;
    s.port = store.GetInt(Section, "Port", s.tls ? TlsPort : PlainPort, 1, 65535);
    s.user = store.GetSetting(Section, "User", {});
    s.password = store.GetSetting(Section, "Password", {});
    s.caFile = store.GetSetting(Section, "CaFile", {});
    s.topicPrefix = store.GetSetting(Section, "TopicPrefix", s.topicPrefix);
    s.bench = store.GetSetting(Section, "Bench", s.bench);
    s.allowCommands = store.GetInt(Section, "AllowCommands", 0, 0, 1) == 1;
    return s;
}

void MqttSettings::save(ISettingsStore &store) const
{
    store.SaveInt(Section, "Enabled", enabled ? 1 : 0);
    store.SaveSetting(Section, "Host", host);
    store.SaveInt(Section, "Port", port);
    store.SaveSetting(Section, "User", user);
    store.SaveSetting(Section, "Password", password);
    store.SaveInt(Section, "Tls", tls ? 1 : 0);
    store.SaveSetting(Section, "CaFile", caFile);
    store.SaveSetting(Section, "TopicPrefix", topicPrefix);
    store.SaveSetting(Section, "Bench", bench);
    store.SaveInt(Section, "AllowCommands", allowCommands ? 1 : 0);
}

std::optional<MqttSettings> MqttSettings::fromUrl(const QString &text, QString *error)
{
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    if (!url.isValid()) {
        *error = notAnMqttUrl(text, url.errorString());
        return std::nullopt;
    }
    const QString scheme = url.scheme().toLower();
    if (scheme != u"mqtt" && scheme != u"mqtts") {
        *error = notAnMqttUrl(text, scheme.isEmpty() ? QStringLiteral("no scheme")
                                                     : QStringLiteral("scheme \"%1\"").arg(url.scheme()));
        return std::nullopt;
    }
    if (url.host().isEmpty()) {
        *error = notAnMqttUrl(text, QStringLiteral("no broker host"));
        return std::nullopt;
    }
    // A '#' unescaped begins the URL's fragment; it would be no topic level.
    if (url.hasFragment()) {
        *error = notAnMqttUrl(text, QStringLiteral("'#' cannot be part of a topic level"));
        return std::nullopt;
    }
    MqttSettings s;
    s.enabled = true;
    s.tls = scheme == u"mqtts";
    s.host = url.host();
    s.port = url.port(s.tls ? TlsPort : PlainPort);
    s.user = url.userName(QUrl::FullyDecoded);
    s.password = url.password(QUrl::FullyDecoded);
    QString path = url.path(QUrl::FullyDecoded);
    if (path.startsWith(u'/'))
        path.remove(0, 1);
    if (!path.isEmpty())
        s.topicPrefix = path;
    const QUrlQuery query(url);
    for (const auto &[key, value] : query.queryItems(QUrl::FullyDecoded)) {
        if (key != u"bench") {
            *error = notAnMqttUrl(text, QStringLiteral("unknown option \"%1\", only bench=NAME").arg(key));
            return std::nullopt;
        }
        s.bench = value;
    }
    if (const QString problem = s.problem(); !problem.isEmpty()) {
        *error = problem;
        return std::nullopt;
    }
    return s;
}

QString MqttSettings::topicLevelProblem(const QString &what, const QString &level)
{
    if (level.isEmpty())
        return what + QStringLiteral(" is empty: it is one level of every topic");
    for (const QChar c : {u'/', u'+', u'#'}) {
        if (level.contains(c))
            return QStringLiteral("%1 \"%2\" contains '%3': it must be one topic level, without '/', '+' or '#'")
                .arg(what, level, c);
    }
    return {};
}

QString MqttSettings::problem() const
{
    if (host.trimmed().isEmpty())
        return QStringLiteral("no MQTT broker host");
    if (QString why = topicLevelProblem(QStringLiteral("the topic prefix"), topicPrefix); !why.isEmpty())
        return why;
    // Topics beginning with '$' are the broker's own; "#" does not match them.
    if (topicPrefix.startsWith(u'$'))
        return QStringLiteral("the topic prefix \"%1\" begins with '$', which brokers keep for themselves")
            .arg(topicPrefix);
    return topicLevelProblem(QStringLiteral("the bench name"), bench);
}

QString MqttSettings::topic(const QString &subtopic) const
{
    return topicPrefix + u'/' + bench + u'/' + subtopic;
}

QString MqttSettings::address() const
{
    // An IPv6 address is written in brackets before its port.
    const QString shown = host.contains(u':') ? u'[' + host + u']' : host;
    return shown + u':' + QString::number(port);
}

} // namespace qle
