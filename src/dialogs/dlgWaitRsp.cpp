#include "dlgWaitRsp.h"

#include "comm/CommTasker.h"
#include "platform/widgets/ModalRunner.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace qle {

dlgWaitRsp::dlgWaitRsp(CommTasker &engine, QWidget *parent)
    : QDialog(parent), m_engine(engine), m_progress(new QProgressBar(this)), m_cancel(new QPushButton("Cancel", this))
{
    setWindowTitle("Dialog Caption");
    auto *waiting = new QLabel("Waiting Last Response...", this);
    waiting->setObjectName("Label1");
    m_progress->setObjectName("ProgressBar1");
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_progress->setTextVisible(false);
    m_cancel->setObjectName("CancelButton");

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(waiting);
    layout->addWidget(m_progress);
    layout->addLayout(buttons);
    setMinimumWidth(280);

    CheckTimer.setObjectName("CheckTimer");
    CheckTimer.setInterval(CheckIntervalMsec);
    connect(&CheckTimer, &QTimer::timeout, this, &dlgWaitRsp::CheckTimer_Timer);
    connect(m_cancel, &QPushButton::clicked, this, &dlgWaitRsp::reject);
}

bool dlgWaitRsp::Execute()
{
    m_answer = true;
    m_progress->setValue(0);
    CheckTimer.start();
    if (isVisible())
        hide();
    platform::modalRunner().exec(*this);
    CheckTimer.stop();
    return m_answer;
}

void dlgWaitRsp::CheckTimer_Timer()
{
    // A running bar that only shows the program is alive, not a measure.
    const int next = m_progress->value() + 1;
    m_progress->setValue(next > m_progress->maximum() ? m_progress->minimum() : next);

    m_engine.DoWriterTimer(CheckIntervalMsec);
    QCoreApplication::processEvents();

    if (!m_engine.IsQueryPending && !m_engine.IsCommandPending) {
        m_answer = true;
        CheckTimer.stop();
        done(QDialog::Accepted);
    }
}

void dlgWaitRsp::reject()
{
    // The answer stays as Execute set it.
    CheckTimer.stop();
    QDialog::reject();
}

} // namespace qle
