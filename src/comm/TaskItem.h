#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>

namespace qle {

// Task states of the consumer.
enum TaskState : qint32 {
    TaskSetup = 0,
    TaskWaitWrite = 1,
    TaskWaitRsp = 2,
    TaskWaitCall = 3,
    TaskFinished = 4,
};

// One queued query or set command.
struct TaskItem {
    QString xOutString;     // line sent to the instrument, without terminator
    qint32 xRspType = 0;    // 0: no reply; anything else: one reply line
    QPointer<QObject> xObj; // receiver of the reply; a closed window is never touched
    QString xCallName;      // routine or property that receives the reply
    qint32 xCallType = 1;   // 1: call routine, 4: assign property
    QVariant RspValue;      // reply paired with the task; null when queued
    qint32 State = TaskSetup;
    bool IsCancelled = false;
    bool xIsNeedingAck = false;
};

} // namespace qle
