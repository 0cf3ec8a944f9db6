#pragma once

#include <QDialog>
#include <QTimer>

class QLabel;
class QProgressBar;
class QPushButton;

namespace qle {

class CommTasker;

// "Querying...": shown while the panel's initial queries are answered. It
// drives the engine from its own timer, counts the queries down and closes
// itself when none is left; Cancel leaves the remaining queries queued.
class dlgQueryInitial final : public QDialog {
    Q_OBJECT
public:
    static constexpr int CheckIntervalMsec = 100;

    explicit dlgQueryInitial(CommTasker &engine, QWidget *parent = nullptr);

    // True when the user cancelled, false when every queued query was answered.
    bool Execute();

    [[nodiscard]] QProgressBar *ProgressBar1() const { return m_progress; }
    [[nodiscard]] QLabel *Label2() const { return m_remaining; }
    [[nodiscard]] QPushButton *CancelButton() const { return m_cancel; }

    QTimer CheckTimer;

public slots:
    void CheckTimer_Timer();
    // Cancel, Escape and the window's close button all end up here.
    void reject() override;

private:
    CommTasker &m_engine;
    QProgressBar *m_progress;
    QLabel *m_remaining;
    QPushButton *m_cancel;
    bool m_cancelled = false;
};

} // namespace qle
