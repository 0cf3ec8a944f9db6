// Taking up a lost link again by itself, when the settings ask for it: no
// box, the panel and the recording stay, and the instrument's state is read
// again once the same instrument answers.
#include "dialogs/dlgQueryInitial.h"
#include "dialogs/dlgUnattended.h"
#include "instrument/Instrument.h"
#include "instrument/LinkReconnector.h"
#include "MDIForm1.h"
#include "MqttSession.h"
#include "platform/Clock.h"
#include "platform/Platform.h"
#include "platform/SettingsStore.h"
#include "platform/Trace.h"
#include "RecordingTimeline.h"

#include <QTime>

namespace qle {

namespace {

// Long enough to stay until the next message replaces it.
constexpr int UntilReplacedMs = 24 * 60 * 60 * 1000;

QString clockTime()
{
    return QTime::currentTime().toString("HH:mm:ss");
}

qint64 monotonicMs()
{
    return static_cast<qint64>(platform::clock().monotonicSec() * 1000.0);
}

} // namespace

void MDIForm1::mnuUnattended_Click()
{
    if (!m_dlgUnattended)
        m_dlgUnattended = std::make_unique<dlgUnattended>(this);
    if (m_dlgUnattended->Execute())
        m_mqtt->apply(MqttSettings::load(platform::settings()));
}

void MDIForm1::setupReconnection()
{
    m_reconnector = std::make_unique<LinkReconnector>(*m_instrument, platform::settings());
    connect(m_reconnector.get(), &LinkReconnector::trying, this, [this](int attempt) {
        ReportStatus(reconnectingText(attempt), UntilReplacedMs);
        Trace("reconnecting, try " + QString::number(attempt));
    });
    // Each try's question needs the window's time-out routine, which the
    // engine gives up at every reset.
    connect(m_reconnector.get(), &LinkReconnector::linkReopened, this,
            [this] { m_engine->SetupTimeoutTask(this, "OperationTimeout"); });
    connect(m_reconnector.get(), &LinkReconnector::reconnected, this, &MDIForm1::onReconnected);
    connect(m_reconnector.get(), &LinkReconnector::gaveUp, this, &MDIForm1::onReconnectionStopped);
}

QString MDIForm1::reconnectingText(int attempt) const
{
    return "Link lost " + m_linkLostTime + ", reconnecting (try " + QString::number(attempt) + ")";
}

bool MDIForm1::reconnectAfterLoss()
{
    if (m_reconnector->isActive()) {
        // A try's question went unanswered: the next try comes by itself.
        m_instrument->onTimeout();
        m_engine->ResetAll();
        m_engine->linkGivenUp();
        return true;
    }
    const ReconnectPolicy policy = ReconnectPolicy::load(platform::settings());
    if (!policy.enabled || MainFormState != 3 || !isInstrumentLink() || !currentPanel())
        return false;
    const QString cause = m_engine->linkLostCause();
    // Readings from before the loss are not shown again as new rows.
    m_staleBeforeMs = monotonicMs();
    m_linkLostTime = clockTime();
    QueryTimer.stop();
    RecallTimer.stop();
    // A reading of the panel's settings under way ends with the link.
    if (m_dlgQueryInitial && m_dlgQueryInitial->isVisible())
        m_dlgQueryInitial->reject();
    m_timeline->events().note(RecordEvent::Kind::LinkLost, -1, RecordEvent::Source::Program,
                              reconnectingText(1) + (cause.isEmpty() ? QString() : ": " + cause));
    m_instrument->onTimeout();
    m_engine->ResetAll();
    m_engine->linkGivenUp();
    m_reconnector->start(policy, m_instrument->identity());
    ReportStatus(reconnectingText(1), UntilReplacedMs);
    Trace("link lost, reconnecting every " + QString::number(policy.retrySec) + " s" +
          (cause.isEmpty() ? QString() : ": " + cause));
    return true;
}

void MDIForm1::onReconnected(int tries)
{
    const QString text = "Link back " + clockTime() + " after " + QString::number(tries) +
                         (tries == 1 ? " try" : " tries") + " (lost " + m_linkLostTime + ")";
    Trace(text);
    m_timeline->events().note(RecordEvent::Kind::LinkBack, -1, RecordEvent::Source::Program, text);
    mainFormStateChanged();
    ReportStatus(text + "; reading the instrument's settings", UntilReplacedMs);
    // The panel follows what the instrument says now; nothing is sent back.
    m_followingInstrument = true;
    const bool cancelled = QueryInitialValues();
    m_followingInstrument = false;
    if (m_reconnector->isActive() || MainFormState != 3 || !currentPanel())
        return; // lost again meanwhile, or reset
    if (cancelled) {
        Trace("reading after reconnection cancelled");
        ResetAll();
        return;
    }
    CheckOutput();
    applyPolling();
    ReportStatus(text, 10000);
}

void MDIForm1::onReconnectionStopped(const QString &why)
{
    const QString text = "Reconnection stopped: " + why;
    Trace(text);
    m_timeline->events().note(RecordEvent::Kind::LinkLost, -1, RecordEvent::Source::Program, text);
    const QString link = rememberedLinkText();
    m_reportingLinkLoss = true;
    keepRecordingOfLostLink();
    ResetAll();
    m_reportingLinkLoss = false;
    noteLinkEnd("The link to " + (link.isEmpty() ? QStringLiteral("the instrument") : link) + " was lost at " +
                    m_linkLostTime + "; reconnection stopped at " + clockTime() + ".",
                why[0].toUpper() + why.mid(1) + '.');
    updateStartPage();
    ReportStatus(text, UntilReplacedMs);
}

} // namespace qle
