#include "PrologixGpibDevice.h"

#include "LocalWait.h"
#include "PrologixLink.h"
#include "PrologixProtocol.h"

namespace qle {

PrologixGpibDevice::PrologixGpibDevice(std::unique_ptr<PrologixLink> link, QObject *parent)
    : GpibDevice(parent), m_link(std::move(link))
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(ReplyTimeoutMsec);
    connect(&m_timer, &QTimer::timeout, this, &PrologixGpibDevice::onTimeout);
    connect(m_link.get(), &PrologixLink::opened, this, &PrologixGpibDevice::onOpened);
    connect(m_link.get(), &PrologixLink::lost, this, &PrologixGpibDevice::onLost);
    connect(&m_link->io(), &QIODevice::readyRead, this, &PrologixGpibDevice::onReadyRead);
    connect(&m_link->io(), &QIODevice::bytesWritten, this, &PrologixGpibDevice::onBytesWritten);
}

PrologixGpibDevice::~PrologixGpibDevice()
{
    disconnect(m_link.get(), nullptr, this, nullptr);
    disconnect(&m_link->io(), nullptr, this, nullptr);
    m_link->close();
}

QString PrologixGpibDevice::adapterLocation() const
{
    return m_link->where();
}

bool PrologixGpibDevice::configure(int /*board*/, int address)
{
    if (m_wait)
        return false; // already configuring
    ++m_epoch;
    m_timer.stop();
    m_link->close();
    m_input.clear();
    m_version.clear();
    m_lastError.clear();
    m_address = address;

    m_state = State::Opening;
    {
        LocalWait opening(OpenTimeoutMsec);
        m_wait = &opening;
        m_link->open();
        const bool opened = opening.exec();
        m_wait = nullptr;
        if (!opened) {
            abandonConfigure(QStringLiteral("cannot open the GPIB adapter at ") + m_link->where() +
                             (m_lastError.isEmpty() ? QString() : QStringLiteral(": ") + m_lastError));
            return false;
        }
    }

    m_state = State::Probing;
    LocalWait probing(ProbeTimeoutMsec);
    m_wait = &probing;
    const bool sent = send(prologix::setupCommands(address) + prologix::VersionCommand);
    const bool answered = sent && probing.exec();
    m_wait = nullptr;
    if (!answered) {
        abandonConfigure(QStringLiteral("no GPIB controller answers at ") + m_link->where());
        return false;
    }
    m_state = State::Idle;
    return true;
}

void PrologixGpibDevice::abandonConfigure(const QString &description)
{
    m_link->close();
    m_state = State::Closed;
    m_lastError = description;
}

bool PrologixGpibDevice::send(const QByteArray &bytes)
{
    return m_link->io().write(bytes) == bytes.size();
}

void PrologixGpibDevice::discardInput()
{
    m_input.clear();
    m_link->io().readAll();
}

void PrologixGpibDevice::write(const QByteArray &data)
{
    if (m_state == State::Closed) {
        failSoon(QStringLiteral("GPIB adapter is not connected"));
        return;
    }
    ++m_epoch;
    // Whatever is still in the input belongs to an abandoned transaction.
    discardInput();
    m_state = State::Writing;
    if (!send(prologix::dataLine(data))) {
        failSoon(QStringLiteral("cannot write to the GPIB adapter: ") + m_link->io().errorString());
        return;
    }
    m_timer.start();
}

void PrologixGpibDevice::readAsync()
{
    if (m_state == State::Closed) {
        failSoon(QStringLiteral("GPIB adapter is not connected"));
        return;
    }
    ++m_epoch;
    discardInput();
    m_state = State::Reading;
    if (!send(prologix::ReadCommand)) {
        failSoon(QStringLiteral("cannot write to the GPIB adapter: ") + m_link->io().errorString());
        return;
    }
    m_timer.start();
}

void PrologixGpibDevice::reset()
{
    ++m_epoch;
    m_timer.stop();
    m_input.clear();
    if (m_state == State::Writing || m_state == State::Reading || m_state == State::Idle) {
        m_state = State::Idle;
        // A reply the instrument still holds would answer the next query.
        send(prologix::ClearCommand);
    }
}

void PrologixGpibDevice::fail(const QString &description)
{
    ++m_epoch;
    m_timer.stop();
    if (m_state != State::Closed)
        m_state = State::Idle;
    emit error(description);
}

// Called from inside the engine's write or read: the notice comes from the
// event loop, as any answer of the adapter would, unless the transaction has
// been given up by then.
void PrologixGpibDevice::failSoon(const QString &description)
{
    m_timer.stop();
    QTimer::singleShot(0, this, [this, epoch = m_epoch, description] {
        if (epoch == m_epoch)
            fail(description);
    });
}

void PrologixGpibDevice::onOpened()
{
    if (m_state == State::Opening && m_wait)
        m_wait->finish(true);
}

void PrologixGpibDevice::onLost(const QString &description)
{
    const State before = m_state;
    if (before == State::Closed)
        return; // the same loss reported again
    m_state = State::Closed;
    m_timer.stop();
    m_input.clear();
    if ((before == State::Opening || before == State::Probing) && m_wait) {
        m_lastError = description;
        m_wait->finish(false);
    } else if (before == State::Writing || before == State::Reading) {
        ++m_epoch;
        emit error(QStringLiteral("GPIB adapter link lost: ") + description);
    }
}

void PrologixGpibDevice::onReadyRead()
{
    m_input.append(m_link->io().readAll());
    if (m_state == State::Probing) {
        if (std::optional<QByteArray> line = prologix::takeLine(m_input)) {
            m_version = line->trimmed();
            m_input.clear();
            if (m_wait)
                m_wait->finish(true);
        }
        return;
    }
    if (m_state != State::Reading) {
        m_input.clear(); // nobody asked for it
        return;
    }
    if (std::optional<QByteArray> line = prologix::takeLine(m_input)) {
        ++m_epoch;
        m_timer.stop();
        m_state = State::Idle;
        m_input.clear();
        emit dataRead(*line);
    }
}

void PrologixGpibDevice::onBytesWritten()
{
    if (m_state != State::Writing || m_link->io().bytesToWrite() > 0)
        return;
    ++m_epoch;
    m_timer.stop();
    m_state = State::Idle;
    emit writeComplete();
}

void PrologixGpibDevice::onTimeout()
{
    if (m_state == State::Writing)
        fail(QStringLiteral("the GPIB adapter does not take the data"));
    else if (m_state == State::Reading)
        fail(QStringLiteral("no reply from GPIB address %1").arg(m_address));
}

} // namespace qle
