#include "ManualClock.h"
#include "MemorySettings.h"
#include "recording/events/ChannelLimits.h"
#include "recording/events/EnergyCounter.h"
#include "recording/events/EventRecorder.h"
#include "recording/events/LimitWatcher.h"
#include "recording/events/ModeDetector.h"
#include "ShippedCatalogue.h"

#include <QLocale>
#include <QSignalSpy>
#include <QTest>
#include <QTimeZone>

#include <cmath>

using namespace qle;
using namespace qle::testing;

int runStorageTests(int argc, char **argv);

namespace {

using Kind = RecordEvent::Kind;
using Source = RecordEvent::Source;

// Equal to within 1e-9 of the expected value (1e-18 when that is 0).
bool near(double actual, double expected)
{
    return std::abs(actual - expected) <= std::max(1e-9 * std::abs(expected), 1e-18);
}

// "t:V:A" pairs separated by spaces, "gap" for an explicit gap, "nan" for a
// value that is not a number.
void feed(EnergyCounter &counter, int channel, const QString &script)
{
    for (const QString &step : script.split(u' ', Qt::SkipEmptyParts)) {
        if (step == QLatin1String("gap")) {
            counter.gap(channel);
            continue;
        }
        const QStringList parts = step.split(u':');
        const auto value = [](const QString &text) { return text == "nan" ? std::nan("") : text.toDouble(); };
        counter.addReading(channel, value(parts.at(1)), value(parts.at(2)), parts.at(0).toLongLong());
    }
}

// Constant 5 V, 0.5 A at each of the times.
QString constantPairs(const QList<int> &times)
{
    QStringList steps;
    for (int t : times)
        steps << QStringLiteral("%1:5:0.5").arg(t);
    return steps.join(u' ');
}

QList<Kind> kinds(const QList<RecordEvent> &events)
{
    QList<Kind> list;
    for (const RecordEvent &event : events)
        list << event.kind;
    return list;
}

} // namespace

class TestRecordEvents : public QObject {
    Q_OBJECT

private slots:
    void modeDetector_data()
    {
        QTest::addColumn<double>("setAmps");
        QTest::addColumn<QList<double>>("measured");
        QTest::addColumn<QString>("changes"); // "<reading index>:cv|cc" in order

        QTest::newRow("one reading holds nothing") << 1.0 << QList<double>{0.5} << "";
        QTest::newRow("cv after two readings") << 1.0 << QList<double>{0.5, 0.5, 0.5} << "1:cv";
        QTest::newRow("cc from 98 percent, after two")
            << 1.0 << QList<double>{0.5, 0.5, 0.98, 0.99, 0.99} << "1:cv 3:cc";
        QTest::newRow("a single spike switches nothing")
            << 1.0 << QList<double>{0.5, 0.5, 0.99, 0.5, 0.99, 0.5} << "1:cv";
        QTest::newRow("noise inside the band keeps cc")
            << 1.0 << QList<double>{0.99, 0.99, 0.96, 0.97, 0.955, 0.99, 0.96, 0.951} << "1:cc";
        QTest::newRow("noise across the lower edge keeps cc")
            << 1.0 << QList<double>{0.99, 0.99, 0.949, 0.96, 0.949, 0.96, 0.94, 0.99} << "1:cc";
        QTest::newRow("cv again only below 95 percent, twice")
            << 1.0 << QList<double>{0.99, 0.99, 0.96, 0.949, 0.94} << "1:cc 4:cv";
        QTest::newRow("noise in the band without a mode is cv") << 1.0 << QList<double>{0.96, 0.97} << "1:cv";
        QTest::newRow("scaled to the set current") << 0.2 << QList<double>{0.197, 0.198, 0.15, 0.15} << "1:cc 3:cv";
        QTest::newRow("set current 0 tells nothing") << 0.0 << QList<double>{0.0, 0.0, 0.5} << "";
        QTest::newRow("set current unknown (nan) tells nothing") << std::nan("") << QList<double>{0.5, 0.5} << "";
    }

    void modeDetector()
    {
        QFETCH(double, setAmps);
        QFETCH(QList<double>, measured);
        QFETCH(QString, changes);

        ModeDetector detector;
        QStringList seen;
        for (int i = 0; i < measured.size(); ++i) {
            if (const auto mode = detector.feed(setAmps, measured.at(i)))
                seen << QStringLiteral("%1:%2").arg(i).arg(*mode == ModeDetector::Mode::ConstantCurrent ? "cc" : "cv");
        }
        QCOMPARE(seen.join(u' '), changes);
    }

