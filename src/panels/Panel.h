#pragma once

#include "protocol/DeviceCommands.h"

#include <QWidget>

#include <optional>

namespace qle {

// What the main window and the device operations call on the open control
// panel. Routines a layout does not have do nothing.
class Panel : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;

    [[nodiscard]] virtual int channelCount() const = 0;

    virtual void SetupLayout() = 0;
    // Queues the initial reading and runs the wait dialog; true when cancelled.
    virtual bool QueryInitialValues() = 0;
    virtual void AfterQueryInitialValuesBeforeShow() = 0;
    virtual void DoQuery() = 0;
    // The queries one DoQuery cycle has, for the engine's read-times watch.
    [[nodiscard]] virtual int pollCycleLength() const { return 0; }
    // Live polling: queues one whole cycle of measurements and state queries
    // unless the previous one is still running.
    virtual void DoLiveQuery(int /*periodMs*/) {}
    // The next Live cycle starts now, or as soon as the running one ends.
    virtual void restartLiveQuery(int /*periodMs*/) {}
    // How often Live readings come at `periodMs` on this link.
    [[nodiscard]] virtual int liveReadingPeriodMs(int periodMs) { return periodMs; }
    // Milliseconds since Live polling last heard the instrument; 0 when not polling.
    [[nodiscard]] virtual qint64 liveSilenceMs() const { return 0; }
    virtual void QuerySECMemory() {}
    virtual void QueryMemory() {}
    virtual void QueryDelay() {}

    virtual void SetAllEnabled() = 0;
    virtual void SetAllDisabled() = 0;
    virtual void SetParallelDisableMode() = 0;
    virtual void SetTrackDisableMode() = 0;
    virtual void SetAutoRunDisableMode() {}
    virtual void SetOutputModeEnabled() {}
    virtual void SetOutputOffDisplay() = 0;

    // The panel's mirrors of the device-wide states.
    virtual void setOutputValue(bool value) = 0;
    virtual void setAutoRunValue(bool) {}
    virtual void selectCoupling(Coupling) {}
    // The coupling the panel's options show; none on a panel without them.
    [[nodiscard]] virtual std::optional<Coupling> couplingShown() const { return std::nullopt; }

    // The displayed readings, as the recorders take them.
    [[nodiscard]] virtual QString voltageText(int channel) const = 0;
    [[nodiscard]] virtual QString currentText(int channel) const = 0;
    // When the older of a channel's two displayed readings arrived, on the
    // monotonic clock in milliseconds; -1 before the first one.
    [[nodiscard]] virtual qint64 readingTimeMs(int /*channel*/) const { return -1; }

    bool IsQueryInitialOK = false;
    bool IsOutput = false;

public slots:
    // Replies delivered by name.
    virtual void SetupOutputOnOff(const QString &) {}
    virtual void SetupOutputMode(const QString &) {}
    virtual void SetupAutoRun(const QString &) {}
};

} // namespace qle
