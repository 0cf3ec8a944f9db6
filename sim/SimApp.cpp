#include "SimApp.h"

#include "ByteLink.h"
#include "ControlInterpreter.h"
#include "ControlServer.h"
#include "Frontend.h"
#include "Instrument.h"
#include "PrologixFrontend.h"
#include "PtyLink.h"
#include "Session.h"
#include "TcpLink.h"

namespace psusim {

SimApp::SimApp(const SimOptions &options, QObject *parent)
    : QObject(parent), m_options(options), m_transcript(m_clock), m_faults(options.seed)
{
}

SimApp::~SimApp()
{
    // Tear down from the wire inwards: nothing may call into a part that is gone.
    delete m_controlServer;
    delete m_session;
    delete m_link;
    m_frontend.reset();
    qDeleteAll(m_instruments);
}

Instrument *SimApp::makeInstrument(const QString &modelName, std::uint32_t seed)
{
    const ModelInfo *model = modelName.isEmpty() ? &defaultModel() : findModel(modelName);
    if (!model)
        model = &defaultModel();
    InstrumentConfig config;
    config.maker = m_options.maker;
    config.serialNumber = m_options.serialNumber;
    config.firmware = m_options.firmware;
    config.seed = seed;
    config.voltNoise = m_options.noiseVolt;
    config.currNoise = m_options.noiseCurr;
    config.autoRunUnitMs = m_options.autoRunUnitMs;
    auto *instrument = new Instrument(*model, config, this);
    for (int ch = 1; ch <= instrument->supply().channelCount(); ++ch)
        instrument->supply().setLoad(ch, m_options.loadOhms);
    return instrument;
}

QString SimApp::address() const
{
    return m_link ? m_link->address() : QString();
}

bool SimApp::start(QString *error)
{
    if (!m_options.transcriptPath.isEmpty() && !m_transcript.open(m_options.transcriptPath, error))
        return false;

    if (m_options.prologix) {
        auto frontend = std::make_unique<PrologixFrontend>(m_options.latencyMs);
        QList<QPair<int, QString>> devices = m_options.gpibInstruments;
        if (devices.isEmpty())
            devices.append({1, m_options.model});
        for (const auto &[address, model] : devices) {
            Instrument *instrument = makeInstrument(model, m_options.seed + std::uint32_t(address));
            m_instruments.insert(address, instrument);
            frontend->attach(address, instrument);
            m_transcript.note(QStringLiteral("gpib %1: %2").arg(address).arg(instrument->model().name));
        }
        m_frontend = std::move(frontend);
    } else {
        Instrument *instrument = makeInstrument(m_options.model, m_options.seed);
        m_instruments.insert(0, instrument);
        m_frontend = std::make_unique<DirectFrontend>(*instrument, m_options.latencyMs);
        m_transcript.note(QStringLiteral("model %1").arg(instrument->model().name));
    }
    for (auto it = m_instruments.cbegin(); it != m_instruments.cend(); ++it) {
        connect(it.value(), &Instrument::event, this, [this, address = it.key()](const QString &text) {
            m_transcript.note(m_options.prologix ? QStringLiteral("gpib %1: %2").arg(address).arg(text) : text);
        });
    }

    if (m_options.tcpPort >= 0) {
        auto *tcp = new TcpLink(this);
        if (!tcp->listen(quint16(m_options.tcpPort), error))
            return false;
        m_link = tcp;
    } else {
        auto *pty = new PtyLink(this);
        if (!pty->open(error))
            return false;
        if (!m_options.linkPath.isEmpty() && !pty->setSymlink(m_options.linkPath, error))
            return false;
        m_link = pty;
    }
    connect(m_link, &ByteLink::addressChanged, this, &SimApp::addressChanged);
    m_transcript.note(QStringLiteral("listening at %1").arg(m_link->address()));

    m_session = new Session(*m_link, *m_frontend, m_faults, m_clock, m_transcript, this);
    m_session->setTerminator(m_options.terminator);
    m_session->output().setBaud(m_options.baud);

    for (const QString &faultText : m_options.faults) {
        m_faults.apply(faultText);
        m_transcript.note(QStringLiteral("fault %1").arg(faultText));
    }

    m_control = std::make_unique<ControlInterpreter>(m_instruments, m_faults);
    m_controlServer = new ControlServer(*m_control, this);
    connect(m_controlServer, &ControlServer::quitRequested, this, &SimApp::quitRequested);
    connect(m_controlServer, &ControlServer::handled, this, [this](const QByteArray &command, const QByteArray &reply) {
        m_transcript.note(QStringLiteral("control %1 -> %2").arg(QString::fromUtf8(command), QString::fromUtf8(reply)));
    });
    if (m_options.controlStdin)
        m_controlServer->watchStdin();
    if (!m_options.controlSocket.isEmpty() && !m_controlServer->listen(m_options.controlSocket, error))
        return false;
    return true;
}

} // namespace psusim
