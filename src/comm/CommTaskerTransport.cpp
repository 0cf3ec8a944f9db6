// The lower half of the engine: writing a task's line on the serial or GPIB
// link and feeding what comes back into the reply store.
#include "CommTasker.h"

#include "GpibDevice.h"
#include "platform/MessageBox.h"
#include "platform/Platform.h"
#include "platform/Trace.h"

namespace qle {

CommTasker::WriteResult CommTasker::writeTask(const QString &text, bool isCommand)
{
    if (CommType == QLatin1String("RS232") || CommType == QLatin1String("TCP")) {
        Trace(isCommand ? "C opmode = 1" : "opmode = 1");
        const WriteResult result = SerialWrite(text);
        if (result == WriteResult::Written)
            bGetSerialData = text.contains(u'?');
        return result;
    }
    if (CommType == QLatin1String("GPIB")) {
        if (!m_gpib)
            return WriteResult::Failed;
        m_gpib->write(text.toLatin1());
        OpMode = 1;
        Trace(isCommand ? "C opmode = 1" : "opmode = 1");
        return WriteResult::Written;
    }
    // No link selected: nothing is written and the reply never comes.
    return WriteResult::Written;
}

CommTasker::WriteResult CommTasker::SerialWrite(const QString &text)
{
    OpMode = 1;
    QByteArray line = text.toLatin1();
    line.append("\r\n");
    QIODevice &stream = CommType == QLatin1String("TCP") ? static_cast<QIODevice &>(MSTcp) : MSComm1;
    const bool ok = stream.isOpen() && stream.write(line) == line.size();
    bGetSerialData = false;
    OpMode = 0;
    if (!ok) {
        reportSerialError(stream.isOpen() ? stream.errorString() : QStringLiteral("Port is not open"));
        return WriteResult::Failed;
    }
    m_serialErrorShown = false;
    return WriteResult::Written;
}

// The box is shown from the event loop, not from inside the consumer pass, so
// a write error never opens a nested loop while the rings are locked. While
// the writes keep failing (a command is retried every tick) one box is enough.
void CommTasker::reportSerialError(const QString &description)
{
    if (m_serialErrorShown)
        return;
    m_serialErrorShown = true;
    const quint64 resets = m_resetCount;
    QMetaObject::invokeMethod(
        this,
        [this, description, resets] {
            if (resets != m_resetCount)
                return;
            platform::messageBox().show(description, QString(), IMessageBox::Buttons::Ok, IMessageBox::Icon::Critical);
        },
        Qt::QueuedConnection);
}

void CommTasker::onSerialReadyRead()
{
    onStreamReadyRead(MSComm1);
}

void CommTasker::onTcpClosed()
{
    if (CommType != QLatin1String("TCP"))
        return;
    Trace("TCP link lost: " + MSTcp.errorString());
    giveUpLink("The connection to " + MSTcp.peerName() + ":" + QString::number(MSTcp.peerPort()) + " was closed.");
}

void CommTasker::onStreamReadyRead(QIODevice &stream)
{
    const QByteArray data = stream.readAll();
    if (data.isEmpty())
        return;
    const quint64 before = m_rsp.linesEnded();
    RspTask(QString::fromLatin1(data));
    if (m_rsp.linesEnded() != before) {
        bGetSerialData = false;
        Text1 = m_rsp.lastLine();
        emit text1Changed(Text1);
        scheduleConsume();
    }
}

void CommTasker::RspTask(const QString &data)
{
    m_rsp.RspTask(data);
}

void CommTasker::onSerialError(QSerialPort::SerialPortError error)
{
    // The port vanished under us (cable pulled, adapter unplugged, the other
    // end of a pseudo-terminal closed): give up the transaction now instead
    // of after 20 s of silence. A hang-up shows as a resource error or as a
    // read that ends the stream (a read error); the port would report the
    // latter again at every turn of the event loop. Writing to it then fails
    // the same way. (The error text of a hang-up is often a stale errno: it
    // goes to the trace, not to the user.)
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError && error != QSerialPort::WriteError)
        return;
    Trace("RS232 link lost (" + QString::number(error) + "): " + MSComm1.errorString());
    QString port = MSComm1.portName();
#ifdef Q_OS_UNIX
    // The port keeps the name without the device folder.
    if (!port.startsWith(u'/'))
        port.prepend(QStringLiteral("/dev/"));
#endif
    const QString cause = error == QSerialPort::ResourceError ? "The serial port " + port + " was removed."
                                                              : "The serial port " + port + " was closed or removed.";
    if (MSComm1.isOpen())
        MSComm1.close();
    giveUpLink(cause);
}

// The transaction in flight can never end: the time-out routine runs now,
// told why.
void CommTasker::giveUpLink(const QString &cause)
{
    m_linkLostCause = cause;
    TimeoutTask();
}

void CommTasker::setGpibDevice(GpibDevice *device)
{
    if (m_gpib)
        disconnect(m_gpib, nullptr, this, nullptr);
    m_gpib = device;
    if (!device)
        return;
    connect(device, &GpibDevice::writeComplete, this, &CommTasker::onGpibWriteComplete);
    connect(device, &GpibDevice::dataRead, this, &CommTasker::onGpibDataRead);
    connect(device, &GpibDevice::error, this, &CommTasker::onGpibError);
}

void CommTasker::onGpibWriteComplete()
{
    Trace("GPIB WriteComplete");
    const TaskItem &task = CurTaskQueue == 0 ? QueryTasks[static_cast<std::size_t>(QueryTailI)]
                                             : CmdTasks[static_cast<std::size_t>(CmdTailI)];
    const bool expectsReply = task.xRspType != 0;
    OpMode = 0;
    if (expectsReply && m_gpib) {
        m_gpib->readAsync();
        Trace("GPIB ReadAsync");
        OpMode = 2;
    }
    scheduleConsume();
}

void CommTasker::onGpibDataRead(const QByteArray &data)
{
    Trace("GPIB DataRead");
    QString text = QString::fromLatin1(data);
    // A GPIB read ends at the end-of-message signal, so it is a whole reply
    // even when the instrument sends no line end.
    if (!text.endsWith(u'\n') && !text.endsWith(u'\r'))
        text.append(u'\n');
    RspTask(text);
    OpMode = 0;
    scheduleConsume();
}

void CommTasker::onGpibError(const QString &description)
{
    Trace("GPIB error: " + description);
    giveUpLink("GPIB: " + description);
}

} // namespace qle
