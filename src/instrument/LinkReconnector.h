#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>

namespace qle {

class Instrument;
class ISettingsStore;

// Whether a lost link is taken up again without anyone at the screen, how
// often it is tried and for how long. Kept in the settings' [Unattended]
// section.
struct ReconnectPolicy {
    static constexpr int DefaultRetrySec = 5;
    static constexpr int MaxRetrySec = 3600;
    static constexpr int MaxGiveUpMin = 7 * 24 * 60;

    bool enabled = false;
    int retrySec = DefaultRetrySec;
    int giveUpMin = 0; // 0: never

    [[nodiscard]] static ReconnectPolicy load(const ISettingsStore &settings);
    void save(ISettingsStore &settings) const;
};

// Takes up an instrument's lost link again: every `retrySec` seconds it
// reopens the same link and asks "*IDN?", and goes on only when the reply
// names the model and serial number of the instrument that was lost. A
// different instrument, or no answer for `giveUpMin` minutes, ends the
// attempts with the reason. It only opens and asks; what the instrument's
// owner restarts afterwards (polling, a panel's reading) is the owner's.
class LinkReconnector final : public QObject {
    Q_OBJECT
public:
    LinkReconnector(Instrument &instrument, const ISettingsStore &settings, QObject *parent = nullptr);
    ~LinkReconnector() override;

    // Starts trying the instrument's link; `identity` is the reply to
    // "*IDN?" of the instrument that was lost. The first try comes after
    // one retry period: a link that just went is rarely back at once.
    void start(const ReconnectPolicy &policy, const QString &identity);
    void stop();
    [[nodiscard]] bool isActive() const { return m_active; }
    // Tries begun since start(), the one under way included.
    [[nodiscard]] int tries() const { return m_tries; }
    // When start() was called, on the wall clock.
    [[nodiscard]] QDateTime lostAt() const { return m_lostAt; }

    // Why a reply does not come from the instrument that was lost; empty
    // when model and serial number match.
    [[nodiscard]] static QString mismatch(const QString &expected, const QString &reply);

signals:
    // A try begins (1 for the first).
    void trying(int attempt);
    // The link is open again, before "*IDN?" is asked: the owner's engine
    // routines (its time-out) go back in place here.
    void linkReopened();
    // The same instrument answered; the link is the owner's again.
    void reconnected(int tries);
    // No more tries, and why.
    void gaveUp(const QString &why);

private:
    void attempt();
    void onOpened(const QString &error);
    void onIdentity(const QString &reply);
    // The next try, or giving up when the time allowed is over.
    void retryOrGiveUp(const QString &lastFailure);
    [[nodiscard]] QString linkText() const;

    Instrument &m_instrument;
    const ISettingsStore &m_settings;
    ReconnectPolicy m_policy;
    QString m_identity;
    QTimer m_retry;
    QDateTime m_lostAt;
    qint64 m_startMs = 0;
    int m_tries = 0;
    bool m_active = false;
    // Bumped by start() and stop(): a late answer of an earlier try is ignored.
    quint64 m_generation = 0;
};

} // namespace qle
