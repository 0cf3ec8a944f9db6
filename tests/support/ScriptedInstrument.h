#pragma once

#include "PtyPair.h"

#include <QMap>
#include <QStringList>

namespace qle::testing {

// An instrument on the master side of a pseudo-terminal that answers queries
// from a table (unknown queries get "0") and records every line it received.
class ScriptedInstrument final : public QObject {
    Q_OBJECT
public:
    ScriptedInstrument();

    [[nodiscard]] QString path() const { return m_pty.slavePath(); }
    [[nodiscard]] bool isValid() const { return m_pty.isValid(); }
    void send(const QByteArray &data) { m_pty.write(data); }
    void unplug() { m_pty.closeMaster(); }

    QMap<QString, QString> replies;
    QStringList received;
    bool silent = false; // receives but never answers

private:
    void onData();

    PtyPair m_pty;
    QByteArray m_pending;
};

} // namespace qle::testing
