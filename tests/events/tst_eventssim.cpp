#include "MemorySettings.h"
#include "protocol/ReplyReaders.h"
#include "recording/events/EnergyCounter.h"
#include "recording/events/EventRecorder.h"
#include "recording/events/LimitWatcher.h"
#include "ShippedCatalogue.h"
#include "SimProcess.h"

#include <QTest>
#include <QTimer>

using namespace qle;
using namespace qle::testing;

namespace {

using Kind = RecordEvent::Kind;
using Source = RecordEvent::Source;

QList<RecordEvent> ofKind(const QList<RecordEvent> &events, Kind kind)
{
    QList<RecordEvent> found;
    for (const RecordEvent &event : events) {
        if (event.kind == kind)
            found << event;
    }
    return found;
}

} // namespace

// Events and totals of an Instrument on the virtual instrument, over TCP.
class TestEventsSim : public QObject {
    Q_OBJECT

private:
    MemorySettings settings;

    static Outcome wait(const std::function<void(OutcomeHandler)> &operation)
    {
        std::optional<Outcome> outcome;
        operation([&](const Outcome &o) { outcome = o; });
        if (!QTest::qWaitFor([&] { return outcome.has_value(); }, 30000))
            return {Outcome::Kind::Refused, "<no outcome>"};
        return *outcome;
    }

    void openOn(Instrument &instrument, const SimProcess &sim)
    {
        LinkOptions link;
        link.kind = LinkOptions::Kind::Tcp;
        link.host = sim.link().section(u':', 0, 0);
        link.tcpPort = static_cast<quint16>(sim.link().section(u':', 1).toUInt());
        std::optional<QString> opened;
        instrument.open(link, settings, [&](const QString &error) { opened = error; });
        QTRY_VERIFY_WITH_TIMEOUT(opened.has_value(), 10000);
        QCOMPARE(*opened, QString());
        const Outcome identified = wait([&](OutcomeHandler done) { instrument.identify(catalogueLookup(), done); });
        QVERIFY2(identified.done(), qPrintable(identified.text));
    }

    static void set(Instrument &instrument, ChannelSetting setting, double value)
    {
        const Outcome outcome =
            wait([&](OutcomeHandler done) { instrument.setChannel(0, setting, value, ChangeSource::Script, done); });
        QVERIFY2(outcome.done(), qPrintable(outcome.text));
    }

    // Reads the output state as polling does and tells the model.
    static void pollOutput(Instrument &instrument)
    {
        const Outcome reply = wait([&](OutcomeHandler done) {
            instrument.sendLine(instrument.commands().query(query::OutputState), ChangeSource::Instrument, done);
        });
        QVERIFY2(reply.done(), qPrintable(reply.text));
        const std::optional<bool> on = ReadSwitchState(reply.text);
        QVERIFY2(on.has_value(), qPrintable(reply.text));
        instrument.noteOutput(*on, ChangeSource::Instrument);
    }

    // Measures channel 1 every `periodMs` until `enough` holds.
    static bool measureUntil(Instrument &instrument, int periodMs, const std::function<bool()> &enough, int timeoutMs)
    {
        bool busy = false;
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [&] {
            if (busy)
                return;
            busy = true;
            instrument.measure(0, [&](const Outcome &) { busy = false; });
        });
        timer.start(periodMs);
        const bool reached = QTest::qWaitFor(enough, timeoutMs);
        timer.stop();
        // The last measurement's outcome, before its handler goes out of scope.
        return QTest::qWaitFor([&] { return !busy; }, 5000) && reached;
    }

