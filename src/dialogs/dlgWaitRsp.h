#pragma once

#include "comm/CommTaskerHost.h"

#include <QDialog>
#include <QTimer>

class QProgressBar;
class QPushButton;

namespace qle {

class CommTasker;

// "Waiting Last Response...": run by the engine before it clears its queues.
// It drives the engine from its own timer until no exchange is on the wire.
class dlgWaitRsp final : public QDialog, public IWaitRspDialog {
    Q_OBJECT
public:
    static constexpr int CheckIntervalMsec = 100;

    explicit dlgWaitRsp(CommTasker &engine, QWidget *parent = nullptr);

    // True when the queues may be cleared. Cancel answers true as well: the
    // caller goes on clearing and sending, it only stops waiting.
    bool Execute() override;

    [[nodiscard]] QProgressBar *ProgressBar1() const { return m_progress; }
    [[nodiscard]] QPushButton *CancelButton() const { return m_cancel; }

    QTimer CheckTimer;

public slots:
    void CheckTimer_Timer();
    void reject() override;

private:
    CommTasker &m_engine;
    QProgressBar *m_progress;
    QPushButton *m_cancel;
    bool m_answer = true;
};

} // namespace qle
