// Function > Sequence..., Function > Limits... and what a running sequence
// asks of closing.
#include "dialogs/dlgLimits.h"
#include "MDIForm1.h"
#include "platform/MessageBox.h"
#include "platform/Platform.h"
#include "RecordingTimeline.h"
#include "SequenceControl.h"
#include "SequenceWindow.h"

namespace qle {

void MDIForm1::mnuSequence_Click()
{
    if (!m_sequenceWindow)
        m_sequenceWindow = std::make_unique<SequenceWindow>(*m_sequence, this);
    m_sequenceWindow->show();
    m_sequenceWindow->raise();
    m_sequenceWindow->activateWindow();
}

void MDIForm1::mnuLimits_Click()
{
    if (m_instrument->channelCount() == 0) {
        ReportStatus("Limits belong to a model: connect an instrument first", 5000);
        return;
    }
    if (!m_dlgLimits)
        m_dlgLimits = std::make_unique<dlgLimits>(this);
    if (m_dlgLimits->Execute(MachineType, m_instrument->channelCount()))
        m_timeline->loadLimits(MachineType, m_instrument->channelCount());
}

bool MDIForm1::mayCloseDuringSequence()
{
    sequence::SequenceRunner &runner = m_sequence->runner();
    if (!runner.isActive())
        return true;
    if (m_closeAfterSequence)
        return false; // stopping already; the close comes once it has
    const IMessageBox::Answer answer =
        platform::messageBox().show("A sequence is running. Stop it, apply its end state and close?", QString(),
                                    IMessageBox::Buttons::YesNo, IMessageBox::Icon::Question);
    // The question may have waited while the run ended by itself.
    if (!runner.isActive())
        return answer == IMessageBox::Answer::Yes;
    if (answer != IMessageBox::Answer::Yes)
        return false;
    m_closeAfterSequence = true;
    connect(
        &runner, &sequence::SequenceRunner::finished, this,
        [this] {
            m_closeAfterSequence = false;
            QMetaObject::invokeMethod(this, &MDIForm1::mnuExit_Click, Qt::QueuedConnection);
        },
        Qt::SingleShotConnection);
    runner.stop();
    return false;
}

} // namespace qle