private slots:
    void knownLoadGivesChargeAndEnergy()
    {
        SimProcess sim;
        QVERIFY(sim.start({"--model", "KMB-6001", "--tcp", "0"}));
        QVERIFY(sim.control("load 1 10"));
        Instrument instrument;
        openOn(instrument, sim);
        set(instrument, ChannelSetting::Voltage, 5);
        set(instrument, ChannelSetting::Current, 1);
        QVERIFY(wait([&](OutcomeHandler done) { instrument.setOutput(true, ChangeSource::Script, done); }).done());

        EnergyCounter counter;
        counter.attach(&instrument);
        EventRecorder recorder;
        recorder.attach(&instrument);
        recorder.start(Source::Script);
        counter.start();

        // About five seconds of readings, by their own times.
        QVERIFY(measureUntil(
            instrument, 100, [&] { return counter.channel(0).countedMs >= 5000; }, 30000));
        counter.stop();
        const EnergyCounter::Channel totals = counter.channel(0);
        const double hours = static_cast<double>(totals.countedMs) / 3.6e6;
        QCOMPARE(totals.segments, 1);
        QVERIFY2(qAbs(totals.chargeAh - 0.5 * hours) <= 0.01 * 0.5 * hours,
                 qPrintable(QString::number(totals.chargeAh / hours)));
        QVERIFY2(qAbs(totals.energyWh - 2.5 * hours) <= 0.01 * 2.5 * hours,
                 qPrintable(QString::number(totals.energyWh / hours)));
        QVERIFY(counter.powerW(0));
        QVERIFY2(qAbs(*counter.powerW(0) - 2.5) <= 0.025, qPrintable(QString::number(*counter.powerW(0))));

        // 0.5 A of 1 A: constant voltage, put down once.
        QList<RecordEvent> modes = ofKind(recorder.events(), Kind::ConstantVoltage);
        QCOMPARE(modes.size(), 1);
        QCOMPARE(modes.first().source, Source::Instrument);
        QVERIFY(ofKind(recorder.events(), Kind::ConstantCurrent).isEmpty());

        // A script's new values, each with the one before.
        set(instrument, ChannelSetting::Voltage, 6);
        set(instrument, ChannelSetting::Current, 0.3);
        const QList<RecordEvent> sets = ofKind(recorder.events(), Kind::SetValue);
        QCOMPARE(sets.size(), 2);
        QCOMPARE(sets.at(0).text, QString("CH1 voltage 5 → 6 V"));
        QCOMPARE(sets.at(0).source, Source::Script);
        QCOMPARE(sets.at(0).channel, 0);
        QCOMPARE(sets.at(1).text, QString("CH1 current 1 → 0.3 A"));

        // 6 V on 10 Ω wants 0.6 A: held at 0.3 A, constant current.
        QVERIFY(measureUntil(
            instrument, 100, [&] { return !ofKind(recorder.events(), Kind::ConstantCurrent).isEmpty(); }, 10000));
        QCOMPARE(ofKind(recorder.events(), Kind::ConstantCurrent).first().channel, 0);
        recorder.stop(Source::Script);
        QCOMPARE(recorder.events().first().kind, Kind::RecordingStart);
        QCOMPARE(recorder.events().last().kind, Kind::RecordingStop);
    }

    void protectionTripIsAnOutputOffByTheInstrument()
    {
        SimProcess sim;
        QVERIFY(sim.start({"--model", "KMB-6001", "--tcp", "0", "--no-noise"}));
        QVERIFY(sim.control("load 1 10"));
        Instrument instrument;
        openOn(instrument, sim);
        set(instrument, ChannelSetting::Voltage, 5);
        QVERIFY(wait([&](OutcomeHandler done) { instrument.setOutput(true, ChangeSource::User, done); }).done());

        EventRecorder recorder;
        recorder.attach(&instrument);
        recorder.start();
        pollOutput(instrument);
        QCOMPARE(recorder.events().size(), 1);

        QVERIFY(sim.control("trip ovp 1"));
        pollOutput(instrument);
        QCOMPARE(instrument.output(), std::optional(false));
        const QList<RecordEvent> off = ofKind(recorder.events(), Kind::OutputOffByInstrument);
        QCOMPARE(off.size(), 1);
        QCOMPARE(off.first().source, Source::Instrument);
        QVERIFY(ofKind(recorder.events(), Kind::OutputOff).isEmpty());
        // Seen off again: nothing new.
        pollOutput(instrument);
        QCOMPARE(recorder.events().size(), 2);
    }

    void limitSwitchesTheOutputOff()
    {
        SimProcess sim;
        QVERIFY(sim.start({"--model", "KMB-6001", "--tcp", "0", "--no-noise"}));
        QVERIFY(sim.control("load 1 10"));
        Instrument instrument;
        openOn(instrument, sim);
        set(instrument, ChannelSetting::Voltage, 5);
        set(instrument, ChannelSetting::Current, 1);
        QVERIFY(wait([&](OutcomeHandler done) { instrument.setOutput(true, ChangeSource::User, done); }).done());

        EventRecorder recorder;
        recorder.attach(&instrument);
        recorder.start();
        LimitWatcher watcher;
        watcher.attach(&instrument);
        watcher.setRecorder(&recorder);
        ChannelLimits limits;
        limits[LimitKind::CurrentHigh] = Limit{0.4, LimitAction::OutputOff};
        watcher.setLimits(0, limits);
        int breaches = 0;
        connect(&watcher, &LimitWatcher::breached, this, [&](int, LimitKind kind, LimitAction action) {
            QCOMPARE(kind, LimitKind::CurrentHigh);
            QCOMPARE(action, LimitAction::OutputOff);
            ++breaches;
        });

        const qsizetype sent = sim.received().size();
        QVERIFY(wait([&](OutcomeHandler done) { instrument.measure(0, done); }).done());
        QCOMPARE(breaches, 1);
        // The watcher switched the output off itself.
        QTRY_COMPARE(instrument.output(), std::optional(false));
        QTRY_VERIFY(!sim.received().mid(sent).filter(OutputCommand(instrument.family(), false)).isEmpty());
        pollOutput(instrument);
        QCOMPARE(kinds(recorder.events()), (QList<Kind>{Kind::RecordingStart, Kind::LimitBreach, Kind::OutputOff}));
        QCOMPARE(recorder.events().at(2).source, Source::Program);
        QVERIFY2(recorder.events().at(1).text.startsWith("CH1 current 0.5 A above 0.4 A"),
                 qPrintable(recorder.events().at(1).text));
    }

private:
    static QList<Kind> kinds(const QList<RecordEvent> &events)
    {
        QList<Kind> list;
        for (const RecordEvent &event : events)
            list << event.kind;
        return list;
    }
};

QTEST_GUILESS_MAIN(TestEventsSim)
#include "tst_eventssim.moc"
