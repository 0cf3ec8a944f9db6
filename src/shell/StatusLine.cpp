// The status line, and the reaction to an engine time-out once a panel is open.
#include "instrument/Instrument.h"
#include "MDIForm1.h"
#include "platform/MessageBox.h"
#include "platform/Platform.h"

#include <QStatusBar>
#include <QTime>

namespace qle {

void MDIForm1::ReportStatus(const QString &msg, int msec)
{
    StatusLineLiveMsec = msec;
    StatusLine = msg;
    wakeStatusLine();
}

void MDIForm1::setStatusText(const QString &text)
{
    statusBar()->showMessage(text);
}

QString MDIForm1::statusText() const
{
    return statusBar()->currentMessage();
}

void MDIForm1::StatusTimer_Timer()
{
    AliveNumber = static_cast<qint16>((AliveNumber + 1) % 1000);
    QString text;
    switch (static_cast<quint32>(MainFormState)) {
    case 0:
        text = "Setup";
        break;
    case 1:
        text = "Getting the machine type..." + QString(AliveNumber % 30, u'*');
        break;
    case 2:
    case 3:
        text = "Ready";
        break;
    default:
        break;
    }
    setStatusText(text);
    if (StatusLineLiveMsec > 0) {
        StatusLineLiveMsec -= StatusTimer.interval();
        if (StatusLineLiveMsec < 0)
            StatusLineLiveMsec = 0;
        setStatusText(StatusLine);
    }
    // Nothing will change until the state, a report or the shown message
    // does, each of which wakes the timer: a program left idle for days does
    // not wake ten times a second for it. A timer stopped from outside stays
    // stopped.
    if (MainFormState != 1 && StatusLineLiveMsec == 0 && statusText() == text)
        StatusTimer.rest();
}

// One lost link is one box. Everything that talks to the instrument or
// records its readings stops before the box opens: while it is shown, polling
// would queue questions to a dead link (each failing with a box of its own)
// and the recorder would store the last readings shown as new rows.
void MDIForm1::OperationTimeout()
{
    if (m_reportingLinkLoss || reconnectAfterLoss())
        return;
    m_reportingLinkLoss = true;
    const QString cause = m_engine->linkLostCause();
    // Operations the model awaits end as a lost link.
    m_instrument->onTimeout();
    QueryTimer.stop();
    RecallTimer.stop();
    keepRecordingOfLostLink();
    m_engine->ResetAll();
    m_engine->linkGivenUp();
    const QString link = rememberedLinkText();
    noteLinkEnd("The link to " + (link.isEmpty() ? QStringLiteral("the instrument") : link) + " was lost at " +
                    QTime::currentTime().toString("HH:mm:ss") + ".",
                cause.isEmpty() ? QStringLiteral("The instrument did not answer in time.") : cause);
    QString text = QStringLiteral("Operation Timeout, Causes Reset Now.");
    if (!cause.isEmpty())
        text += u'\n' + cause;
    platform::messageBox().show(text, "TIMEOUT!", IMessageBox::Buttons::Ok, IMessageBox::Icon::None);
    ResetAll();
    m_reportingLinkLoss = false;
}

} // namespace qle
