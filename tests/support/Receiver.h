#pragma once

#include "comm/CommTaskerHost.h"

#include <QObject>
#include <QStringList>

namespace qle::testing {

// Stands in for a window that takes replies by name: a "Text" property like a
// reply sink, a routine taking the reply, and a routine taking nothing.
class Receiver final : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Text READ text WRITE setText)
public:
    using QObject::QObject;

    [[nodiscard]] QString text() const { return m_text; }
    void setText(const QString &text)
    {
        m_text = text;
        texts.append(text);
    }

    QStringList texts;
    QStringList calls;
    int timeouts = 0;

public slots:
    void TakeReply(const QString &reply) { calls.append(reply); }
    void OnTimeout() { ++timeouts; }

private:
    QString m_text;
};

// The main window as the engine sees it.
class FakeHost final : public ICommTaskerHost {
public:
    void ReportStatus(const QString &msg, int msec) override { reports.append(msg + "/" + QString::number(msec)); }
    [[nodiscard]] bool isQueryTimerEnabled() const override { return queryTimerEnabled; }
    void DevSetupMachineType2() override { ++machineType2Calls; }

    QStringList reports;
    bool queryTimerEnabled = false;
    int machineType2Calls = 0;
};

} // namespace qle::testing
