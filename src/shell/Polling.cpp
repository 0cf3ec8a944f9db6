// The polling timer and its two modes: Classic asks one query per 3-second
// tick while the output is on; Live asks every reading and the instrument's
// state once per period for as long as a panel runs over a real link.
#include "dialogs/dlgPolling.h"
#include "MainMenu.h"
#include "MainToolbar.h"
#include "MDIForm1.h"
#include "panels/Panel.h"
#include "platform/Clock.h"
#include "platform/Platform.h"

#include <QAction>

#include <algorithm>
#include <limits>

namespace qle {
namespace {

constexpr int ClassicQueryIntervalMs = 3000;

} // namespace

dlgPolling &MDIForm1::pollingDialog()
{
    if (!m_dlgPolling)
        m_dlgPolling = std::make_unique<dlgPolling>(this);
    return *m_dlgPolling;
}

void MDIForm1::mnuPolling_Click()
{
    PollingChoice chosen;
    const bool linked = MainFormState == 3 && isInstrumentLink();
    const auto readingPeriod = [this, linked](int periodMs) {
        Panel *current = currentPanel();
        return linked && current ? current->liveReadingPeriodMs(periodMs) : periodMs;
    };
    if (pollingDialog().Execute(m_polling, chosen, readingPeriod))
        setPolling(chosen);
}

void MDIForm1::toggleLivePolling()
{
    PollingChoice chosen = m_polling;
    chosen.live = !chosen.live;
    chosen.save();
    setPolling(chosen);
}

void MDIForm1::setPolling(const PollingChoice &choice)
{
    m_polling = choice;
    applyPolling();
}

void MDIForm1::applyPolling()
{
    m_queryIntervalAfterShiftMs = 0;
    m_toldLiveReadingMs = 0;
    QueryTimer.setInterval(m_polling.live ? m_polling.periodMs : ClassicQueryIntervalMs);
    m_toolbar->liveButton()->setChecked(m_polling.live);
    Panel *panel = currentPanel();
    if (MainFormState != 3 || !panel || IsSuspendOutput)
        return;
    // Classic's read-times watch counts the engine's ticks over a cycle of
    // queries; Live times each of its cycles itself.
    m_engine->QueryCmdCnt = static_cast<qint16>(m_polling.live ? 0 : panel->pollCycleLength());
    CheckOutput();
}

void MDIForm1::onQueryTimer()
{
    if (m_queryIntervalAfterShiftMs > 0) {
        QueryTimer.setInterval(m_queryIntervalAfterShiftMs);
        m_queryIntervalAfterShiftMs = 0;
    }
    Panel *panel = currentPanel();
    if (!panel)
        return;
    if (m_polling.live) {
        panel->DoLiveQuery(m_polling.periodMs);
        reportLiveHealth(*panel);
    } else {
        panel->DoQuery();
    }
}

void MDIForm1::reportLiveHealth(Panel &panel)
{
    const int period = m_polling.periodMs;
    const int every = panel.liveReadingPeriodMs(period);
    const qint64 silent = panel.liveSilenceMs();
    if (silent > 2 * static_cast<qint64>(std::max(period, every))) {
        // Shown until the next tick renews it, gone with the first reply.
        ReportStatus("No reply from the instrument for " + QString::number(silent / 1000) + " s", 2 * period);
        return;
    }
    if (every != m_toldLiveReadingMs && every > period)
        ReportStatus("Live: readings every " + PollingChoice::periodText(every) + " on this link", 10000);
    m_toldLiveReadingMs = every;
}

int MDIForm1::readingMaxAgeMs() const
{
    Panel *panel = currentPanel();
    int maxAge = 0;
    if (m_polling.live && panel && MainFormState == 3 && QueryTimer.isActive())
        maxAge = 2 * std::max(m_polling.periodMs, panel->liveReadingPeriodMs(m_polling.periodMs));
    if (m_staleBeforeMs < 0)
        return maxAge;
    // Since a lost link, only readings that came after it count.
    const qint64 sinceLoss = static_cast<qint64>(platform::clock().monotonicSec() * 1000.0) - m_staleBeforeMs;
    const int limit = static_cast<int>(std::clamp<qint64>(sinceLoss, 1, std::numeric_limits<int>::max()));
    return maxAge > 0 ? std::min(maxAge, limit) : limit;
}

void MDIForm1::restartLivePolling()
{
    // A recording's first row comes from readings asked for after it began.
    Panel *panel = currentPanel();
    if (!m_polling.live || !panel || MainFormState != 3 || !QueryTimer.isActive())
        return;
    // The recorder reads the panel once a second from now on. Cycles begin
    // half a period off its ticks, so that each tick reads a cycle finished
    // well before it instead of racing one that starts at the same moment.
    if (m_queryIntervalAfterShiftMs == 0)
        m_queryIntervalAfterShiftMs = QueryTimer.interval();
    QueryTimer.start(std::max(1, m_queryIntervalAfterShiftMs / 2));
    panel->restartLiveQuery(m_polling.periodMs);
}

} // namespace qle
