#pragma once

#include <QString>
#include <QVariant>

class QObject;

namespace qle {

// Delivery kinds of a call by name.
enum CallType : int {
    CallMethod = 1,      // call the routine with the text as its only argument
    CallSetProperty = 4, // assign the text to the property
};

// Resolves `name` on `receiver` when called. A missing receiver or name is
// traced and dropped; the result tells whether the call was made.
bool callByName(QObject *receiver, const QString &name, int callType, const QString &argument);

// Calls a routine taking no argument.
bool callByName(QObject *receiver, const QString &name);

} // namespace qle