    void modeDetectorResetAndHold()
    {
        ModeDetector detector;
        QVERIFY(!detector.feed(1, 0.99));
        QCOMPARE(detector.feed(1, 0.99), std::optional(ModeDetector::Mode::ConstantCurrent));
        // Forgotten (output off): the same mode is news once it holds again.
        detector.reset();
        QVERIFY(!detector.mode());
        QVERIFY(!detector.feed(1, 0.99));
        QCOMPARE(detector.feed(1, 0.99), std::optional(ModeDetector::Mode::ConstantCurrent));

        // A longer hold: three readings in a row, a break starts the count again.
        ModeDetector slow({0.98, 0.95, 3});
        QVERIFY(!slow.feed(1, 0.5));
        QVERIFY(!slow.feed(1, 0.5));
        QCOMPARE(slow.feed(1, 0.5), std::optional(ModeDetector::Mode::ConstantVoltage));
        QVERIFY(!slow.feed(1, 0.99));
        QVERIFY(!slow.feed(1, 0.99));
        QVERIFY(!slow.feed(1, 0.5));
        QVERIFY(!slow.feed(1, 0.99));
        QVERIFY(!slow.feed(1, 0.99));
        QCOMPARE(slow.feed(1, 0.99), std::optional(ModeDetector::Mode::ConstantCurrent));
    }

    void energyIntegration_data()
    {
        QTest::addColumn<QString>("pairs");
        QTest::addColumn<qint64>("gapLimitMs");
        QTest::addColumn<double>("chargeAh");
        QTest::addColumn<double>("energyWh");
        QTest::addColumn<qint64>("countedMs");
        QTest::addColumn<int>("segments");

        QTest::newRow("constant 5 V 0.5 A for 9 s")
            << constantPairs({0, 1000, 2000, 3000, 4000, 5000, 6000, 7000, 8000, 9000}) << qint64(2000)
            << 0.5 * 9 / 3600 << 2.5 * 9 / 3600 << qint64(9000) << 1;
        QTest::newRow("current ramp 0 to 1 A at 10 V, even steps")
            << "0:10:0 1000:10:0.1 2000:10:0.2 3000:10:0.3 4000:10:0.4 5000:10:0.5 6000:10:0.6 7000:10:0.7 "
               "8000:10:0.8 9000:10:0.9 10000:10:1"
            << qint64(2000) << 5.0 / 3600 << 50.0 / 3600 << qint64(10000) << 1;
        QTest::newRow("current ramp at 2 V, uneven steps")
            << "0:2:0 300:2:0.06 1700:2:0.34 2000:2:0.4 3500:2:0.7 5000:2:1" << qint64(2000) << 2.5 / 3600 << 5.0 / 3600
            << qint64(5000) << 1;
        QTest::newRow("a step is a trapezoid, not a rectangle")
            << "0:5:0 1000:5:1" << qint64(2000) << 0.5 / 3600 << 2.5 / 3600 << qint64(1000) << 1;
        QTest::newRow("a gap longer than the limit is not bridged")
            << constantPairs({0, 1000, 2000, 3000, 10000, 11000, 12000}) << qint64(2000) << 0.5 * 5 / 3600
            << 2.5 * 5 / 3600 << qint64(5000) << 2;
        QTest::newRow("a gap of exactly the limit is bridged")
            << constantPairs({0, 2000}) << qint64(2000) << 0.5 * 2 / 3600 << 2.5 * 2 / 3600 << qint64(2000) << 1;
        QTest::newRow("a gap told ends the segment") << "0:5:0.5 1000:5:0.5 gap 1500:5:0.5 2500:5:0.5" << qint64(2000)
                                                     << 0.5 * 2 / 3600 << 2.5 * 2 / 3600 << qint64(2000) << 2;
        QTest::newRow("a reading that is not a number ends the segment")
            << "0:5:0.5 1000:5:0.5 1500:nan:0.5 2000:5:0.5 3000:5:0.5" << qint64(2000) << 0.5 * 2 / 3600
            << 2.5 * 2 / 3600 << qint64(2000) << 2;
        QTest::newRow("a pair from the past begins a segment") << constantPairs({0, 1000, 500, 1500}) << qint64(2000)
                                                               << 0.5 * 2 / 3600 << 2.5 * 2 / 3600 << qint64(2000) << 2;
        QTest::newRow("every pair apart: nothing counted")
            << constantPairs({0, 5000, 10000}) << qint64(2000) << 0.0 << 0.0 << qint64(0) << 3;
        QTest::newRow("negative current counts against")
            << "0:5:-0.5 1000:5:-0.5" << qint64(2000) << -0.5 / 3600 << -2.5 / 3600 << qint64(1000) << 1;
    }

    void energyIntegration()
    {
        QFETCH(QString, pairs);
        QFETCH(qint64, gapLimitMs);
        QFETCH(double, chargeAh);
        QFETCH(double, energyWh);
        QFETCH(qint64, countedMs);
        QFETCH(int, segments);

        EnergyCounter counter;
        counter.setGapLimitMs(gapLimitMs);
        counter.start();
        feed(counter, 1, pairs);
        const EnergyCounter::Channel totals = counter.channel(1);
        QVERIFY2(near(totals.chargeAh, chargeAh), qPrintable(QString::number(totals.chargeAh, 'g', 17)));
        QVERIFY2(near(totals.energyWh, energyWh), qPrintable(QString::number(totals.energyWh, 'g', 17)));
        QCOMPARE(totals.countedMs, countedMs);
        QCOMPARE(totals.segments, segments);
        // Only the channel fed has totals.
        QCOMPARE(counter.totals().size(), 1);
        QCOMPARE(counter.totals().first().channel, 1);
        QCOMPARE(counter.channel(0).pairs, 0);
    }

