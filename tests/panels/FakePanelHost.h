#pragma once

#include "comm/CommTasker.h"
#include "panels/PanelHost.h"
#include "protocol/Commands.h"

#include <QMap>
#include <QStringList>

namespace qle::testing {

// The main window as a panel sees it: a real engine that only queues (its
// timer stopped, no link), a catalogue in memory, and a log of the device
// operations the panel asks for.
class FakePanelHost final : public IPanelHost {
public:
    FakePanelHost()
    {
        engine_.WriterTimer.stop();
        commands_.LoadScpiCommands();
        addRow({"KMA-3303T", 1, 1, 1, 30, 3, 33, 0.01, 0.001, 0.01, "0.00", "0.000", "0.00"});
        addRow({"KMA-3303T#1", 0, 1, 0, 30, 3, 33, 0.01, 0.001, 0.01, "0.00", "0.000", "0.00"});
        addRow({"KMA-3303T#2", 0, 1, 0, 30, 3, 33, 0.01, 0.001, 0.01, "0.00", "0.000", "0.00"});
        addRow({"KMA-3303T#3", 0, 1, 0, 5, 3, 5.5, 0.01, 0.001, 0.01, "0.00", "0.000", "0.00"});
        addRow({"KMC-3303T", 1, 1, 0, 32, 2, 35, 0.01, 0.001, 0.01, "0.000", "0.000", "0.0"});
        addRow({"QLE-5505", 1, 3, 0, 30, 5, 0, 0.01, 0.001, 0, "0.00", "0.000", "0.00"});
        addRow({"KMA-3005", 1, 2, 0, 30, 5, 33, 0.01, 0.001, 0.01, "0.00", "0.000", "0.00"});
    }

    void addRow(const QVariantList &columns) { rows_.insert(columns.first().toString(), CatalogueRow{columns}); }

    [[nodiscard]] int mainFormState() const override { return state; }
    [[nodiscard]] QString commType() const override { return link; }
    [[nodiscard]] QString machineType() const override { return model; }
    [[nodiscard]] bool isQueryInitialValues() const override { return queryingInitialValues; }
    [[nodiscard]] int gpibAddress() const override { return 7; }
    CommTasker &engine() override { return engine_; }
    [[nodiscard]] const Commands &commands() const override { return commands_; }
    void useLegacyCommands()
    {
        model = "QLE-5505";
        commands_.LoadLegacyCommands();
    }
    [[nodiscard]] const CatalogueRow *catalogueRow(const QString &mtype) const override
    {
        auto it = rows_.constFind(mtype);
        return it == rows_.constEnd() ? nullptr : &it.value();
    }
    bool runQueryInitialDialog() override
    {
        ++initialDialogs;
        return cancelInitialDialog;
    }
    [[nodiscard]] int readTimesSetting() const override { return readTimes; }

    void DoOutput(bool value) override { operations.append(QString("DoOutput(%1)").arg(value ? "true" : "false")); }
    void DoAutoRun(bool value) override { operations.append(QString("DoAutoRun(%1)").arg(value ? "true" : "false")); }
    void mnuIndep_Click() override { operations.append("mnuIndep_Click"); }
    void mnuParallel_Click() override { operations.append("mnuParallel_Click"); }
    void mnuTrack_Click() override { operations.append("mnuTrack_Click"); }
    void mnuAutoMode_Click() override { operations.append("mnuAutoMode_Click"); }
    void mnuSaveMemory_Click() override { operations.append("mnuSaveMemory_Click"); }
    void mnuRecallMemory_Click() override { operations.append("mnuRecallMemory_Click"); }
    void SetMenuOutputModeAllUnchecked() override { operations.append("SetMenuOutputModeAllUnchecked"); }
    void ReportStatus(const QString &msg, int msec) override
    {
        operations.append(QString("ReportStatus(%1,%2)").arg(msg).arg(msec));
    }
    [[nodiscard]] bool outputOn() const override { return output; }
    [[nodiscard]] bool autoRunOn() const override { return autoRun; }
    void followOutput(bool on) override
    {
        output = on;
        operations.append(QString("followOutput(%1)").arg(on ? "true" : "false"));
    }
    void followAutoRun(bool on) override
    {
        autoRun = on;
        operations.append(QString("followAutoRun(%1)").arg(on ? "true" : "false"));
    }
    void followCoupling(Coupling coupling) override
    {
        operations.append(QString("followCoupling(%1)").arg(static_cast<int>(coupling)));
    }

    // Texts of the queued queries and commands, oldest first.
    [[nodiscard]] QStringList queuedQueries() const
    {
        QStringList texts;
        for (int i = engine_.queryTail(); i != engine_.queryHead(); i = (i + 1) % CommTasker::RingSize)
            texts.append(engine_.queryTask(i).xOutString);
        return texts;
    }
    [[nodiscard]] QStringList queuedCommands() const
    {
        QStringList texts;
        for (int i = engine_.cmdTail(); i != engine_.cmdHead(); i = (i + 1) % CommTasker::RingSize)
            texts.append(engine_.cmdTask(i).xOutString);
        return texts;
    }

    int state = 3;
    QString link = "RS232";
    QString model = "KMA-3303T";
    bool queryingInitialValues = false;
    bool cancelInitialDialog = false;
    bool output = false;
    bool autoRun = false;
    int initialDialogs = 0;
    int readTimes = 5;
    QStringList operations;

private:
    CommTasker engine_;
    Commands commands_;
    QMap<QString, CatalogueRow> rows_;
};

} // namespace qle::testing
