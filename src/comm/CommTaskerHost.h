#pragma once

#include <QString>

namespace qle {

// What the engine needs of the main window.
class ICommTaskerHost {
public:
    virtual ~ICommTaskerHost() = default;
    virtual void ReportStatus(const QString &msg, int msec) = 0;
    [[nodiscard]] virtual bool isQueryTimerEnabled() const = 0;
    virtual void DevSetupMachineType2() = 0;
};

// The modal "waiting for the last response" dialog run by ClearAllTasks.
// It drives the engine while open and answers whether the queues may be cleared.
class IWaitRspDialog {
public:
    virtual ~IWaitRspDialog() = default;
    virtual bool Execute() = 0;
};

} // namespace qle