    void energyStartStopResetAndPower()
    {
        EnergyCounter counter;
        QSignalSpy changed(&counter, &EnergyCounter::totalsChanged);

        // Before the start a pair tells the power, nothing is counted.
        counter.addReading(0, 5, 0.5, 0);
        counter.addReading(0, 5, 0.5, 1000);
        QCOMPARE(counter.powerW(0), std::optional(2.5));
        QCOMPARE(counter.channel(0).chargeAh, 0.0);
        QVERIFY(counter.totals().isEmpty());
        QCOMPARE(changed.size(), 2);

        // The start does not reach back to the pair before it.
        counter.start();
        counter.addReading(0, 5, 0.5, 1500);
        QCOMPARE(counter.channel(0).countedMs, 0);
        counter.addReading(0, 6, 0.5, 2500);
        QCOMPARE(counter.powerW(0), std::optional(3.0));
        QCOMPARE(counter.channel(0).countedMs, 1000);
        QVERIFY(near(counter.channel(0).energyWh, (2.5 + 3.0) / 2 / 3600));

        // Stopped: totals kept, nothing added, power still told.
        counter.stop();
        counter.addReading(0, 6, 0.5, 3000);
        QCOMPARE(counter.channel(0).countedMs, 1000);
        QCOMPARE(counter.powerW(0), std::optional(3.0));

        // Started again: counting goes on from the next pair, not across the pause.
        counter.start();
        counter.addReading(0, 6, 0.5, 3200);
        counter.addReading(0, 6, 0.5, 4200);
        QCOMPARE(counter.channel(0).countedMs, 2000);
        QCOMPARE(counter.channel(0).segments, 2);

        // A gap empties the power and tells it.
        const qsizetype before = changed.size();
        counter.gap(0);
        QVERIFY(!counter.powerW(0));
        QCOMPARE(changed.size(), before + 1);
        counter.gap(0);
        QCOMPARE(changed.size(), before + 1);

        counter.reset();
        QVERIFY(counter.totals().isEmpty());
        QCOMPARE(counter.channel(0).chargeAh, 0.0);
        QVERIFY(!counter.powerW(5));
        counter.addReading(-1, 5, 1, 5000);
        QVERIFY(counter.totals().isEmpty());
    }

    void energyFromAnInstrument()
    {
        ManualClock clock(100.0);
        Instrument instrument;
        instrument.useModel("KMA-3303T", catalogueLookup());
        QCOMPARE(instrument.channelCount(), 3);
        EnergyCounter counter;
        counter.attach(&instrument);
        counter.start();
        instrument.noteOutput(true, ChangeSource::User);

        // A pair once both readings came again, at the later time.
        instrument.noteReading(0, false, "5.000");
        clock.advance(0.1);
        QCOMPARE(counter.channel(0).pairs, 0);
        instrument.noteReading(0, true, "0.500");
        QCOMPARE(counter.channel(0).pairs, 1);
        QCOMPARE(counter.channel(0).lastAtMs, 100100);
        // The voltage alone again and again makes no pair.
        clock.advance(0.9);
        instrument.noteReading(0, false, "5.000");
        instrument.noteReading(0, false, "5.000");
        QCOMPARE(counter.channel(0).pairs, 1);
        instrument.noteReading(0, true, "0.500");
        QCOMPARE(counter.channel(0).pairs, 2);
        QCOMPARE(counter.channel(0).countedMs, 900);
        QVERIFY(near(counter.channel(0).chargeAh, 0.5 * 0.9 / 3600));
        QCOMPARE(counter.powerW(0), std::optional(2.5));

        // A blank reading ends the segment.
        clock.advance(1);
        instrument.noteReading(0, true, "");
        QVERIFY(!counter.powerW(0));
        instrument.noteReading(0, false, "5.000");
        instrument.noteReading(0, true, "0.500");
        QCOMPARE(counter.channel(0).countedMs, 900);
        QCOMPARE(counter.channel(0).segments, 2);

        // The output off ends it too, and while off nothing is read.
        clock.advance(1);
        instrument.noteOutput(false, ChangeSource::User);
        QVERIFY(!counter.powerW(0));
        clock.advance(1);
        instrument.noteOutput(true, ChangeSource::User);
        instrument.noteReading(0, false, "5.000");
        instrument.noteReading(0, true, "0.500");
        QCOMPARE(counter.channel(0).countedMs, 900);
        QCOMPARE(counter.channel(0).segments, 3);

        // A lost link as well.
        clock.advance(0.5);
        instrument.noteReading(0, false, "5.000");
        instrument.onTimeout();
        instrument.noteReading(0, true, "0.500");
        QCOMPARE(counter.channel(0).countedMs, 900);
        QCOMPARE(counter.channel(0).segments, 3);
        clock.advance(0.5);
        instrument.noteReading(0, false, "5.000");
        instrument.noteReading(0, true, "0.500");
        QCOMPARE(counter.channel(0).segments, 4);

        // Another channel counts apart.
        instrument.noteReading(2, false, "12.000");
        instrument.noteReading(2, true, "1.000");
        QCOMPARE(counter.powerW(2), std::optional(12.0));
        QCOMPARE(counter.totals().size(), 2);

        // Detached, it hears nothing more.
        counter.detach();
        clock.advance(0.5);
        instrument.noteReading(0, false, "5.000");
        instrument.noteReading(0, true, "0.500");
        QCOMPARE(counter.channel(0).pairs, 5);
    }

