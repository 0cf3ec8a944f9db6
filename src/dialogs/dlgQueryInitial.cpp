#include "dlgQueryInitial.h"

#include "comm/CommTasker.h"
#include "platform/widgets/ModalRunner.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace qle {

dlgQueryInitial::dlgQueryInitial(CommTasker &engine, QWidget *parent)
    : QDialog(parent), m_engine(engine), m_progress(new QProgressBar(this)), m_remaining(new QLabel(this)),
      m_cancel(new QPushButton("Cancel", this))
{
    setWindowTitle("Querying...");
    auto *querying = new QLabel("Now querying initial values, please wait...", this);
    querying->setObjectName("lblQuerying");
    m_remaining->setObjectName("Label2");
    m_progress->setObjectName("ProgressBar1");
    m_progress->setMinimum(0);
    m_progress->setTextVisible(false);
    m_cancel->setObjectName("CancelButton");

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(querying);
    layout->addWidget(m_progress);
    layout->addWidget(m_remaining);
    layout->addLayout(buttons);
    setMinimumWidth(320);

    CheckTimer.setObjectName("CheckTimer");
    CheckTimer.setInterval(CheckIntervalMsec);
    connect(&CheckTimer, &QTimer::timeout, this, &dlgQueryInitial::CheckTimer_Timer);
    connect(m_cancel, &QPushButton::clicked, this, &dlgQueryInitial::reject);
}

bool dlgQueryInitial::Execute()
{
    m_cancelled = true;
    m_progress->setMaximum(m_engine.QueryTaskCount);
    CheckTimer.start();
    if (isVisible())
        hide();
    platform::modalRunner().exec(*this);
    CheckTimer.stop();
    return m_cancelled;
}

void dlgQueryInitial::CheckTimer_Timer()
{
    m_engine.DoWriterTimer(CheckIntervalMsec);
    const int n = m_engine.QueryTaskCount;
    if (n > 0) {
        const int secs = static_cast<int>(m_engine.MaxRspTimeSec * n + 2);
        m_remaining->setText("Remaining about " + QString::number(secs) + " secs...");
        m_progress->setValue(m_progress->maximum() - n);
        return;
    }
    m_cancelled = false;
    CheckTimer.stop();
    m_progress->setValue(0);
    done(QDialog::Accepted);
}

void dlgQueryInitial::reject()
{
    CheckTimer.stop();
    QDialog::reject();
}

} // namespace qle
