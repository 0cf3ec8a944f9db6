#pragma once

#include "InstrumentCore.h"

#include <QObject>

#include <memory>
#include <optional>

namespace psusim {

class CommandInterpreter;

// One simulated power supply: its state plus the interpreter of its model's
// command family. The model can be swapped at run time (power cycle).
class Instrument : public QObject {
    Q_OBJECT
public:
    Instrument(const ModelInfo &model, const InstrumentConfig &config, QObject *parent = nullptr);
    ~Instrument() override;

    std::optional<QByteArray> execute(const QByteArray &line);

    void setModel(const ModelInfo &model);
    [[nodiscard]] const ModelInfo &model() const { return m_core->supply.model(); }

    InstrumentCore &core() { return *m_core; }
    PowerSupply &supply() { return m_core->supply; }

    // A one-line summary for the control channel.
    [[nodiscard]] QByteArray statusSummary() const;

signals:
    // Things worth a transcript line: auto-run steps, protection trips.
    void event(const QString &text);

private:
    void build(const ModelInfo &model);

    InstrumentConfig m_config;
    std::unique_ptr<InstrumentCore> m_core;
    std::unique_ptr<CommandInterpreter> m_interpreter;
};

} // namespace psusim
