#include "SequenceWindow.h"

#include "platform/MessageBox.h"
#include "platform/Platform.h"
#include "platform/SettingsStore.h"
#include "recording/export/ExportFileDialog.h"
#include "SequenceControl.h"
#include "SequenceEditor.h"

#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSaveFile>
#include <QTextBlock>
#include <QVBoxLayout>

namespace qle {
namespace {

constexpr auto FileFilter = "Sequences (*.seq *.txt);;All files (*)";
constexpr int LineRole = Qt::UserRole + 1;

QString stateCaption(sequence::SequenceRunner::State state)
{
    return sequence::SequenceRunner::stateName(state);
}

} // namespace

SequenceWindow::SequenceWindow(SequenceControl &control, QWidget *parent)
    : QWidget(parent, Qt::Window), m_control(control)
{
    setObjectName("frmSequence");
    setWindowTitle("Sequence");
    auto *buttons = new QHBoxLayout;
    const auto button = [&](const char *name, const QString &caption) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        buttons->addWidget(b);
        return b;
    };
    cmdOpen = button("cmdOpen", "Open...");
    cmdSave = button("cmdSave", "Save...");
    cmdCheck = button("cmdCheck", "Check");
    buttons->addSpacing(12);
    cmdRun = button("cmdRun", "Run");
    cmdPause = button("cmdPause", "Pause");
    cmdStop = button("cmdStop", "Stop");
    buttons->addSpacing(12);
    chkRecord = new QCheckBox("Record while running", this);
    chkRecord->setObjectName("chkRecord");
    buttons->addWidget(chkRecord);
    buttons->addStretch();

    editor = new SequenceEditor(this);
    editor->setObjectName("txtSequence");
    lstMessages = new QListWidget(this);
    lstMessages->setObjectName("lstMessages");
    lblState = new QLabel(this);
    lblState->setObjectName("lblState");
    lblState->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(editor, 3);
    layout->addWidget(lstMessages, 1);
    layout->addWidget(lblState);

    connect(cmdOpen, &QPushButton::clicked, this, &SequenceWindow::onOpen);
    connect(cmdSave, &QPushButton::clicked, this, &SequenceWindow::onSave);
    connect(cmdCheck, &QPushButton::clicked, this, &SequenceWindow::checkText);
    connect(cmdRun, &QPushButton::clicked, this, &SequenceWindow::onRun);
    connect(cmdPause, &QPushButton::clicked, this, &SequenceWindow::onPause);
    connect(cmdStop, &QPushButton::clicked, this, [this] { m_control.runner().stop(); });
    connect(chkRecord, &QCheckBox::toggled, this, [this](bool on) { m_control.setRecordWhileRunning(on); });
    connect(lstMessages, &QListWidget::itemActivated, this, [this](QListWidgetItem *item) {
        const int line = item->data(LineRole).toInt();
        if (line <= 0)
            return;
        QTextCursor cursor(editor->document()->findBlockByNumber(line - 1));
        editor->setTextCursor(cursor);
        editor->setFocus();
    });
    // An edit makes the marks of the last check stale.
    connect(editor, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_showingLoaded)
            editor->setFaults({});
    });

    sequence::SequenceRunner &runner = m_control.runner();
    connect(&runner, &sequence::SequenceRunner::stateChanged, this, &SequenceWindow::showState);
    connect(&runner, &sequence::SequenceRunner::stepStarted, this, [this](int line) {
        editor->setRunningLine(line);
        // Once the step has begun its wait or ramp, what is left counts it.
        QTimer::singleShot(0, this, &SequenceWindow::showState);
    });
    connect(&runner, &sequence::SequenceRunner::logged, this, &SequenceWindow::showLogEntry);
    connect(&runner, &sequence::SequenceRunner::finished, this, &SequenceWindow::onFinished);
    connect(&m_control, &SequenceControl::loadedChanged, this, &SequenceWindow::showLoaded);
    m_clock.setInterval(500);
    connect(&m_clock, &QTimer::timeout, this, &SequenceWindow::showState);

    showLoaded();
    showState();
    resize(640, 520);
}

void SequenceWindow::showLoaded()
{
    // A run keeps the text it was started from on screen.
    if (m_control.isRunning() || editor->toPlainText() == m_control.text())
        return;
    m_showingLoaded = true;
    editor->setPlainText(m_control.text());
    m_showingLoaded = false;
    const QString name = m_control.path().isEmpty() ? QString() : QFileInfo(m_control.path()).fileName();
    setWindowTitle(name.isEmpty() ? QStringLiteral("Sequence") : "Sequence - " + name);
}

