#pragma once

#include "CommTaskerHost.h"
#include "GpibDevice.h"
#include "ResponseRing.h"
#include "TaskItem.h"

#include <QObject>
#include <QPointer>
#include <QSerialPort>
#include <QTcpSocket>
#include <QTimer>

#include <array>

namespace qle {

// The one object every exchange with the instrument goes through: two task
// rings, a consumer that keeps one transaction on the wire, the reply store
// and the serial and GPIB transports.
class CommTasker final : public QObject {
    Q_OBJECT
public:
    static constexpr int RingSize = 200;
    static constexpr int MaxQueuedTasks = 99;
    static constexpr double ResponseTimeoutSec = 20.0;
    static constexpr int WriterIntervalMsec = 10;

    explicit CommTasker(QObject *parent = nullptr);
    ~CommTasker() override;

    void setHost(ICommTaskerHost *host) { m_host = host; }
    void setWaitRspDialog(IWaitRspDialog *dialog) { m_waitDialog = dialog; }
    void setGpibDevice(GpibDevice *device);
    [[nodiscard]] GpibDevice *gpibDevice() const { return m_gpib; }

    // Queues.
    bool ExecQueryTask(const QString &xOutString, qint32 xRspType, QObject *xObj, const QString &xCallName,
                       qint32 xCallType, bool xIsNeedingAck);
    void ExecCmdTask(const QString &xOutString, qint32 xRspType, QObject *xObj, const QString &xCallName,
                     qint32 xCallType, bool xIsNeedingAck);
    static qint16 ValidTaskArraySize(int Size, int HeadI, int TailI);
    void ResetTasks();
    void ResetQueryTasks();
    // Cancels the queued queries that would send `line` and are not on the
    // wire yet.
    void cancelQueuedQueries(const QString &line);
    bool ClearAllTasks();

    // Consumer.
    void DoWriterTimer(int IntervalMsec);
    // The 10 ms tick rests while the engine has nothing to do: nothing
    // queued, pending or awaiting an acknowledgement, no transfer running,
    // no polling cycle being timed and no trace being written. Work starts
    // it again at once.
    [[nodiscard]] bool needsTick() const;
    [[nodiscard]] bool isTickResting() const { return m_tickResting; }
    // Polling has started: the read-times watch counts from now, so a
    // resting tick starts at once instead of with the first query.
    void pollingStarted() { wakeTick(); }
    void ConsumeTask();
    int ConsumeQueryTask();
    int ConsumeCmdTask();
    void TaskAck() { IsWaitingAck = false; }
    void SetupTimeoutTask(QObject *xObj, const QString &xCallName);
    void ResetTimeoutTask();
    void TimeoutTask();
    void ResetAll();

    // Reply store.
    void RspPush(const QString &data) { m_rsp.RspPush(data); }
    QString RspPop() { return m_rsp.RspPop(); }
    void ResetRspArray() { m_rsp.ResetRspArray(); }
    void RspTask(const QString &data);
    [[nodiscard]] int RspCount() const { return m_rsp.RspCount(); }
    // A freshly opened link starts with no characters of the one before: an
    // unended line there (a reset keeps it) would be glued to the next reply.
    void linkOpened()
    {
        m_rsp.discardPartialLine();
        m_linkLostCause.clear();
        m_linkGivenUp = false;
    }
    // The link is out of use until the next one opens: whatever a window
    // still queues (a dialog confirmed after the loss was reported) goes to
    // the trace, never to a closed port and its error box.
    void linkGivenUp() { m_linkGivenUp = true; }
    [[nodiscard]] bool isLinkGivenUp() const { return m_linkGivenUp; }
    // Why the link was given up, for the time-out routine: the port or the
    // GPIB backend's own words. Empty for a plain 20-second time-out.
    [[nodiscard]] QString linkLostCause() const { return m_linkLostCause; }
    // How long a reply may take before the time-out routine runs.
    void setResponseTimeoutSec(double seconds) { m_responseTimeoutSec = seconds; }
    [[nodiscard]] double responseTimeoutSec() const { return m_responseTimeoutSec; }

    // Ring inspection (read-only), for the dialogs and tests.
    [[nodiscard]] const TaskItem &queryTask(int slot) const { return QueryTasks.at(slot); }
    [[nodiscard]] const TaskItem &cmdTask(int slot) const { return CmdTasks.at(slot); }
    [[nodiscard]] int queryHead() const { return QueryHeadI; }
    [[nodiscard]] int queryTail() const { return QueryTailI; }
    [[nodiscard]] int cmdHead() const { return CmdHeadI; }
    [[nodiscard]] int cmdTail() const { return CmdTailI; }
    [[nodiscard]] int opMode() const { return OpMode; }
    [[nodiscard]] bool isWaitingAck() const { return IsWaitingAck; }
    [[nodiscard]] bool hasTimeoutReceiver() const { return !TimeoutObj.isNull(); }
    // Queries queued or awaiting their reply.
    [[nodiscard]] bool hasQueryWork() const { return QueryTaskCount > 0 || IsQueryPending; }
    // Counts every command accepted so far: a reply to a query sent before a
    // command may tell the state from before it.
    [[nodiscard]] quint64 commandsQueued() const { return m_commandsQueued; }