    void limitBreach_data()
    {
        QTest::addColumn<LimitKind>("kind");
        QTest::addColumn<double>("limit");
        QTest::addColumn<QList<double>>("values");
        QTest::addColumn<QList<int>>("breaches"); // indexes of the values told

        QTest::newRow("above: once per excursion")
            << LimitKind::VoltageHigh << 12.0 << QList<double>{11, 12, 12.1, 12.5, 12.2, 11.5, 12.3}
            << QList<int>{2, 6};
        QTest::newRow("above: armed again only past the band")
            << LimitKind::VoltageHigh << 12.0 << QList<double>{12.1, 11.95, 12.1, 11.87, 12.1} << QList<int>{0, 4};
        QTest::newRow("below") << LimitKind::CurrentLow << 0.1
                               << QList<double>{0.2, 0.05, 0.0, 0.1, 0.1005, 0.102, 0.05} << QList<int>{1, 6};
        QTest::newRow("at the limit is inside")
            << LimitKind::CurrentHigh << 1.0 << QList<double>{1.0, 1.0, 1.0} << QList<int>{};
        QTest::newRow("a limit of 0 arms again at 0")
            << LimitKind::CurrentHigh << 0.0 << QList<double>{0, 0.001, 0.002, 0, 0.001} << QList<int>{1, 4};
        QTest::newRow("not a number is no reading")
            << LimitKind::PowerHigh << 10.0 << QList<double>{std::nan(""), 11, std::nan(""), 11} << QList<int>{1};
        QTest::newRow("energy above") << LimitKind::EnergyHigh << 0.5 << QList<double>{0.1, 0.4, 0.51, 0.6}
                                      << QList<int>{2};
    }

    void limitBreach()
    {
        QFETCH(LimitKind, kind);
        QFETCH(double, limit);
        QFETCH(QList<double>, values);
        QFETCH(QList<int>, breaches);

        LimitWatcher watcher;
        ChannelLimits limits;
        limits[kind] = Limit{limit, LimitAction::MarkOnly};
        watcher.setLimits(2, limits);
        QList<int> seen;
        int index = 0;
        connect(&watcher, &LimitWatcher::breached, this, [&](int channel, LimitKind what, LimitAction action) {
            QCOMPARE(channel, 2);
            QCOMPARE(what, kind);
            QCOMPARE(action, LimitAction::MarkOnly);
            seen << index;
        });
        for (; index < values.size(); ++index) {
            watcher.checkValue(2, kind, values.at(index), index * 100);
            // The other channel has no limits.
            watcher.checkValue(1, kind, values.at(index), index * 100);
        }
        QCOMPARE(seen, breaches);
    }

    void limitActionsAndEvents_data()
    {
        QTest::addColumn<LimitAction>("action");
        QTest::addColumn<QString>("name");
        QTest::newRow("mark only") << LimitAction::MarkOnly << "mark";
        QTest::newRow("stop recording") << LimitAction::StopRecording << "stop-recording";
        QTest::newRow("output off") << LimitAction::OutputOff << "output-off";
        QTest::newRow("stop sequence") << LimitAction::StopSequence << "stop-sequence";
    }

    void limitActionsAndEvents()
    {
        QFETCH(LimitAction, action);
        QFETCH(QString, name);
        QCOMPARE(ChannelLimits::actionName(action), name);
        QCOMPARE(ChannelLimits::actionFromName(name), std::optional(action));

        ManualClock clock(50.0);
        EventRecorder recorder;
        recorder.start();
        LimitWatcher watcher;
        watcher.setRecorder(&recorder);
        ChannelLimits limits;
        limits[LimitKind::PowerHigh] = Limit{10, action};
        watcher.setLimits(0, limits);
        QSignalSpy breached(&watcher, &LimitWatcher::breached);

        // Power is V × A of the pair; the event has the reading's time.
        watcher.checkReading(0, 5, 1.9, 50000);
        watcher.checkReading(0, 5, 2.1, 50250);
        watcher.checkReading(0, 5.5, 2, 50500);
        watcher.checkReading(0, 4, 2, 50750);
        watcher.checkReading(0, 6, 2, 51000);
        QCOMPARE(breached.size(), 2);
        QCOMPARE(breached.at(0).at(2).value<LimitAction>(), action);
        const QString text = breached.at(0).at(3).toString();
        QCOMPARE(text, "CH1 power 10.5 W above 10 W (" + name + ")");
        QVERIFY(watcher.isBreached(0, LimitKind::PowerHigh));

        const QList<RecordEvent> events = recorder.events();
        QCOMPARE(kinds(events), (QList<Kind>{Kind::RecordingStart, Kind::LimitBreach, Kind::LimitBreach}));
        QCOMPARE(events.at(1).atMs, 250);
        QCOMPARE(events.at(1).channel, 0);
        QCOMPARE(events.at(1).source, Source::Program);
        QCOMPARE(events.at(1).text, text);
        QCOMPARE(events.at(2).atMs, 1000);

        // Armed again for a new recording.
        watcher.rearm();
        QVERIFY(!watcher.isBreached(0, LimitKind::PowerHigh));
        watcher.checkReading(0, 6, 2, 52000);
        QCOMPARE(breached.size(), 3);
    }

