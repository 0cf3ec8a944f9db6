#pragma once

#include "sequence/Diagnostic.h"
#include "sequence/RunLog.h"
#include "sequence/SequenceRunner.h"

#include <QTimer>
#include <QWidget>

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace qle {

class SequenceControl;
class SequenceEditor;

// Function > Sequence...: the sequence file in an editor with its check's
// faults at their lines, Open and Save, Run, Pause and Stop, the line a run
// is on, its elapsed and remaining time, and its log.
class SequenceWindow final : public QWidget {
    Q_OBJECT
public:
    explicit SequenceWindow(SequenceControl &control, QWidget *parent = nullptr);

    // Checks the editor's text on the connected instrument and shows the
    // outcome; true when it may run.
    bool checkText();
    void openFile(const QString &path);
    bool saveFile(const QString &path);

    SequenceEditor *editor = nullptr;
    QListWidget *lstMessages = nullptr;
    QLabel *lblState = nullptr;
    QPushButton *cmdOpen = nullptr;
    QPushButton *cmdSave = nullptr;
    QPushButton *cmdCheck = nullptr;
    QPushButton *cmdRun = nullptr;
    QPushButton *cmdPause = nullptr;
    QPushButton *cmdStop = nullptr;
    QCheckBox *chkRecord = nullptr;

private:
    void onOpen();
    void onSave();
    void onRun();
    void onPause();
    void showDiagnostics(const QList<sequence::Diagnostic> &diagnostics);
    void showLoaded();
    void showState();
    void showLogEntry(const sequence::RunLogEntry &entry);
    void onFinished(sequence::SequenceRunner::State state, sequence::SequenceRunner::EndReason reason,
                    const QString &text);
    void addMessage(const QString &text, int line);

    SequenceControl &m_control;
    QTimer m_clock;
    bool m_showingLoaded = false;
};

} // namespace qle
