#include "CallByName.h"

#include "Trace.h"

#include <QMetaMethod>
#include <QMetaObject>
#include <QObject>

namespace qle {
namespace {

int findMethod(const QMetaObject *meta, const QByteArray &signature)
{
    return meta->indexOfMethod(QMetaObject::normalizedSignature(signature.constData()).constData());
}

bool invokeWithText(QObject *receiver, const QString &name, const QString &argument)
{
    const QMetaObject *meta = receiver->metaObject();
    const QByteArray utf8 = name.toUtf8();
    int index = findMethod(meta, utf8 + "(QString)");
    if (index >= 0)
        return meta->method(index).invoke(receiver, Qt::DirectConnection, Q_ARG(QString, argument));
    index = findMethod(meta, utf8 + "(QVariant)");
    if (index >= 0)
        return meta->method(index).invoke(receiver, Qt::DirectConnection, Q_ARG(QVariant, QVariant(argument)));
    Trace("call by name: no routine '" + name + "' on " + QString::fromLatin1(meta->className()));
    return false;
}

bool assignProperty(QObject *receiver, const QString &name, const QString &value)
{
    const QMetaObject *meta = receiver->metaObject();
    const QByteArray utf8 = name.toUtf8();
    if (meta->indexOfProperty(utf8.constData()) < 0) {
        Trace("call by name: no property '" + name + "' on " + QString::fromLatin1(meta->className()));
        return false;
    }
    return receiver->setProperty(utf8.constData(), value);
}

} // namespace

bool callByName(QObject *receiver, const QString &name, int callType, const QString &argument)
{
    if (!receiver) {
        Trace("call by name: receiver is gone, '" + name + "' dropped");
        return false;
    }
    switch (callType) {
    case CallMethod:
        return invokeWithText(receiver, name, argument);
    case CallSetProperty:
        return assignProperty(receiver, name, argument);
    default:
        Trace("call by name: unknown call kind " + QString::number(callType));
        return false;
    }
}

bool callByName(QObject *receiver, const QString &name)
{
    if (!receiver) {
        Trace("call by name: receiver is gone, '" + name + "' dropped");
        return false;
    }
    const QMetaObject *meta = receiver->metaObject();
    const int index = findMethod(meta, name.toUtf8() + "()");
    if (index < 0) {
        Trace("call by name: no routine '" + name + "' on " + QString::fromLatin1(meta->className()));
        return false;
    }
    return meta->method(index).invoke(receiver, Qt::DirectConnection);
}

} // namespace qle
