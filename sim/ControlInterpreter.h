#pragma once

#include <QByteArray>
#include <QMap>
#include <QStringList>

namespace psusim {

class FaultInjector;
class Instrument;

// The operator's side door: front-panel changes, loads, forced trips and
// faults, one text command per line, answered "ok" or "error: ...".
class ControlInterpreter {
public:
    // instruments by GPIB address (a lone instrument on a serial line or TCP
    // sits at any address); the first is selected.
    ControlInterpreter(QMap<int, Instrument *> instruments, FaultInjector &faults);

    struct Result {
        QByteArray reply;
        bool quit = false;
    };
    Result execute(const QByteArray &line);

    static QString help();

private:
    QByteArray load(const QStringList &args);
    QByteArray trip(const QStringList &args);
    QByteArray set(const QStringList &args);
    QByteArray output(const QStringList &args);
    QByteArray coupling(const QStringList &args);
    QByteArray fault(const QString &rest);
    QByteArray model(const QStringList &args);
    QByteArray select(const QStringList &args);
    Instrument &current();

    QMap<int, Instrument *> m_instruments;
    FaultInjector &m_faults;
    int m_selected;
};

} // namespace psusim
