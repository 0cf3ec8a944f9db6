#pragma once

#include "CliCommands.h"
#include "RowWriter.h"
#include "sequence/SequenceHost.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

namespace qle {
class Instrument;
}

namespace qle::cli {

class EnergyTally;

// The recorder of a sequence run: while it records, every channel's readings
// are asked of the model each interval, without waiting for them, and each
// complete set becomes a row of the writer. Row times count from start().
class RunRecorder final : public QObject, public sequence::ISequenceHost {
public:
    // `energy` counts while the recorder records; it outlives the recorder.
    RunRecorder(Instrument &instrument, RowWriter &writer, EnergyTally &energy, double intervalSec);

    // The run's start: row times count from here.
    void start();
    // A row could not be written; recording has stopped.
    void onFailure(std::function<void(const Failure &)> handler) { m_onFailure = std::move(handler); }
    // Readings not taken: the link still busy with the last, or a reading
    // that did not come back.
    [[nodiscard]] qint64 skipped() const { return m_skipped; }

    [[nodiscard]] bool canRecord() const override { return true; }
    std::optional<QString> startRecording() override;
    void stopRecording() override;

private:
    void sample();
    void takeRow(double takenAtSec, qint64 askedAtMs);

    Instrument &m_instrument;
    RowWriter &m_writer;
    EnergyTally &m_energy;
    QTimer m_ticker;
    QElapsedTimer m_clock;
    std::function<void(const Failure &)> m_onFailure;
    // Readings that come back after the recording stopped are dropped.
    quint64 m_generation = 0;
    int m_pending = 0;
    bool m_sampleComplete = true;
    bool m_recording = false;
    bool m_failed = false;
    qint64 m_skipped = 0;
};

} // namespace qle::cli
