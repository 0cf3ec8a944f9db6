#pragma once

#include "sequence/SequenceHost.h"
#include "sequence/SequenceLoader.h"
#include "sequence/SequenceRunner.h"

#include <QObject>
#include <QString>

#include <optional>

namespace qle {

class MDIForm1;

// The main window's sequence: the file loaded (by the Sequence window or a
// script on the control port), its check on the connected instrument, and
// the one runner both front ends see. As the run's host it records with the
// table recorder, keeps Live polling on while the run lasts and gives the
// user's polling back after.
class SequenceControl final : public QObject, public sequence::ISequenceHost {
    Q_OBJECT
public:
    explicit SequenceControl(MDIForm1 &window, QObject *parent = nullptr);
    ~SequenceControl() override;

    // Reads a file; its faults, if any. The text replaces the one before
    // even when it has faults, so that the window can show them.
    sequence::LoadResult loadFile(const QString &path);
    // Takes the editor's text (`path` where it came from, or empty).
    sequence::LoadResult loadText(const QString &text, const QString &path);
    [[nodiscard]] QString text() const { return m_text; }
    [[nodiscard]] QString path() const { return m_path; }
    [[nodiscard]] bool loaded() const { return m_loaded.has_value(); }

    // The loaded program on the connected instrument; nothing without a
    // program or while no panel runs (see whyNotChecked).
    [[nodiscard]] std::optional<sequence::CheckResult> check() const;
    [[nodiscard]] QString whyNotChecked() const;
    // Starts the loaded program; the check says why not when it did not start.
    sequence::CheckResult run();
    [[nodiscard]] sequence::SequenceRunner &runner() { return *m_runner; }
    [[nodiscard]] bool isRunning() const { return m_runner->isActive(); }

    // Records from the run's start to its end, beside any `record` steps.
    void setRecordWhileRunning(bool on) { m_recordWhileRunning = on; }
    [[nodiscard]] bool recordWhileRunning() const { return m_recordWhileRunning; }

    // The run's host.
    [[nodiscard]] bool canRecord() const override;
    std::optional<QString> startRecording() override;
    void stopRecording() override;
    void mark(const QString &text) override;
    bool beginLivePolling() override;
    void restorePolling() override;

signals:
    // A new text or file was loaded.
    void loadedChanged();

private:
    void onFinished();

    MDIForm1 &m_window;
    sequence::SequenceRunner *m_runner;
    QString m_text;
    QString m_path;
    std::optional<sequence::Program> m_loaded;
    bool m_recordWhileRunning = false;
    bool m_recordingByRun = false;
    bool m_liveByRun = false;
};

} // namespace qle