    // The serial port the shell opens and configures.
    QSerialPort MSComm1;
    // A raw TCP link (serial-over-LAN adapters, the virtual instrument's
    // --tcp), used when CommType is "TCP": lines as on the serial port.
    QTcpSocket MSTcp;
    QTimer WriterTimer;
    QTimer DevTimer;

    // Public engine state.
    qint16 QueryTaskCount = 0;
    qint16 CmdTaskCount = 0;
    bool IsQueryPending = false;
    bool IsCommandPending = false;
    bool IsRejectAnyTask = false;
    QString CommType;
    double RspTimeSec = 0;
    double MaxRspTimeSec = 0;
    double LastRspTimeSec = -1;
    qint16 QueryCmdCnt = 0;
    qint16 QueryCmdMaxMsec = 0;
    qint16 CurQueryCmdCnt = 0;
    qint16 CurQuerySpentMsec = 0;
    qint32 IsQueueLocked = 0;
    bool bGetSerialData = false;
    QString Text1; // last complete serial reply line

signals:
    // A complete serial reply line arrived (mirrors Text1).
    void text1Changed(const QString &text);
    // A query or command has ended (answered, written, or cancelled).
    void taskFinished();

private:
    enum class WriteResult { Written, Failed };

    void fillSlot(TaskItem &slot, const QString &xOutString, qint32 xRspType, QObject *xObj, const QString &xCallName,
                  qint32 xCallType, bool xIsNeedingAck);
    void deliver(TaskItem &task);
    WriteResult writeTask(const QString &text, bool isCommand);
    void dropStaleReplies(const TaskItem &task);
    WriteResult SerialWrite(const QString &text);
    void reportSerialError(const QString &description);
    void scheduleConsume();
    void restIfIdle();
    void wakeTick();
    void runScheduledConsume();
    void onSerialReadyRead();
    void onSerialError(QSerialPort::SerialPortError error);
    void onStreamReadyRead(QIODevice &stream);
    void onTcpClosed();
    void onGpibWriteComplete();
    void onGpibDataRead(const QByteArray &data);
    void onGpibError(const QString &description);
    void giveUpLink(const QString &cause);
    void onDevTimer();
    [[nodiscard]] double now() const;

    std::array<TaskItem, RingSize> QueryTasks{};
    std::array<TaskItem, RingSize> CmdTasks{};
    qint16 QueryHeadI = 0;
    qint16 QueryTailI = 0;
    qint16 CmdHeadI = 0;
    qint16 CmdTailI = 0;

    bool IsWaitingAck = false;
    qint16 OpMode = 0;
    qint16 CurTaskQueue = 0;
    QPointer<QObject> TimeoutObj;
    QString TimeoutCallName;
    qint64 QueryPassCount = 0;
    double QueryWriteErrTime = 0;

    ResponseRing m_rsp;
    ICommTaskerHost *m_host = nullptr;
    IWaitRspDialog *m_waitDialog = nullptr;
    QPointer<GpibDevice> m_gpib;

    // Bumped whenever the rings are emptied, so a pass that called out (a
    // delivery, a write) notices that its task slot no longer belongs to it.
    quint64 m_ringGeneration = 0;
    // Bumped on every task state change; the scheduled pass repeats while it moves.
    quint64 m_stepCount = 0;
    bool m_consumeScheduled = false;
    quint64 m_commandsQueued = 0;
    double m_responseTimeoutSec = ResponseTimeoutSec;
    // The engine stopped its own tick for want of work (a tick stopped from
    // outside, as tests do, stays stopped).
    bool m_tickResting = false;
    bool m_serialErrorShown = false;
    // Bumped by ResetAll: a write-error box queued before a reset belongs to
    // a link that was given up and reported already.
    quint64 m_resetCount = 0;
    QString m_linkLostCause;
    bool m_linkGivenUp = false;
};

// A line from a user or a script, sent as it stands: one ending in "?" is a
// query whose reply goes by name to `slot` of `receiver`, any other is a
// command. False when the engine refused it.
bool sendRawLine(CommTasker &engine, const QString &line, QObject *receiver, const QString &slot);
// Reads the instrument's error queue with `errorQuery` right after a user's
// or a script's command, the reply going to `slot` of `receiver`. A read of
// the queue that polling queued earlier is cancelled, so that the command's
// own error is reported here and polling never acts on it. False when the
// engine refused it.
bool readErrorsAfterCommand(CommTasker &engine, const QString &errorQuery, QObject *receiver, const QString &slot);
// What a time-out of such a query waits for: the engine's reply time-out and a second.
[[nodiscard]] int rawReplyLimitMs(const CommTasker &engine);

} // namespace qle
