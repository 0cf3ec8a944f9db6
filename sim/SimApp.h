#pragma once

#include "FaultInjector.h"
#include "MonotonicClock.h"
#include "SimOptions.h"
#include "Transcript.h"

#include <QMap>
#include <QObject>

#include <memory>

namespace psusim {

class ByteLink;
class ControlInterpreter;
class ControlServer;
class Frontend;
class Instrument;
class Session;

// The whole simulator as the psu-sim program runs it, built from options.
class SimApp : public QObject {
    Q_OBJECT
public:
    explicit SimApp(const SimOptions &options, QObject *parent = nullptr);
    ~SimApp() override;

    // Opens the link and the control channels.
    bool start(QString *error);
    // Where the program connects: the pseudo-terminal path or "tcp:PORT".
    [[nodiscard]] QString address() const;

signals:
    void quitRequested();
    void addressChanged(const QString &address);

private:
    Instrument *makeInstrument(const QString &modelName, std::uint32_t seed);

    SimOptions m_options;
    MonotonicClock m_clock;
    Transcript m_transcript;
    FaultInjector m_faults;
    QMap<int, Instrument *> m_instruments;
    std::unique_ptr<Frontend> m_frontend;
    ByteLink *m_link = nullptr;
    Session *m_session = nullptr;
    std::unique_ptr<ControlInterpreter> m_control;
    ControlServer *m_controlServer = nullptr;
};

} // namespace psusim
