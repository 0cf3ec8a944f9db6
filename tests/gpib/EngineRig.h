#pragma once

#include "comm/CommTasker.h"
#include "Receiver.h"

#include <QStringList>

namespace qle::testing {

// A real engine driving one GPIB device, as the main window installs it,
// with a receiver for the replies and one registered for the time-out.
struct EngineRig {
    explicit EngineRig(GpibDevice &device)
    {
        engine.CommType = "GPIB";
        engine.setGpibDevice(&device);
        engine.SetupTimeoutTask(&timeouts, "OnTimeout");
    }

    void query(const QString &text) { engine.ExecQueryTask(text, 5, &replies, "TakeReply", 1, false); }
    void command(const QString &text) { engine.ExecCmdTask(text, 0, &engine, "", 1, false); }

    [[nodiscard]] bool idle() const
    {
        return engine.QueryTaskCount == 0 && engine.CmdTaskCount == 0 && engine.opMode() == 0 &&
               !engine.IsQueryPending && !engine.IsCommandPending;
    }
    [[nodiscard]] bool ringsEmpty() const { return idle() && engine.RspCount() == 0; }

    CommTasker engine;
    Receiver replies;
    Receiver timeouts;
};

// The engine's GPIB notices among the trace lines, in order.
inline QStringList gpibNotices(const QStringList &trace)
{
    QStringList notices;
    for (const QString &line : trace)
        if (line == QLatin1String("GPIB WriteComplete") || line == QLatin1String("GPIB ReadAsync") ||
            line == QLatin1String("GPIB DataRead"))
            notices.append(line);
    return notices;
}

// What the engine traces for one query and for one command without reply.
inline const QStringList QueryNotices{"GPIB WriteComplete", "GPIB ReadAsync", "GPIB DataRead"};
inline const QStringList CommandNotices{"GPIB WriteComplete"};

} // namespace qle::testing

#include <QTest>

namespace qle::testing {

// One exchange of a session: a query and the reply it must get, or a set
// command without reply.
struct Step {
    QString text;
    QString reply;
    bool isQuery = true;
};

inline Step setCommand(const QString &text)
{
    return {text, QString(), false};
}

// Runs the steps one after another through the engine and checks each reply
// and the engine's notices of each exchange.
inline void runSession(EngineRig &rig, const QStringList &trace, const QList<Step> &steps)
{
    const int timeoutsBefore = rig.timeouts.timeouts;
    for (const Step &step : steps) {
        const qsizetype firstNotice = gpibNotices(trace).size();
        const qsizetype repliesBefore = rig.replies.calls.size();
        if (step.isQuery) {
            rig.query(step.text);
            QTRY_COMPARE(rig.replies.calls.size(), repliesBefore + 1);
            QCOMPARE(rig.replies.calls.last(), step.reply);
        } else {
            rig.command(step.text);
        }
        QTRY_VERIFY(rig.idle());
        QCOMPARE(gpibNotices(trace).mid(firstNotice), step.isQuery ? QueryNotices : CommandNotices);
    }
    QCOMPARE(rig.timeouts.timeouts, timeoutsBefore);
}

// The three-output supply: identification, set points, protection level,
// output state and a measurement.
inline QList<Step> threeOutputSession()
{
    return {
        {"*IDN?", "QV Instruments,KMA-3303T,SN000123,1.0"},
        setCommand(":CHAN1:VOLT 12.5"),
        {":CHAN1:VOLT?", "12.500"},
        setCommand(":CHAN3:CURR 1.25"),
        {":CHAN3:CURR?", "1.250"},
        {":CHAN2:PROT:VOLT?", "33.000"},
        {":OUTP:STAT?", "0"},
        {":CHAN1:MEAS:VOLT?", "0.000"},
    };
}

} // namespace qle::testing