    void limitsOnAttachedReadingsAndTotals()
    {
        ManualClock clock(10.0);
        Instrument instrument;
        instrument.useModel("KMA-3303T", catalogueLookup());
        EnergyCounter counter;
        counter.attach(&instrument);
        counter.start();
        LimitWatcher watcher;
        watcher.attach(&instrument, &counter);
        ChannelLimits limits;
        limits[LimitKind::VoltageHigh] = Limit{12, LimitAction::MarkOnly};
        limits[LimitKind::ChargeHigh] = Limit{0.5 * 2.75 / 3600.0, LimitAction::StopRecording};
        watcher.setLimits(1, limits);
        QList<std::pair<LimitKind, qint64>> seen;
        connect(&watcher, &LimitWatcher::breached, this, [&](int channel, LimitKind kind) {
            QCOMPARE(channel, 1);
            seen.append({kind, static_cast<qint64>(clock.monotonicSec() * 1000)});
        });

        // The reading that shows it is the one that tells it.
        instrument.noteOutput(true, ChangeSource::User);
        instrument.noteReading(1, false, "12.5");
        QCOMPARE(seen.size(), 1);
        QCOMPARE(seen.first().first, LimitKind::VoltageHigh);
        instrument.noteReading(1, false, "11");
        // Pairs every 0.5 s from 10 s on; the charge passes its limit with
        // the pair at 13 s (3 s of 0.5 A), not before.
        for (int step = 0; step < 5; ++step) {
            instrument.noteReading(1, false, "5.0");
            instrument.noteReading(1, true, "0.5");
            clock.advance(0.5);
        }
        QCOMPARE(seen.size(), 1);
        for (int step = 0; step < 4; ++step) {
            instrument.noteReading(1, false, "5.0");
            instrument.noteReading(1, true, "0.5");
            clock.advance(0.5);
        }
        QCOMPARE(seen.size(), 2);
        QCOMPARE(seen.last().first, LimitKind::ChargeHigh);
        QCOMPARE(seen.last().second, 13000);
    }

