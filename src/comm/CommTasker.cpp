#include "CommTasker.h"

#include "GpibDevice.h"
#include "platform/CallByName.h"
#include "platform/Clock.h"
#include "platform/Platform.h"
#include "platform/Trace.h"

#include <QEventLoop>

namespace qle {
namespace {

qint16 nextSlot(qint16 index)
{
    return static_cast<qint16>(index >= CommTasker::RingSize - 1 ? 0 : index + 1);
}

} // namespace

CommTasker::CommTasker(QObject *parent) : QObject(parent)
{
    WriterTimer.setInterval(WriterIntervalMsec);
    connect(&WriterTimer, &QTimer::timeout, this, [this] { DoWriterTimer(WriterTimer.interval()); });
    WriterTimer.start();

    DevTimer.setInterval(100);
    connect(&DevTimer, &QTimer::timeout, this, &CommTasker::onDevTimer);

    connect(&MSComm1, &QSerialPort::readyRead, this, &CommTasker::onSerialReadyRead);
    connect(&MSTcp, &QTcpSocket::readyRead, this, [this] { onStreamReadyRead(MSTcp); });
    connect(&MSTcp, &QTcpSocket::disconnected, this, &CommTasker::onTcpClosed);
    connect(&MSComm1, &QSerialPort::errorOccurred, this, &CommTasker::onSerialError);
}

CommTasker::~CommTasker()
{
    // A connected socket reports its closing while it is destroyed, after
    // members declared later are gone already.
    disconnect(&MSTcp, nullptr, this, nullptr);
    MSTcp.abort();
}

double CommTasker::now() const
{
    return platform::clock().monotonicSec();
}

// ---------------------------------------------------------------- queues

void CommTasker::fillSlot(TaskItem &slot, const QString &xOutString, qint32 xRspType, QObject *xObj,
                          const QString &xCallName, qint32 xCallType, bool xIsNeedingAck)
{
    slot.xOutString = xOutString;
    slot.xRspType = xRspType;
    slot.xObj = xObj;
    slot.xCallName = xCallName;
    slot.xCallType = xCallType;
    slot.xIsNeedingAck = xIsNeedingAck;
    slot.RspValue = QVariant();
    slot.State = TaskSetup;
    slot.IsCancelled = false;
}

bool CommTasker::ExecQueryTask(const QString &xOutString, qint32 xRspType, QObject *xObj, const QString &xCallName,
                               qint32 xCallType, bool xIsNeedingAck)
{
    if (isTraceOn())
        Trace("ExecQueryTask:" + QString::number(QueryTaskCount));
    if (IsRejectAnyTask)
        return false;
    if (m_linkGivenUp) {
        Trace("not sent, no link: " + xOutString);
        return false;
    }
    if (QueryTaskCount >= MaxQueuedTasks) {
        Trace("Q overflowed, just dropped:" + xOutString);
        return false;
    }
    if (isTraceOn())
        Trace("ExecQueryTask " + xOutString);
    fillSlot(QueryTasks[static_cast<std::size_t>(QueryHeadI)], xOutString, xRspType, xObj, xCallName, xCallType,
             xIsNeedingAck);
    QueryHeadI = nextSlot(QueryHeadI);
    ++QueryTaskCount;
    scheduleConsume();
    return true;
}

void CommTasker::ExecCmdTask(const QString &xOutString, qint32 xRspType, QObject *xObj, const QString &xCallName,
                             qint32 xCallType, bool /*xIsNeedingAck*/)
{
    if (IsRejectAnyTask)
        return;
    if (m_linkGivenUp) {
        Trace("not sent, no link: " + xOutString);
        return;
    }
    if (CmdTaskCount >= MaxQueuedTasks) {
        Trace("C overflowed, just dropped it:" + xOutString);
        return;
    }
    Trace("ExecCmdTask " + xOutString);
    // Commands never hold the engine for an acknowledgement.
    fillSlot(CmdTasks[static_cast<std::size_t>(CmdHeadI)], xOutString, xRspType, xObj, xCallName, xCallType, false);
    CmdHeadI = nextSlot(CmdHeadI);
    ++CmdTaskCount;
    ++m_commandsQueued;
    scheduleConsume();
}

qint16 CommTasker::ValidTaskArraySize(int Size, int HeadI, int TailI)
{
    return static_cast<qint16>(HeadI >= TailI ? HeadI - TailI : Size - TailI + HeadI);
}

void CommTasker::ResetTasks()
{
    QueryHeadI = QueryTailI = CmdHeadI = CmdTailI = 0;
    QueryTaskCount = CmdTaskCount = 0;
    m_rsp.ResetRspArray();
    CurTaskQueue = 0;
    ++m_ringGeneration;
}

void CommTasker::ResetQueryTasks()
{
    for (TaskItem &task : QueryTasks)
        task.IsCancelled = true;
}

void CommTasker::cancelQueuedQueries(const QString &line)
{
    qint16 slot = QueryTailI;
    for (int n = 0; n < QueryTaskCount; ++n, slot = nextSlot(slot)) {
        TaskItem &task = QueryTasks[static_cast<std::size_t>(slot)];
        if (task.State == TaskSetup && task.xOutString == line)
            task.IsCancelled = true;
    }
}

bool CommTasker::ClearAllTasks()
{
    // A link that refuses every task (testing mode, no instrument) keeps
    // refusing afterwards.
    const bool wasRejecting = IsRejectAnyTask;
    IsRejectAnyTask = true;
    bool answer = true;
    if (m_waitDialog) {
        answer = m_waitDialog->Execute();
    } else {
        // No dialog installed: wait the same way, without showing anything.
        QEventLoop loop;
        QTimer check;
        check.setInterval(100);
        connect(&check, &QTimer::timeout, &loop, [&] {
            DoWriterTimer(100);
            if (!IsQueryPending && !IsCommandPending)
                loop.quit();
        });
        if (IsQueryPending || IsCommandPending) {
            check.start();
            loop.exec();
        }
    }
    if (answer) {
        QueryHeadI = QueryTailI = CmdHeadI = CmdTailI = 0;
        QueryTaskCount = CmdTaskCount = 0;
        m_rsp.ResetRspArray();
        ++m_ringGeneration;
    }
    IsRejectAnyTask = wasRejecting;
    return answer;
}

// ---------------------------------------------------------------- consumer

void CommTasker::DoWriterTimer(int IntervalMsec)
{
    if (LastRspTimeSec < 0)
        LastRspTimeSec = now();

    ConsumeTask();

    if (IsQueryPending || IsCommandPending) {
        RspTimeSec = now() - LastRspTimeSec;
        if (RspTimeSec > MaxRspTimeSec)
            MaxRspTimeSec = RspTimeSec;
        if (RspTimeSec > m_responseTimeoutSec)
            TimeoutTask();
    } else {
        LastRspTimeSec = now();
    }

    if (!m_host || !m_host->isQueryTimerEnabled()) {
        CurQueryCmdCnt = 0;
        CurQuerySpentMsec = 0;
        restIfIdle();
        return;
    }
    if (CurQueryCmdCnt < QueryCmdCnt) {
        CurQuerySpentMsec = static_cast<qint16>(CurQuerySpentMsec + IntervalMsec);
    } else {
        CurQueryCmdCnt = 0;
        CurQuerySpentMsec = 0;
    }
    if (QueryCmdMaxMsec < 1) {
        CurQuerySpentMsec = 0;
    } else if (CurQuerySpentMsec > QueryCmdMaxMsec) {
        m_host->ReportStatus("Read Times Failed!", 2000);
        CurQuerySpentMsec = 0;
    }
    restIfIdle();
}

bool CommTasker::needsTick() const
{
    if (QueryTaskCount > 0 || CmdTaskCount > 0 || IsQueryPending || IsCommandPending || IsWaitingAck || OpMode != 0)
        return true;
    // The read-times watch counts ticks while a polling cycle is timed.
    if (m_host && m_host->isQueryTimerEnabled() && QueryCmdCnt > 0)
        return true;
    // Every pass of the tick is traced.
    return isTraceOn();
}

void CommTasker::restIfIdle()
{
    if (WriterTimer.isActive() && !needsTick()) {
        WriterTimer.stop();
        m_tickResting = true;
    }
}

void CommTasker::wakeTick()
{
    if (!m_tickResting)
        return;
    m_tickResting = false;
    // What the resting ticks would have done: nothing was pending.
    LastRspTimeSec = now();
    WriterTimer.start();
}

void CommTasker::ConsumeTask()
{
    ConsumeCmdTask();
    ConsumeQueryTask();
}

int CommTasker::ConsumeQueryTask()
{
    const qint64 n = QueryPassCount++;
    // Built only when traced: the ring is visited every 10 ms.
    const QString passEnd = isTraceOn() ? "Q-" + QString::number(n) : QString();
    int result = 0;
    if (IsWaitingAck || IsCommandPending || IsQueueLocked != 0)
        return 0;
    IsQueueLocked = 1;
    if (QueryHeadI == QueryTailI) {
        IsQueueLocked -= 1;
        Trace(passEnd);
        return 0;
    }

    const quint64 generation = m_ringGeneration;
    TaskItem &task = QueryTasks[static_cast<std::size_t>(QueryTailI)];
    bool progress = true;
    while (progress) {
        progress = false;
        const qint32 before = task.State;
        switch (task.State) {
        case TaskSetup:
            Trace("Q setup");
            if (task.IsCancelled) {
                task.State = TaskFinished;
                progress = true;
            } else {
                task.State = TaskWaitWrite;
                progress = task.xRspType == 0;
            }
            break;
        case TaskWaitWrite:
            Trace("Q waitwrite");
            if (task.IsCancelled) {
                task.State = TaskFinished;
                progress = true;
                break;
            }
            if (OpMode > 0) {
                Trace("OpMode " + QString::number(OpMode));
            }
            if (OpMode > 0 || (QueryWriteErrTime > 0 && now() - QueryWriteErrTime < 2.0)) {
                IsQueueLocked -= 1;
                Trace("QueryWaitWriteErrorWait");
                return 0;
            }
            IsQueryPending = true;
            CurTaskQueue = 0;
            QueryWriteErrTime = 0;
            dropStaleReplies(task);
            if (writeTask(task.xOutString, false) == WriteResult::Failed) {
                QueryWriteErrTime = now();
                IsQueueLocked -= 1;
                Trace("QueryWaitWrite Error");
                Trace(passEnd);
                return 0;
            }
            if (generation != m_ringGeneration) {
                IsQueueLocked -= 1;
                return 0;
            }
            task.State = TaskWaitRsp;
            progress = true;
            break;
        case TaskWaitRsp:
            Trace("Q waitrsp");
            if (task.xRspType == 0) {
                task.State = TaskFinished;
                progress = true;
            } else if (m_rsp.RspCount() > 0) {
                const QString reply = m_rsp.RspPop();
                task.RspValue = reply;
                if (isTraceOn())
                    Trace("query paired:'" + task.xOutString + "' '" + reply + "'");
                if (task.IsCancelled)
                    Trace("query paired but cancelled");
                task.State = TaskWaitCall;
                progress = true;
            }
            break;
        case TaskWaitCall:
            Trace("Q waitcall");
            if (!task.IsCancelled) {
                deliver(task);
                if (generation != m_ringGeneration) {
                    // The rings were emptied while the receiver ran.
                    IsQueueLocked -= 1;
                    return 0;
                }
                Trace("Q x called");
            }
            task.State = TaskFinished;
            progress = true;
            break;
        case TaskFinished:
            Trace("Q finished");
            result = 1;
            if (task.IsCancelled)
                m_rsp.ResetRspArray();
            IsQueryPending = false;
            IsWaitingAck = task.xIsNeedingAck;
            if (CurQueryCmdCnt < QueryCmdCnt)
                ++CurQueryCmdCnt;
            QueryTailI = nextSlot(QueryTailI);
            QueryTaskCount = ValidTaskArraySize(RingSize, QueryHeadI, QueryTailI);
            emit taskFinished();
            break;
        default:
            // A state no step knows: finish the task rather than hang the ring.
            task.State = TaskFinished;
            progress = true;
            break;
        }
        if (task.State != before || result)
            ++m_stepCount;
        if (result)
            break;
    }
    IsQueueLocked -= 1;
    Trace(passEnd);
    return result;
}

int CommTasker::ConsumeCmdTask()
{
    int result = 0;
    if (IsWaitingAck || IsQueryPending || IsQueueLocked != 0)
        return 0;
    IsQueueLocked = 1;
    Trace("C+");
    if (CmdHeadI == CmdTailI) {
        IsQueueLocked -= 1;
        Trace("C-");
        return 0;
    }

    const quint64 generation = m_ringGeneration;
    TaskItem &task = CmdTasks[static_cast<std::size_t>(CmdTailI)];
    bool progress = true;
    while (progress) {
        progress = false;
        const qint32 before = task.State;
        switch (task.State) {
        case TaskSetup:
            Trace("C Setup");
            if (task.IsCancelled) {
                task.State = TaskFinished;
                progress = true;
            } else {
                task.State = TaskWaitWrite;
                progress = task.xRspType == 0;
            }
            break;
        case TaskWaitWrite:
            Trace("C setup");
            if (task.IsCancelled) {
                task.State = TaskFinished;
                progress = true;
                break;
            }
            if (OpMode > 0) {
                Trace("C OpMode " + QString::number(OpMode));
                IsQueueLocked -= 1;
                Trace("C-");
                Trace("CmdWaitWriteErrorWait");
                return 0;
            }
            IsCommandPending = true;
            CurTaskQueue = 1;
            Trace("C WaitWrite");
            Trace(task.xOutString);
            dropStaleReplies(task);
            if (writeTask(task.xOutString, true) == WriteResult::Failed) {
                Trace("CmdWaitWriteRetry");
                Trace("C-");
                IsQueueLocked -= 1;
                return 0;
            }
            if (generation != m_ringGeneration) {
                IsQueueLocked -= 1;
                return 0;
            }
            task.State = TaskWaitRsp;
            progress = true;
            break;
        case TaskWaitRsp:
            if (task.xRspType == 0) {
                task.State = TaskFinished;
                progress = true;
            } else if (m_rsp.RspCount() > 0) {
                const QString reply = m_rsp.RspPop();
                task.RspValue = reply;
                Trace("command paired:'" + task.xOutString + "' '" + reply + "'");
                if (task.IsCancelled)
                    Trace("cmd paired but cancelled");
                task.State = TaskWaitCall;
                progress = true;
            }
            break;
        case TaskWaitCall:
            if (!task.IsCancelled) {
                deliver(task);
                if (generation != m_ringGeneration) {
                    IsQueueLocked -= 1;
                    return 0;
                }
            }
            task.State = TaskFinished;
            progress = true;
            break;
        case TaskFinished:
            result = 1;
            IsWaitingAck = task.xIsNeedingAck;
            CmdTailI = nextSlot(CmdTailI);
            CmdTaskCount = ValidTaskArraySize(RingSize, CmdHeadI, CmdTailI);
            IsCommandPending = false;
            emit taskFinished();
            break;
        default:
            task.State = TaskFinished;
            progress = true;
            break;
        }
        if (task.State != before || result)
            ++m_stepCount;
        if (result)
            break;
    }
    IsQueueLocked -= 1;
    Trace("C-");
    return result;
}

void CommTasker::deliver(TaskItem &task)
{
    // Copy what the call needs: the receiver may queue tasks or run a dialog.
    const QPointer<QObject> receiver = task.xObj;
    const QString name = task.xCallName;
    const qint32 kind = task.xCallType;
    const QString reply = task.RspValue.toString();
    callByName(receiver.data(), name, kind, reply);
}

void CommTasker::SetupTimeoutTask(QObject *xObj, const QString &xCallName)
{
    TimeoutObj = xObj;
    TimeoutCallName = xCallName;
}

void CommTasker::ResetTimeoutTask()
{
    TimeoutObj = nullptr;
    TimeoutCallName.clear();
}

void CommTasker::TimeoutTask()
{
    IsQueryPending = false;
    IsCommandPending = false;
    // Take the registration first: the routine may register another one.
    const QPointer<QObject> receiver = TimeoutObj;
    const QString name = TimeoutCallName;
    if (receiver)
        callByName(receiver.data(), name);
    m_linkLostCause.clear();
    ResetAll();
}

// Lines that came in before a question was asked cannot be its answer: a
// line nobody asked for, or the late reply of a query that timed out. Kept,
// each would be paired with the next question and every reply after it with
// the question after its own, until the next reset.
void CommTasker::dropStaleReplies(const TaskItem &task)
{
    if (task.xRspType == 0 || m_rsp.RspCount() == 0)
        return;
    Trace("stale reply dropped before '" + task.xOutString + "': " + QString::number(m_rsp.RspCount()));
    m_rsp.ResetRspArray();
}

void CommTasker::ResetAll()
{
    ResetTasks();
    if (m_gpib)
        m_gpib->reset();
    ResetTimeoutTask();
    OpMode = 0;
    IsQueryPending = false;
    IsCommandPending = false;
    IsWaitingAck = false;
    IsRejectAnyTask = false;
    LastRspTimeSec = -1;
    MaxRspTimeSec = 0;
    CurQueryCmdCnt = 0;
    CurQuerySpentMsec = 0;
    m_serialErrorShown = false;
    ++m_resetCount;
}

// A pass runs soon after new work or a new reply line, instead of waiting for
// the next tick; it repeats while it moves a task along.
void CommTasker::scheduleConsume()
{
    wakeTick();
    if (m_consumeScheduled)
        return;
    m_consumeScheduled = true;
    QMetaObject::invokeMethod(this, &CommTasker::runScheduledConsume, Qt::QueuedConnection);
}

void CommTasker::runScheduledConsume()
{
    m_consumeScheduled = false;
    const quint64 before = m_stepCount;
    ConsumeTask();
    if (m_stepCount != before)
        scheduleConsume();
}

void CommTasker::onDevTimer()
{
    DevTimer.stop();
    if (m_host)
        m_host->DevSetupMachineType2();
}

bool sendRawLine(CommTasker &engine, const QString &line, QObject *receiver, const QString &slot)
{
    if (line.endsWith(u'?'))
        return engine.ExecQueryTask(line, 5, receiver, slot, 1, false);
    const quint64 before = engine.commandsQueued();
    engine.ExecCmdTask(line, 0, receiver, QString(), 1, false);
    return engine.commandsQueued() != before;
}

bool readErrorsAfterCommand(CommTasker &engine, const QString &errorQuery, QObject *receiver, const QString &slot)
{
    engine.cancelQueuedQueries(errorQuery);
    return engine.ExecQueryTask(errorQuery, 5, receiver, slot, 1, false);
}

int rawReplyLimitMs(const CommTasker &engine)
{
    return static_cast<int>(engine.responseTimeoutSec() * 1000) + 1000;
}

} // namespace qle
