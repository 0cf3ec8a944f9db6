#pragma once

#include "InstrumentSession.h"
#include "protocol/CatalogueRow.h"

#include <QList>
#include <QStringList>
#include <QTextStream>

#include <optional>

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

// One channel's readings and settings as the instrument sent them, units
// stripped.
struct ChannelReading {
    QString volts, amps, setVolts, setAmps, ovp;
};

// What read shows: every channel, the output and the coupling.
struct InstrumentState {
    QList<ChannelReading> channels;
    std::optional<bool> output;
    std::optional<Coupling> coupling;
};

bool readState(Context &context, const Identity &id, InstrumentState *state, Failure *failure);
// Hands the set values, output and coupling read to the model, as polling
// would.
void noteSettings(Instrument &model, const InstrumentState &state);

bool runIdentify(Context &context, Failure *failure);
bool runRead(Context &context, bool json, Failure *failure);
bool runSet(Context &context, const QStringList &arguments, Failure *failure);
bool runSend(Context &context, const QString &line, Failure *failure);

} // namespace qle::cli