    void limitSettings()
    {
        MemorySettings settings;
        const QLocale before;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));

        ChannelLimits limits;
        limits[LimitKind::VoltageHigh] = Limit{12.5, LimitAction::OutputOff};
        limits[LimitKind::CurrentLow] = Limit{0.001, LimitAction::MarkOnly};
        limits[LimitKind::EnergyHigh] = Limit{1.25e-4, LimitAction::StopSequence};
        ChannelLimits::save("KMA-3303T#2", 1, limits);
        QLocale::setDefault(before);

        // A point, whatever the locale; an empty value for each limit not set.
        QCOMPARE(settings.values.value("Limits/KMA-3303T#2/CH2/voltage-high"), QString("12.5 output-off"));
        QCOMPARE(settings.values.value("Limits/KMA-3303T#2/CH2/current-low"), QString("0.001 mark"));
        QCOMPARE(settings.values.value("Limits/KMA-3303T#2/CH2/power-high"), QString(""));
        QCOMPARE(settings.writes.size(), LimitKindCount);

        QCOMPARE(ChannelLimits::load("KMA-3303T#2", 1), limits);
        QVERIFY(ChannelLimits::load("KMA-3303T#2", 0).isEmpty());
        QVERIFY(ChannelLimits::load("KMA-3303T", 1).isEmpty());

        // What does not read as a number and an action is no limit.
        settings.preset("Limits/M/CH1/voltage-high", "12,5 output-off");
        settings.preset("Limits/M/CH1/voltage-low", "abc mark");
        settings.preset("Limits/M/CH1/current-high", "2 explode");
        settings.preset("Limits/M/CH1/current-low", "2");
        settings.preset("Limits/M/CH1/power-high", "inf mark");
        settings.preset("Limits/M/CH1/power-low", " 0.5   stop-recording ");
        ChannelLimits read = ChannelLimits::load("M", 0);
        ChannelLimits expected;
        expected[LimitKind::PowerLow] = Limit{0.5, LimitAction::StopRecording};
        QCOMPARE(read, expected);

        // Saved empty, nothing comes back.
        ChannelLimits::save("KMA-3303T#2", 1, ChannelLimits{});
        QVERIFY(ChannelLimits::load("KMA-3303T#2", 1).isEmpty());
    }

    void setValueText_data()
    {
        QTest::addColumn<int>("channel");
        QTest::addColumn<ChannelSetting>("setting");
        QTest::addColumn<std::optional<double>>("oldValue");
        QTest::addColumn<double>("newValue");
        QTest::addColumn<QString>("text");

        QTest::newRow("voltage") << 0 << ChannelSetting::Voltage << std::optional(5.0) << 6.0 << "CH1 voltage 5 → 6 V";
        QTest::newRow("current, fractions")
            << 1 << ChannelSetting::Current << std::optional(0.1) << 1.255 << "CH2 current 0.1 → 1.255 A";
        QTest::newRow("old unknown") << 2 << ChannelSetting::Voltage << std::optional<double>() << 12.0
                                     << "CH3 voltage → 12 V";
        QTest::newRow("over-voltage") << 0 << ChannelSetting::OverVoltage << std::optional(31.0) << 33.5
                                      << "CH1 over-voltage 31 → 33.5 V";
        QTest::newRow("over-current protection")
            << 0 << ChannelSetting::OverCurrent << std::optional(0.0) << 1.0 << "CH1 over-current protection off → on";
        QTest::newRow("no rounding noise")
            << 0 << ChannelSetting::Voltage << std::optional(0.1 + 0.2) << 30.0 << "CH1 voltage 0.3 → 30 V";
    }

    void setValueText()
    {
        QFETCH(int, channel);
        QFETCH(ChannelSetting, setting);
        QFETCH(std::optional<double>, oldValue);
        QFETCH(double, newValue);
        QFETCH(QString, text);
        const QLocale before;
        QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
        const QString made = EventRecorder::setValueText(channel, setting, oldValue, newValue);
        QLocale::setDefault(before);
        QCOMPARE(made, text);
    }

    void recorderTurnsChangesIntoEvents()
    {
        ManualClock clock(1000.0);
        Instrument instrument;
        instrument.useModel("KMA-3303T", catalogueLookup());
        instrument.noteSetting(0, ChannelSetting::Voltage, 5, ChangeSource::Instrument);
        EventRecorder recorder;
        recorder.attach(&instrument);
        QSignalSpy added(&recorder, &EventRecorder::eventAdded);

        // Not running: nothing kept, but the value is the old of the next change.
        instrument.noteSetting(0, ChannelSetting::Voltage, 5.5, ChangeSource::User);
        QVERIFY(!recorder.mark("too early"));
        QVERIFY(recorder.events().isEmpty());

        const QDateTime wall(QDate(2024, 5, 1), QTime(12, 0), QTimeZone(7200));
        recorder.start(Source::Script, wall);
        clock.advance(1.5);
        instrument.noteSetting(0, ChannelSetting::Voltage, 6, ChangeSource::Script);
        // A sequence's steps come as a script's.
        recorder.setScriptSource(Source::Sequence);
        instrument.noteSetting(0, ChannelSetting::Current, 1, ChangeSource::Script);
        recorder.setScriptSource(Source::Script);
        // Polling learning a value is no change; changing it is.
        instrument.noteSetting(1, ChannelSetting::Voltage, 3, ChangeSource::Instrument);
        instrument.noteSetting(1, ChannelSetting::Voltage, 4, ChangeSource::Instrument);
        instrument.noteSetting(0, ChannelSetting::OverCurrent, 1, ChangeSource::User);
        instrument.noteSetting(0, ChannelSetting::OverCurrent, 0, ChangeSource::User);

        // Outputs: on, off by the instrument, on by a script, off by a person.
        clock.advance(0.25);
        instrument.noteOutput(true, ChangeSource::User);
        instrument.noteOutput(false, ChangeSource::Instrument);
        instrument.noteOutput(true, ChangeSource::Script);
        instrument.noteOutput(false, ChangeSource::User);
        instrument.noteOutput(true, ChangeSource::Program);
        // Learnt again after a new connection: no change.
        instrument.forget();
        instrument.noteOutput(true, ChangeSource::Instrument);
        instrument.noteSetting(0, ChannelSetting::Voltage, 6, ChangeSource::Instrument);

        instrument.noteCoupling(Coupling::Track, ChangeSource::User);
        // A save through the model is no recall; one at the front panel is.
        instrument.noteMemory(3, ChangeSource::Script);
        instrument.noteMemory(2, ChangeSource::Instrument);
        instrument.noteError("0,\"No error\"");
        instrument.noteError("-222,\"Data out of range\"");
        QVERIFY(recorder.mark("hello, \"world\""));
        QVERIFY(recorder.note(Kind::SequenceStep, -1, Source::Sequence, "line 3: output on"));
        clock.advance(1);
        recorder.stop(Source::User);

        const QList<RecordEvent> events = recorder.events();
        QCOMPARE(kinds(events),
                 (QList<Kind>{Kind::RecordingStart, Kind::SetValue, Kind::SetValue, Kind::SetValue, Kind::SetValue,
                              Kind::SetValue, Kind::OutputOn, Kind::OutputOffByInstrument, Kind::OutputOn,
                              Kind::OutputOff, Kind::OutputOn, Kind::Coupling, Kind::MemoryRecall,
                              Kind::InstrumentError, Kind::Mark, Kind::SequenceStep, Kind::RecordingStop}));
        QCOMPARE(added.size(), events.size());
        QCOMPARE(events.at(0).source, Source::Script);
        QCOMPARE(events.at(0).atMs, 0);
        QCOMPARE(events.at(0).at, wall);

        const RecordEvent &set = events.at(1);
        QCOMPARE(set.text, QString("CH1 voltage 5.5 → 6 V"));
        QCOMPARE(set.source, Source::Script);
        QCOMPARE(set.channel, 0);
        QCOMPARE(set.atMs, 1500);
        QCOMPARE(set.at, wall.addMSecs(1500));
        QCOMPARE(events.at(2).text, QString("CH1 current → 1 A"));
        QCOMPARE(events.at(2).source, Source::Sequence);
        QCOMPARE(events.at(3).text, QString("CH2 voltage 3 → 4 V"));
        QCOMPARE(events.at(3).source, Source::Instrument);
        QCOMPARE(events.at(4).text, QString("CH1 over-current protection → on"));
        QCOMPARE(events.at(5).text, QString("CH1 over-current protection on → off"));

        QCOMPARE(events.at(6).source, Source::User);
        QCOMPARE(events.at(6).atMs, 1750);
        QCOMPARE(events.at(7).source, Source::Instrument);
        QCOMPARE(events.at(7).channel, -1);
        QCOMPARE(events.at(8).source, Source::Script);
        QCOMPARE(events.at(9).source, Source::User);
        QCOMPARE(events.at(10).source, Source::Program);
        QCOMPARE(events.at(11).text, QString("coupling track"));
        QCOMPARE(events.at(12).text, QString("memory 2"));
        QCOMPARE(events.at(12).source, Source::Instrument);
        QCOMPARE(events.at(13).text, QString("-222,\"Data out of range\""));
        QCOMPARE(events.at(14).text, QString("hello, \"world\""));
        QCOMPARE(events.at(16).atMs, 2750);
        QCOMPARE(events.at(16).source, Source::User);

        // Stopped: nothing more, the list stays.
        instrument.noteOutput(false, ChangeSource::User);
        QVERIFY(!recorder.note(Kind::Mark, -1, Source::User, "late"));
        QCOMPARE(recorder.events().size(), events.size());
        QVERIFY(!recorder.isRunning());
        QCOMPARE(recorder.elapsedMs(), 0);

        // A new start begins a new list; a detached recorder hears nothing.
        recorder.start();
        QCOMPARE(recorder.events().size(), 1);
        recorder.detach();
        instrument.noteOutput(true, ChangeSource::User);
        QCOMPARE(recorder.events().size(), 1);
    }

    void recorderOffByTheInstrumentOnlyWhenItWasOn()
    {
        ManualClock clock;
        Instrument instrument;
        instrument.useModel("KMB-6001", catalogueLookup());
        EventRecorder recorder;
        recorder.attach(&instrument);
        recorder.start();
        // First seen off: the output was not known to be on.
        instrument.noteOutput(false, ChangeSource::Instrument);
        instrument.noteOutput(true, ChangeSource::Instrument);
        instrument.noteOutput(false, ChangeSource::Instrument);
        // Off by a script while on is the script's doing.
        instrument.noteOutput(true, ChangeSource::Instrument);
        instrument.noteOutput(false, ChangeSource::Script);
        const QList<RecordEvent> events = recorder.events();
        QCOMPARE(kinds(events), (QList<Kind>{Kind::RecordingStart, Kind::OutputOff, Kind::OutputOn,
                                             Kind::OutputOffByInstrument, Kind::OutputOn, Kind::OutputOff}));
        QCOMPARE(events.at(1).source, Source::Instrument);
        QCOMPARE(events.at(5).source, Source::Script);
    }

    void recorderStartTimeFromTheClock()
    {
        ManualClock clock(1000.0); // 00:16:40
        EventRecorder recorder;
        recorder.start();
        clock.advance(2.5);
        QCOMPARE(recorder.elapsedMs(), 2500);
        recorder.mark("m");
        QCOMPARE(recorder.events().at(0).at.time(), QTime(0, 16, 40));
        QCOMPARE(recorder.events().at(1).at.time(), QTime(0, 16, 42, 500));
        QCOMPARE(recorder.events().at(1).atMs, 2500);
        // A time before the start (a reading just before it) counts as the start.
        recorder.note(Kind::LimitBreach, 0, Source::Program, "early", 999000);
        QCOMPARE(recorder.events().last().atMs, 0);
    }

    void recorderQueueSinceLastCall()
    {
        ManualClock clock;
        EventRecorder recorder;
        recorder.start();
        recorder.mark("one");
        QList<RecordEvent> taken = recorder.takeSinceLastCall();
        QCOMPARE(taken.size(), 2);
        QCOMPARE(taken.last().text, QString("one"));
        QVERIFY(recorder.takeSinceLastCall().isEmpty());
        recorder.mark("two");
        taken = recorder.takeSinceLastCall();
        QCOMPARE(taken.size(), 1);
        QCOMPARE(taken.first().text, QString("two"));
        // The list of the recording keeps them all.
        QCOMPARE(recorder.events().size(), 3);

        // Nobody asking: the oldest go.
        for (int i = 0; i < EventRecorder::PendingLimit + 5; ++i)
            recorder.mark(QString::number(i));
        taken = recorder.takeSinceLastCall();
        QCOMPARE(taken.size(), EventRecorder::PendingLimit);
        QCOMPARE(taken.first().text, QString("5"));
        QCOMPARE(recorder.events().size(), 3 + EventRecorder::PendingLimit + 5);
    }

    void recorderConstantVoltageAndCurrent()
    {
        ManualClock clock(200.0);
        Instrument instrument;
        instrument.useModel("KMA-3303T", catalogueLookup());
        instrument.noteSetting(0, ChannelSetting::Current, 1.0, ChangeSource::Instrument);
        instrument.noteOutput(true, ChangeSource::Instrument);
        EventRecorder recorder;
        recorder.attach(&instrument);
        recorder.start();

        QList<std::pair<Kind, qint64>> modes;
        connect(&recorder, &EventRecorder::eventAdded, this, [&](const RecordEvent &event) {
            if (event.kind == Kind::ConstantCurrent || event.kind == Kind::ConstantVoltage) {
                QCOMPARE(event.source, Source::Instrument);
                QCOMPARE(event.channel, 0);
                modes.append({event.kind, event.atMs});
            }
        });
        const auto readings = [&](const QList<double> &amps) {
            for (double a : amps) {
                clock.advance(0.5);
                instrument.noteReading(0, false, "5.0");
                instrument.noteReading(0, true, QString::number(a));
            }
        };
        readings({0.5, 0.5});
        QCOMPARE(modes, (QList<std::pair<Kind, qint64>>{{Kind::ConstantVoltage, 1000}}));
        // Noisy readings near the edges: no flapping.
        readings({0.99, 0.985, 0.97, 0.96, 0.99, 0.949, 0.96, 0.949, 0.97});
        QCOMPARE(modes.size(), 2);
        QCOMPARE(modes.last(), std::pair(Kind::ConstantCurrent, qint64(2000)));
        readings({0.94, 0.93});
        QCOMPARE(modes.size(), 3);
        QCOMPARE(modes.last().first, Kind::ConstantVoltage);

        // The voltage readings alone tell nothing; neither does a channel
        // without a known set current.
        instrument.noteReading(0, false, "5.0");
        instrument.noteReading(1, true, "0.3");
        instrument.noteReading(1, true, "0.3");
        QCOMPARE(modes.size(), 3);

        // Off and on again: the mode is put down again once it holds.
        instrument.noteOutput(false, ChangeSource::User);
        instrument.noteOutput(true, ChangeSource::User);
        readings({0.5});
        QCOMPARE(modes.size(), 3);
        readings({0.5});
        QCOMPARE(modes.size(), 4);
        QCOMPARE(modes.last().first, Kind::ConstantVoltage);
    }

    void recorderLinkLostAndBack()
    {
        ManualClock clock;
        Instrument instrument;
        instrument.useModel("KMA-3303T", catalogueLookup());
        instrument.setState(ConnectionState::Running);
        EventRecorder recorder;
        recorder.attach(&instrument);
        recorder.start();
        instrument.onTimeout();
        QCOMPARE(instrument.state(), ConnectionState::Idle);
        instrument.setState(ConnectionState::Identifying);
        instrument.setState(ConnectionState::Running);
        // Running again without a loss before is nothing.
        instrument.setState(ConnectionState::Idle);
        instrument.setState(ConnectionState::Running);
        const QList<RecordEvent> events = recorder.events();
        QCOMPARE(kinds(events), (QList<Kind>{Kind::RecordingStart, Kind::LinkLost, Kind::LinkBack}));
        QVERIFY2(events.at(1).text.startsWith("link lost"), qPrintable(events.at(1).text));
        QCOMPARE(events.at(1).source, Source::Program);
    }

    void eventNames()
    {
        // Every kind and source has a name of its own that reads back.
        QStringList names;
        for (int k = 0; k < RecordEvent::KindCount; ++k) {
            const auto kind = static_cast<Kind>(k);
            const QString name = RecordEvent::kindName(kind);
            QVERIFY(!name.isEmpty());
            QVERIFY(!name.contains(u' ') && !name.contains(u','));
            QCOMPARE(RecordEvent::kindFromName(name), std::optional(kind));
            names << name;
        }
        names.removeDuplicates();
        QCOMPARE(names.size(), RecordEvent::KindCount);
        QCOMPARE(RecordEvent::kindName(Kind::OutputOn), QString("output-on"));
        QCOMPARE(RecordEvent::kindName(Kind::SetValue), QString("set"));
        QVERIFY(!RecordEvent::kindFromName("Output-On"));
        for (int s = 0; s < RecordEvent::SourceCount; ++s) {
            const auto source = static_cast<Source>(s);
            QCOMPARE(RecordEvent::sourceFromName(RecordEvent::sourceName(source)), std::optional(source));
        }
        RecordEvent event;
        event.atMs = 12345;
        event.kind = Kind::SetValue;
        event.channel = 1;
        event.source = Source::Script;
        event.text = "CH2 voltage 5 → 6 V";
        QCOMPARE(event.line(), QString("12.345 s  CH2  set  CH2 voltage 5 → 6 V (script)"));
        event.channel = -1;
        event.text.clear();
        event.kind = Kind::RecordingStop;
        QCOMPARE(event.line(), QString("12.345 s  recording-stop (script)"));
    }
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    TestRecordEvents events;
    const int failed = QTest::qExec(&events, argc, argv);
    return failed + runStorageTests(argc, argv);
}

#include "tst_recordevents.moc"
