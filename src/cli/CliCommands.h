#pragma once

#include "InstrumentSession.h"
#include "protocol/CatalogueRow.h"

#include <QList>
#include <QStringList>
#include <QTextStream>

namespace qle::cli {

// Exit statuses of qle-cli.
enum Exit : int { Done = 0, Usage = 2, LinkError = 3, FileError = 4 };

// A failure with its exit status and the one line that names the cause.
struct Failure {
    Exit status = Done;
    QString message;
};

// The instrument as identified: *IDN? fields and its catalogue row.
struct Identity {
    QString maker;
    QString model;
    QString serial;
    QString firmware;
    int layout = 0;
    int channels = 0;
};

// What a command works with: the open session, the catalogue, and where its
// output goes.
struct Context {
    InstrumentSession &session;
    QList<CatalogueRow> catalogue;
    QTextStream &out;
};

// Identifies the instrument and loads its command family; a model the
// catalogue lacks fails with LinkError ("unknown model").
bool identify(Context &context, Identity *identity, Failure *failure);

bool runIdentify(Context &context, Failure *failure);
bool runRead(Context &context, bool json, Failure *failure);
bool runSet(Context &context, const QStringList &arguments, Failure *failure);
bool runSend(Context &context, const QString &line, Failure *failure);

} // namespace qle::cli