void SequenceWindow::addMessage(const QString &text, int line)
{
    auto *item = new QListWidgetItem(text, lstMessages);
    item->setData(LineRole, line);
    lstMessages->scrollToBottom();
}

void SequenceWindow::showDiagnostics(const QList<sequence::Diagnostic> &diagnostics)
{
    QMap<int, QString> faults;
    for (const sequence::Diagnostic &d : diagnostics) {
        addMessage(d.text(), d.at.line);
        if (d.at.line > 0)
            faults[d.at.line] += (faults.contains(d.at.line) ? "\n" : "") + d.message;
    }
    editor->setFaults(faults);
}

bool SequenceWindow::checkText()
{
    lstMessages->clear();
    const sequence::LoadResult loaded = m_control.loadText(editor->toPlainText(), m_control.path());
    if (!loaded.ok()) {
        showDiagnostics(loaded.diagnostics);
        return false;
    }
    const std::optional<sequence::CheckResult> checked = m_control.check();
    if (!checked) {
        editor->setFaults({});
        addMessage("Not checked: " + m_control.whyNotChecked(), 0);
        return false;
    }
    showDiagnostics(checked->diagnostics);
    addMessage(checked->summary(), 0);
    return checked->ok();
}

void SequenceWindow::onRun()
{
    if (m_control.isRunning())
        return;
    if (!checkText())
        return;
    const sequence::CheckResult started = m_control.run();
    if (!started.ok())
        showDiagnostics(started.diagnostics);
    else
        m_clock.start();
    showState();
}

void SequenceWindow::onPause()
{
    sequence::SequenceRunner &runner = m_control.runner();
    if (runner.state() == sequence::SequenceRunner::State::Paused)
        runner.resume();
    else
        runner.pause();
}

void SequenceWindow::showState()
{
    const sequence::SequenceRunner &runner = m_control.runner();
    const bool active = runner.isActive();
    const bool paused = runner.state() == sequence::SequenceRunner::State::Paused;
    cmdRun->setEnabled(!active);
    cmdOpen->setEnabled(!active);
    cmdCheck->setEnabled(!active);
    editor->setReadOnly(active);
    cmdPause->setEnabled(active);
    cmdPause->setText(paused ? "Resume" : "Pause");
    cmdStop->setEnabled(active);
    chkRecord->setEnabled(!active);
    lblState->setText(runner.state() == sequence::SequenceRunner::State::Idle ? stateCaption(runner.state())
                                                                              : runner.statusText());
    if (!active)
        m_clock.stop();
}

void SequenceWindow::showLogEntry(const sequence::RunLogEntry &entry)
{
    addMessage(entry.format().trimmed(), entry.line);
}

void SequenceWindow::onFinished(sequence::SequenceRunner::State, sequence::SequenceRunner::EndReason, const QString &)
{
    editor->setRunningLine(0);
    showState();
}

void SequenceWindow::openFile(const QString &path)
{
    lstMessages->clear();
    const sequence::LoadResult loaded = m_control.loadFile(path);
    showLoaded();
    if (!loaded.ok())
        showDiagnostics(loaded.diagnostics);
    platform::settings().SaveSetting("Sequence", "Folder", QFileInfo(path).absolutePath());
}

bool SequenceWindow::saveFile(const QString &path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(editor->toPlainText().toUtf8()) < 0 || !file.commit()) {
        platform::messageBox().show("Cannot save " + path + ": " + file.errorString(), QString(),
                                    IMessageBox::Buttons::Ok, IMessageBox::Icon::Exclamation);
        return false;
    }
    m_control.loadText(editor->toPlainText(), path);
    setWindowTitle("Sequence - " + QFileInfo(path).fileName());
    platform::settings().SaveSetting("Sequence", "Folder", QFileInfo(path).absolutePath());
    return true;
}

void SequenceWindow::onOpen()
{
    const QString folder = platform::settings().GetSetting("Sequence", "Folder", QString());
    const QString path = recording::fileDialogs().openFileName(this, folder, FileFilter);
    if (!path.isEmpty())
        openFile(path);
}

void SequenceWindow::onSave()
{
    const QString folder = m_control.path().isEmpty() ? platform::settings().GetSetting("Sequence", "Folder", QString())
                                                      : m_control.path();
    const QString path = recording::fileDialogs().saveFileName(this, folder, FileFilter);
    if (!path.isEmpty())
        saveFile(path);
}

} // namespace qle
