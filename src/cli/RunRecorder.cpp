#include "RunRecorder.h"

#include "EnergyTally.h"

#include "instrument/Instrument.h"
#include "platform/Clock.h"
#include "platform/Platform.h"
#include "protocol/ReplyReaders.h"

#include <QPointer>

#include <cmath>

namespace qle::cli {
namespace {

qint64 monotonicMs()
{
    return static_cast<qint64>(platform::clock().monotonicSec() * 1000.0);
}

} // namespace

RunRecorder::RunRecorder(Instrument &instrument, RowWriter &writer, EnergyTally &energy, double intervalSec)
    : m_instrument(instrument), m_writer(writer), m_energy(energy)
{
    m_ticker.setTimerType(Qt::PreciseTimer);
    m_ticker.setInterval(static_cast<int>(std::llround(intervalSec * 1000)));
    connect(&m_ticker, &QTimer::timeout, this, &RunRecorder::sample);
}

void RunRecorder::start()
{
    m_clock.start();
}

std::optional<QString> RunRecorder::startRecording()
{
    if (m_failed)
        return QStringLiteral("the rows cannot be written");
    if (m_recording)
        return std::nullopt;
    if (!m_clock.isValid())
        m_clock.start();
    m_recording = true;
    m_energy.start();
    m_ticker.start();
    // The first row at once, as a log's.
    QTimer::singleShot(0, this, [this, generation = m_generation] {
        if (m_recording && generation == m_generation)
            sample();
    });
    return std::nullopt;
}

void RunRecorder::stopRecording()
{
    m_recording = false;
    m_energy.stop();
    m_ticker.stop();
    ++m_generation;
    m_pending = 0;
}

void RunRecorder::sample()
{
    if (m_pending > 0) {
        ++m_skipped;
        return;
    }
    const double takenAtSec = m_clock.elapsed() / 1000.0;
    const qint64 askedAtMs = monotonicMs();
    const int channels = std::min(m_instrument.channelCount(), 3);
    m_pending = channels;
    m_sampleComplete = true;
    for (int ch = 0; ch < channels; ++ch) {
        m_instrument.measure(ch, [self = QPointer<RunRecorder>(this), generation = m_generation, takenAtSec,
                                  askedAtMs](const Outcome &outcome) {
            if (!self || generation != self->m_generation)
                return;
            if (!outcome.done())
                self->m_sampleComplete = false;
            if (--self->m_pending == 0)
                self->takeRow(takenAtSec, askedAtMs);
        });
    }
}

void RunRecorder::takeRow(double takenAtSec, qint64 askedAtMs)
{
    std::array<QString, 3> volts;
    std::array<QString, 3> amps;
    const bool legacy = m_instrument.family() == CommandFamily::Legacy;
    for (int ch = 0; ch < std::min(m_instrument.channelCount(), 3) && m_sampleComplete; ++ch) {
        // Switching the output off forgets the readings: one asked before
        // and gone now does not make a row.
        const ChannelState &state = m_instrument.channel(ch);
        if (!state.voltage || !state.current || state.voltage->atMs < askedAtMs || state.current->atMs < askedAtMs) {
            m_sampleComplete = false;
            break;
        }
        const auto at = static_cast<std::size_t>(ch);
        volts[at] = legacy ? StripUnit(state.voltage->text, u'V') : state.voltage->text;
        amps[at] = legacy ? StripUnit(state.current->text, u'A') : state.current->text;
    }
    if (!m_sampleComplete) {
        ++m_skipped;
        return;
    }
    Failure failure;
    if (m_writer.append(volts, amps, takenAtSec, &failure))
        return;
    stopRecording();
    m_failed = true;
    if (m_onFailure)
        m_onFailure(failure);
}

} // namespace qle::cli
