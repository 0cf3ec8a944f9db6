#include "LinkReconnector.h"

#include "Instrument.h"
#include "platform/Clock.h"
#include "platform/Platform.h"
#include "platform/SettingsStore.h"
#include "protocol/ParseMachineType.h"

#include <algorithm>

namespace qle {

namespace {

const QString Section = QStringLiteral("Unattended");
constexpr double IdentityLimitSec = 5;

qint64 nowMs()
{
    return static_cast<qint64>(platform::clock().monotonicSec() * 1000.0);
}

} // namespace

ReconnectPolicy ReconnectPolicy::load(const ISettingsStore &settings)
{
    ReconnectPolicy policy;
    policy.enabled = settings.GetInt(Section, "Reconnect", 0, 0, 1) == 1;
    policy.retrySec = settings.GetInt(Section, "RetrySeconds", DefaultRetrySec, 1, MaxRetrySec);
    policy.giveUpMin = settings.GetInt(Section, "GiveUpMinutes", 0, 0, MaxGiveUpMin);
    return policy;
}

void ReconnectPolicy::save(ISettingsStore &settings) const
{
    settings.SaveInt(Section, "Reconnect", enabled ? 1 : 0);
    settings.SaveInt(Section, "RetrySeconds", retrySec);
    settings.SaveInt(Section, "GiveUpMinutes", giveUpMin);
}

LinkReconnector::LinkReconnector(Instrument &instrument, const ISettingsStore &settings, QObject *parent)
    : QObject(parent), m_instrument(instrument), m_settings(settings)
{
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &LinkReconnector::attempt);
}

LinkReconnector::~LinkReconnector() = default;

void LinkReconnector::start(const ReconnectPolicy &policy, const QString &identity)
{
    ++m_generation;
    m_policy = policy;
    m_identity = identity;
    m_lostAt = QDateTime::currentDateTime();
    m_startMs = nowMs();
    m_tries = 0;
    m_active = true;
    m_retry.start(m_policy.retrySec * 1000);
}

void LinkReconnector::stop()
{
    ++m_generation;
    m_active = false;
    m_retry.stop();
}

QString LinkReconnector::mismatch(const QString &expected, const QString &reply)
{
    const QString wantedModel = ParseMachineType(expected).trimmed();
    const QString model = ParseMachineType(reply).trimmed();
    if (model.isEmpty())
        return "the reply to *IDN? names no model: \"" + reply.trimmed() + '"';
    if (model != wantedModel)
        return "a " + model + " answers there instead of the " + wantedModel;
    const QString wantedSerial = ParseSerialNumber(expected);
    const QString serial = ParseSerialNumber(reply);
    if (serial != wantedSerial)
        return "the " + model + " there has serial number " + (serial.isEmpty() ? QStringLiteral("(none)") : serial) +
               ", not " + (wantedSerial.isEmpty() ? QStringLiteral("(none)") : wantedSerial);
    return {};
}

QString LinkReconnector::linkText() const
{
    return m_instrument.link().describe();
}

void LinkReconnector::attempt()
{
    if (!m_active)
        return;
    ++m_tries;
    emit trying(m_tries);
    const quint64 generation = m_generation;
    m_instrument.reopen(m_settings, [this, generation](const QString &error) {
        if (generation == m_generation)
            onOpened(error);
    });
}

void LinkReconnector::onOpened(const QString &error)
{
    if (!error.isEmpty()) {
        retryOrGiveUp(error);
        return;
    }
    emit linkReopened();
    // An instrument answers "*IDN?" at once; something else on the link (a
    // terminal reused by another device) need not hold up the next try.
    CommTasker &engine = m_instrument.engine();
    const double linkLimitSec = engine.responseTimeoutSec();
    engine.setResponseTimeoutSec(std::min(linkLimitSec, IdentityLimitSec));
    const quint64 generation = m_generation;
    m_instrument.askIdentity([this, generation, linkLimitSec](const Outcome &outcome) {
        m_instrument.engine().setResponseTimeoutSec(linkLimitSec);
        if (generation != m_generation)
            return;
        if (!outcome.done()) {
            retryOrGiveUp(outcome.text);
            return;
        }
        // The reply is handed over from inside the engine's delivery: what
        // follows (a reading of every setting, a reset) must not run in it.
        QMetaObject::invokeMethod(
            this,
            [this, generation, reply = outcome.text] {
                if (generation == m_generation)
                    onIdentity(reply);
            },
            Qt::QueuedConnection);
    });
}

void LinkReconnector::onIdentity(const QString &reply)
{
    const QString why = mismatch(m_identity, reply);
    if (!why.isEmpty()) {
        stop();
        emit gaveUp(why);
        return;
    }
    m_instrument.setIdentity(reply);
    const int tries = m_tries;
    stop();
    emit reconnected(tries);
}

void LinkReconnector::retryOrGiveUp(const QString &lastFailure)
{
    const qint64 allowedMs = static_cast<qint64>(m_policy.giveUpMin) * 60 * 1000;
    if (allowedMs > 0 && nowMs() - m_startMs + m_policy.retrySec * 1000 > allowedMs) {
        stop();
        emit gaveUp("no answer from " + linkText() + " for " + QString::number(m_policy.giveUpMin) +
                    (m_policy.giveUpMin == 1 ? " minute" : " minutes") +
                    (lastFailure.isEmpty() ? QString() : " (last: " + lastFailure + ")"));
        return;
    }
    m_retry.start(m_policy.retrySec * 1000);
}

} // namespace qle
