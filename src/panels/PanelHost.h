#pragma once

#include "protocol/CatalogueRow.h"
#include "protocol/DeviceCommands.h"

#include <QString>

namespace qle {

class CommTasker;
class Commands;
class Instrument;

// What a control panel needs of the main window: the connection's state, the
// engine and query table, the catalogue, and the device-wide operations its
// buttons and replies lead to.
class IPanelHost {
public:
    virtual ~IPanelHost() = default;

    [[nodiscard]] virtual int mainFormState() const = 0;
    [[nodiscard]] virtual QString commType() const = 0;
    [[nodiscard]] virtual QString machineType() const = 0;
    [[nodiscard]] virtual bool isQueryInitialValues() const = 0;
    [[nodiscard]] virtual int gpibAddress() const = 0;
    virtual CommTasker &engine() = 0;
    // The instrument's model, fed with what the panel reads and sends;
    // nullptr when there is none to feed.
    virtual Instrument *instrument() { return nullptr; }
    [[nodiscard]] virtual const Commands &commands() const = 0;
    // nullptr when the catalogue has no such row.
    [[nodiscard]] virtual const CatalogueRow *catalogueRow(const QString &mtype) const = 0;

    // The modal initial-read dialog; true when the user cancelled it.
    virtual bool runQueryInitialDialog() = 0;
    // The stored polling time limit, seconds.
    [[nodiscard]] virtual int readTimesSetting() const = 0;

    virtual void DoOutput(bool value) = 0;
    virtual void DoAutoRun(bool value) = 0;
    virtual void mnuIndep_Click() = 0;
    virtual void mnuParallel_Click() = 0;
    virtual void mnuTrack_Click() = 0;
    virtual void mnuAutoMode_Click() = 0;
    virtual void mnuSaveMemory_Click() = 0;
    virtual void mnuRecallMemory_Click() = 0;
    virtual void SetMenuOutputModeAllUnchecked() = 0;

    // A message on the status line for `msec` milliseconds.
    virtual void ReportStatus(const QString &msg, int msec) = 0;

    // The device-wide states as menus and toolbar show them.
    [[nodiscard]] virtual bool outputOn() const = 0;
    [[nodiscard]] virtual bool autoRunOn() const = 0;
    // The instrument reports a state it took by itself (its front panel, a
    // protection trip, the end of an auto-run): shown everywhere, nothing is
    // sent back.
    virtual void followOutput(bool on) = 0;
    virtual void followAutoRun(bool on) = 0;
    virtual void followCoupling(Coupling coupling) = 0;
};

} // namespace qle
