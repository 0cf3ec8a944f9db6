#include "instrument/Instrument.h"
#include "instrument/LinkReconnector.h"
#include "instrument/SetCommand.h"
#include "ManualClock.h"
#include "MemorySettings.h"
#include "protocol/Catalogue.h"
#include "SimProcess.h"

#include <QSignalSpy>
#include <QSqlDatabase>
#include <QTest>

using namespace qle;
using namespace qle::testing;

// Instrument objects against the virtual instrument: two of different
// models in one process, each on its own link, set and read at once.
class TestInstrument : public QObject {
    Q_OBJECT

private:
    QList<CatalogueRow> catalogue;
    MemorySettings settings;

    Instrument::CatalogueLookup lookup() const
    {
        return [this](const QString &mtype) { return FindCatalogueRow(catalogue, mtype); };
    }

    // Runs `operation` and waits for its outcome.
    static Outcome wait(const std::function<void(OutcomeHandler)> &operation)
    {
        std::optional<Outcome> outcome;
        operation([&](const Outcome &o) { outcome = o; });
        if (!QTest::qWaitFor([&] { return outcome.has_value(); }, 30000))
            return {Outcome::Kind::Refused, "<no outcome>"};
        return *outcome;
    }

    static LinkOptions linkTo(const SimProcess &sim, bool tcp)
    {
        LinkOptions link;
        if (tcp) {
            link.kind = LinkOptions::Kind::Tcp;
            link.host = sim.link().section(u':', 0, 0);
            link.tcpPort = static_cast<quint16>(sim.link().section(u':', 1).toUInt());
        } else {
            link.kind = LinkOptions::Kind::Serial;
            link.port = sim.link();
        }
        return link;
    }

    void openAndIdentify(Instrument &instrument, const SimProcess &sim, bool tcp, const QString &model)
    {
        std::optional<QString> opened;
        instrument.open(linkTo(sim, tcp), settings, [&](const QString &error) { opened = error; });
        QTRY_VERIFY_WITH_TIMEOUT(opened.has_value(), 10000);
        QCOMPARE(*opened, QString());
        const Outcome identified = wait([&](OutcomeHandler done) { instrument.identify(lookup(), done); });
        QCOMPARE(identified.text, model);
        QVERIFY(identified.done());
        QCOMPARE(instrument.state(), ConnectionState::Running);
    }

private slots:
    void initTestCase()
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "catalogue");
        db.setDatabaseName(QStringLiteral(QLE_SHIPPED_CATALOGUE));
        db.setConnectOptions("QSQLITE_OPEN_READONLY");
        QVERIFY(db.open());
        QString error;
        QVERIFY2(ReadCatalogue(db, &catalogue, &error), qPrintable(error));
    }

    void twoInstrumentsOfDifferentModelsAtOnce()
    {
        SimProcess threeOutputs;
        SimProcess oneOutput;
        QVERIFY(threeOutputs.start({"--model", "KMA-3303T", "--no-noise"}));
        QVERIFY(oneOutput.start({"--model", "KMB-6001", "--no-noise", "--tcp", "0"}));
        Instrument a;
        Instrument b;
        openAndIdentify(a, threeOutputs, false, "KMA-3303T");
        openAndIdentify(b, oneOutput, true, "KMB-6001");
        QCOMPARE(a.channelCount(), 3);
        QCOMPARE(b.channelCount(), 1);

        // Both set at once; each command reaches its own instrument only.
        QList<std::tuple<int, ChannelSetting, ChangeSource>> changes;
        connect(&a, &Instrument::settingChanged, this, [&](int ch, ChannelSetting setting, ChangeSource source) {
            changes.append({ch, setting, source});
        });
        std::optional<Outcome> setA;
        std::optional<Outcome> setB;
        a.setChannel(1, ChannelSetting::Voltage, 7.5, ChangeSource::Script, [&](const Outcome &o) { setA = o; });
        b.setChannel(0, ChannelSetting::Voltage, 12, ChangeSource::User, [&](const Outcome &o) { setB = o; });
        QTRY_VERIFY(setA && setB);
        QVERIFY2(setA->done() && setB->done(), qPrintable(setA->text + " / " + setB->text));
        QTRY_VERIFY(threeOutputs.received().contains(":CHAN2:VOLT 7.5"));
        QTRY_VERIFY(!oneOutput.received().filter(QRegularExpression("VOLT 12$")).isEmpty());
        QVERIFY(threeOutputs.received().filter("VOLT 12").isEmpty());
        QCOMPARE(a.channel(1).setVoltage, std::optional(7.5));
        QCOMPARE(changes.size(), 1);
        QCOMPARE(std::get<2>(changes.first()), ChangeSource::Script);

        // Readings, each with when it came.
        QVERIFY(oneOutput.control("load 1 24"));
        QVERIFY(wait([&](OutcomeHandler done) { b.setOutput(true, ChangeSource::Script, done); }).done());
        QVERIFY(wait([&](OutcomeHandler done) { b.measure(0, done); }).done());
        QCOMPARE(b.channel(0).voltage->text, QString("12.000"));
        QCOMPARE(b.channel(0).current->value, 0.5);
        QVERIFY(b.channel(0).current->atMs >= 0);
        QVERIFY(!a.channel(0).voltage);

        // Refused before anything is sent: the limits of the catalogue.
        const qsizetype sent = threeOutputs.received().size();
        const Outcome tooHigh = wait(
            [&](OutcomeHandler done) { a.setChannel(0, ChannelSetting::Voltage, 99, ChangeSource::Script, done); });
        QCOMPARE(tooHigh.kind, Outcome::Kind::Refused);
        QVERIFY2(tooHigh.text.startsWith("out of range 0 to "), qPrintable(tooHigh.text));
        QCOMPARE(wait([&](OutcomeHandler done) {
                     a.setChannel(3, ChannelSetting::Current, 1, ChangeSource::Script, done);
                 }).text,
                 QString("no such channel"));
        QCOMPARE(wait([&](OutcomeHandler done) { b.setCoupling(Coupling::Track, ChangeSource::Script, done); }).kind,
                 Outcome::Kind::Refused);
        QCOMPARE(wait([&](OutcomeHandler done) { a.saveMemory(12, ChangeSource::Script, done); }).text,
                 QString("memory 1 to 4"));
        QCOMPARE(wait([&](OutcomeHandler done) { b.recallMemory(1, ChangeSource::Script, done); }).text,
                 QString("no memories"));
        QTest::qWait(100);
        QCOMPARE(threeOutputs.received().size(), sent);
        QSignalSpy recalled(&a, &Instrument::memoryRecalled);
        QVERIFY(wait([&](OutcomeHandler done) { a.saveMemory(3, ChangeSource::Script, done); }).done());
        QVERIFY(recalled.isEmpty());
        QVERIFY(wait([&](OutcomeHandler done) { a.recallMemory(2, ChangeSource::Script, done); }).done());
        QCOMPARE(recalled.size(), 1);
        QVERIFY(threeOutputs.received().contains(RecallMemoryCommand(CommandFamily::Colon, 2)));
        QCOMPARE(a.memory(), std::optional(2));

        // The panels' way: the command alone, its errors left to polling;
        // over-current protection is a switch.
        QCOMPARE(wait([&](OutcomeHandler done) {
                     a.setChannel(0, ChannelSetting::OverCurrent, 2, ChangeSource::User, done);
                 }).text,
                 QString("on or off"));
        const qsizetype beforePanelEdit = threeOutputs.received().size();
        QVERIFY(wait([&](OutcomeHandler done) {
                    a.setChannel(0, ChannelSetting::OverCurrent, 1, ChangeSource::User, done,
                                 Instrument::ErrorCheck::ByPolling);
                }).done());
        QTRY_COMPARE(threeOutputs.received().mid(beforePanelEdit), QStringList{":CHAN1:PROT:CURR 1"});
        QTest::qWait(100);
        QCOMPARE(threeOutputs.received().size(), beforePanelEdit + 1);
        QCOMPARE(a.channel(0).overCurrentProtection, std::optional(true));

        // The instrument's own refusal comes back with its text; a query's reply too.
        const Outcome refused = wait([&](OutcomeHandler done) { a.sendLine(":FOO:BAR", ChangeSource::Script, done); });
        QCOMPARE(refused.kind, Outcome::Kind::InstrumentError);
        QVERIFY2(refused.text.startsWith("-113"), qPrintable(refused.text));
        QCOMPARE(a.lastError(), refused.text);
        QCOMPARE(wait([&](OutcomeHandler done) { b.sendLine("*IDN?", ChangeSource::Script, done); }).text,
                 b.identity());

        // One link lost: its operations end as such, the other goes on.
        std::optional<QString> lostCause;
        connect(&b, &Instrument::linkLost, this, [&](const QString &cause) { lostCause = cause; });
        oneOutput.kill();
        const Outcome afterLoss = wait([&](OutcomeHandler done) { b.measure(0, done); });
        QCOMPARE(afterLoss.kind, Outcome::Kind::LinkLost);
        QTRY_VERIFY(lostCause.has_value());
        QCOMPARE(b.state(), ConnectionState::Idle);
        QCOMPARE(wait([&](OutcomeHandler done) { b.setOutput(false, ChangeSource::Script, done); }).kind,
                 Outcome::Kind::LinkLost);
        QVERIFY(wait([&](OutcomeHandler done) { a.measure(2, done); }).done());
        QCOMPARE(a.channel(2).voltage.has_value(), true);
    }

    // What the coupling or a running auto-run leaves to the instrument, as
    // the panels lock it; a locked setting is refused before anything is sent.
    void lockedSettings_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<int>("coupling");
        QTest::addColumn<bool>("autoRun");
        QTest::addColumn<int>("channel");
        QTest::addColumn<int>("setting");
        QTest::addColumn<bool>("locked");
        const auto row = [](const char *name, const char *model, Coupling coupling, bool autoRun, int channel,
                            ChannelSetting setting, bool locked) {
            QTest::newRow(name) << QString(model) << static_cast<int>(coupling) << autoRun << channel
                                << static_cast<int>(setting) << locked;
        };
        row("three outputs, independent", "KMA-3303T", Coupling::Independent, false, 0, ChannelSetting::Voltage, false);
        row("three outputs, track: CH1 V", "KMA-3303T", Coupling::Track, false, 0, ChannelSetting::Voltage, true);
        row("three outputs, track: CH1 A", "KMA-3303T", Coupling::Track, false, 0, ChannelSetting::Current, false);
        row("three outputs, track: CH1 OVP", "KMA-3303T", Coupling::Track, false, 0, ChannelSetting::OverVoltage, true);
        row("three outputs, track: CH2 V", "KMA-3303T", Coupling::Track, false, 1, ChannelSetting::Voltage, false);
        row("three outputs, parallel: CH1 OCP", "KMA-3303T", Coupling::Parallel, false, 0, ChannelSetting::OverCurrent,
            true);
        row("one output, parallel: OCP", "KMB-6001", Coupling::Parallel, false, 0, ChannelSetting::OverCurrent, false);
        row("one output, parallel: A", "KMB-6001", Coupling::Parallel, false, 0, ChannelSetting::Current, true);
        row("legacy, track: CH2 V", "QLE-5505", Coupling::Track, false, 1, ChannelSetting::Voltage, true);
        row("legacy, track: CH1 V", "QLE-5505", Coupling::Track, false, 0, ChannelSetting::Voltage, false);
        row("legacy, parallel: CH2 A", "QLE-5505", Coupling::Parallel, false, 1, ChannelSetting::Current, true);
        row("auto-run: any", "KMA-3303T", Coupling::Independent, true, 2, ChannelSetting::Current, true);
    }
    void lockedSettings()
    {
        QFETCH(QString, model);
        QFETCH(int, coupling);
        QFETCH(bool, autoRun);
        QFETCH(int, channel);
        QFETCH(int, setting);
        QFETCH(bool, locked);
        Instrument instrument;
        instrument.useModel(model, lookup());
        instrument.noteCoupling(static_cast<Coupling>(coupling), ChangeSource::Instrument);
        instrument.noteAutoRun(autoRun, ChangeSource::Instrument);
        const auto which = static_cast<ChannelSetting>(setting);
        QCOMPARE(instrument.isLocked(channel, which), locked);
        if (which != ChannelSetting::OverCurrent)
            QCOMPARE(instrument.whyNot(channel, which, 1) == QString("field locked"), locked);
    }

    // The set commands' texts as scripts send them: the command read, or the
    // reply that refuses it, in the order the control port has always
    // checked (the channel before the value).
    void setCommandText_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("channels");
        QTest::addColumn<QString>("refusal");
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("channel");
        QTest::addColumn<int>("setting");
        QTest::addColumn<double>("value");
        QTest::addColumn<bool>("on");
        QTest::addColumn<int>("coupling");
        using K = SetCommand::Kind;
        const auto ok = [](const char *name, const char *line, int channels, K kind, int channel,
                           ChannelSetting setting, double value, bool on, Coupling coupling) {
            QTest::newRow(name) << QString(line) << channels << QString() << static_cast<int>(kind) << channel
                                << static_cast<int>(setting) << value << on << static_cast<int>(coupling);
        };
        const auto refused = [](const char *name, const char *line, int channels, const char *refusal) {
            QTest::newRow(name) << QString(line) << channels << QString(refusal) << 0 << 0 << 0 << 0.0 << false << 0;
        };
        const ChannelSetting V = ChannelSetting::Voltage;
        const Coupling I = Coupling::Independent;
        ok("voltage", "VOLT 2,7.5", 3, K::Setting, 1, V, 7.5, false, I);
        ok("lower case, spaces", "  volt  1 , 5  ", 3, K::Setting, 0, V, 5, false, I);
        ok("current", "CURR 3,0.25", 3, K::Setting, 2, ChannelSetting::Current, 0.25, false, I);
        ok("over-voltage", "OVP 1,31", 1, K::Setting, 0, ChannelSetting::OverVoltage, 31, false, I);
        ok("exponent", "VOLT 1,1e1", 1, K::Setting, 0, V, 10, false, I);
        ok("output on", "OUTP ON", 0, K::Output, -1, V, 0, true, I);
        ok("output 0", "outp 0", 0, K::Output, -1, V, 0, false, I);
        ok("output 1", "OUTP 1", 0, K::Output, -1, V, 0, true, I);
        ok("track", "COUP TRACK", 0, K::Coupling, -1, V, 0, false, Coupling::Track);
        ok("parallel", "coup par", 0, K::Coupling, -1, V, 0, false, Coupling::Parallel);
        ok("independent", "COUP INDEP", 0, K::Coupling, -1, V, 0, false, I);
        refused("comma as decimal separator", "VOLT 1,1,5", 3, "ERR not a number");
        refused("no value", "VOLT 1", 3, "ERR not a number");
        refused("value not a number", "CURR 1,abc", 3, "ERR not a number");
        refused("infinite", "VOLT 1,inf", 3, "ERR not a number");
        refused("channel 0", "VOLT 0,5", 3, "ERR no such channel");
        refused("channel past the last", "OVP 4,5", 3, "ERR no such channel");
        refused("channel before value", "VOLT 9,abc", 3, "ERR no such channel");
        refused("no channel", "VOLT", 3, "ERR no such channel");
        refused("channel not a number", "VOLT x,5", 3, "ERR no such channel");
        refused("output neither", "OUTP YES", 3, "ERR expected ON or OFF");
        refused("output nothing", "OUTP", 3, "ERR expected ON or OFF");
        refused("coupling unknown", "COUP SERIES", 3, "ERR expected INDEP, TRACK or PAR");
        refused("a query", "VOLT? 1", 3, "ERR not a set command");
        refused("another command", "MEAS:VOLT? 1", 3, "ERR not a set command");
        refused("empty", "", 3, "ERR not a set command");
    }
    void setCommandText()
    {
        QFETCH(QString, line);
        QFETCH(int, channels);
        QFETCH(QString, refusal);
        const auto parsed = SetCommand::parse(line, channels);
        QCOMPARE(SetCommand::isSetWord(SetCommand::wordOf(line)), refusal != "ERR not a set command");
        if (!refusal.isEmpty()) {
            QVERIFY(std::holds_alternative<QString>(parsed));
            QCOMPARE(std::get<QString>(parsed), refusal);
            return;
        }
        if (const QString *unexpected = std::get_if<QString>(&parsed))
            QFAIL(qPrintable(*unexpected));
        QFETCH(int, kind);
        QFETCH(int, channel);
        QFETCH(int, setting);
        QFETCH(double, value);
        QFETCH(bool, on);
        QFETCH(int, coupling);
        SetCommand expected;
        expected.kind = static_cast<SetCommand::Kind>(kind);
        expected.channel = channel;
        expected.setting = static_cast<ChannelSetting>(setting);
        expected.value = value;
        expected.on = on;
        expected.coupling = static_cast<Coupling>(coupling);
        QCOMPARE(std::get<SetCommand>(parsed), expected);
    }

    // Applied through the model as a script's change, with the model's
    // limits; the outcome as the scripts' reply text.
    void setCommandApplied()
    {
        SimProcess threeOutputs;
        SimProcess oneOutput;
        QVERIFY(threeOutputs.start({"--model", "KMA-3303T", "--no-noise"}));
        QVERIFY(oneOutput.start({"--model", "KMB-6001", "--no-noise", "--tcp", "0"}));
        Instrument a;
        Instrument b;
        openAndIdentify(a, threeOutputs, false, "KMA-3303T");
        openAndIdentify(b, oneOutput, true, "KMB-6001");
        const auto reply = [](Instrument &instrument, const QString &line) {
            const auto parsed = SetCommand::parse(line, instrument.channelCount());
            if (const QString *refusal = std::get_if<QString>(&parsed))
                return *refusal;
            return SetCommand::replyTo(
                wait([&](OutcomeHandler done) { std::get<SetCommand>(parsed).apply(instrument, done); }));
        };
        QSignalSpy settings(&a, &Instrument::settingChanged);
        QCOMPARE(reply(a, "VOLT 2,7.5"), QString("OK"));
        QVERIFY(threeOutputs.received().contains(":CHAN2:VOLT 7.5"));
        QCOMPARE(settings.size(), 1);
        QCOMPARE(settings.first().at(2).value<ChangeSource>(), ChangeSource::Script);
        QCOMPARE(reply(a, "OUTP ON"), QString("OK"));
        QCOMPARE(a.output(), std::optional(true));
        QCOMPARE(reply(a, "COUP TRACK"), QString("OK"));
        QCOMPARE(a.coupling(), std::optional(Coupling::Track));

        // Refused before anything is sent.
        const qsizetype sent = threeOutputs.received().size();
        QCOMPARE(reply(a, "VOLT 2,99"), QString("ERR out of range 0 to 30"));
        QCOMPARE(reply(a, "VOLT 1,5"), QString("ERR field locked"));
        QCOMPARE(reply(b, "COUP PAR"), QString("ERR no coupling on this model"));
        a.noteAutoRun(true, ChangeSource::Instrument);
        QCOMPARE(reply(a, "COUP INDEP"), QString("ERR coupling locked"));
        a.noteAutoRun(false, ChangeSource::Instrument);
        QTest::qWait(100);
        QCOMPARE(threeOutputs.received().size(), sent);

        // The other outcomes' texts.
        QCOMPARE(SetCommand::replyTo({Outcome::Kind::InstrumentError, "-222,Data out of range"}),
                 QString("ERR instrument: -222,Data out of range"));
        QCOMPARE(SetCommand::replyTo(Outcome::refused("not connected")), QString("ERR not connected"));
        oneOutput.kill();
        QCOMPARE(wait([&](OutcomeHandler done) { b.measure(0, done); }).kind, Outcome::Kind::LinkLost);
        QCOMPARE(reply(b, "OUTP OFF"), QString("ERR link lost"));
    }

    void unknownModelAndClosedPort()
    {
        SimProcess sim;
        QVERIFY(sim.start({"--model", "KMA-3303T", "--no-noise"}));
        Instrument instrument;
        std::optional<QString> opened;
        instrument.open(linkTo(sim, false), settings, [&](const QString &error) { opened = error; });
        QTRY_VERIFY(opened.has_value());
        const Outcome unknown =
            wait([&](OutcomeHandler done) { instrument.identify([](const QString &) { return nullptr; }, done); });
        QCOMPARE(unknown.kind, Outcome::Kind::Refused);
        QVERIFY(unknown.text.startsWith("unknown model: \"KMA-3303T\""));
        QCOMPARE(instrument.state(), ConnectionState::Idle);

        LinkOptions nowhere;
        nowhere.kind = LinkOptions::Kind::Serial;
        nowhere.port = "/nonexistent/tty";
        opened.reset();
        instrument.open(nowhere, settings, [&](const QString &error) { opened = error; });
        QVERIFY(opened && !opened->isEmpty());
    }

    void reconnectionWantsTheSameInstrument_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("why");
        const QString lost = "QV Instruments,KMA-3303T,SN-A,1.0";
        QTest::newRow("same, newer firmware") << "QV Instruments,KMA-3303T,SN-A,1.1" << QString();
        QTest::newRow("another serial number") << "QV Instruments,KMA-3303T,SN-B,1.0"
                                               << "the KMA-3303T there has serial number SN-B, not SN-A";
        QTest::newRow("no serial number") << "QV Instruments,KMA-3303T,,1.0"
                                          << "the KMA-3303T there has serial number (none), not SN-A";
        QTest::newRow("another model") << "QV Instruments,KMA-3305P,SN-A,1.0"
                                       << "a KMA-3305P answers there instead of the KMA-3303T";
        QTest::newRow("garbage") << "?"
                                 << "the reply to *IDN? names no model: \"?\"";
    }

    void reconnectionWantsTheSameInstrument()
    {
        QFETCH(QString, reply);
        QFETCH(QString, why);
        QCOMPARE(LinkReconnector::mismatch("QV Instruments,KMA-3303T,SN-A,1.0", reply), why);
    }

    // The same supply back on its path is taken up again; an empty path
    // past the time allowed ends the tries with the reason.
    void reconnectorTakesUpTheLinkAgain()
    {
        SimProcess first;
        QVERIFY(first.start({"--model", "KMA-3303T", "--no-noise", "--serial", "SN-7"}));
        SimProcess again; // on the first one's path, which lives in its folder
        const QString path = first.link();
        Instrument instrument;
        openAndIdentify(instrument, first, false, "KMA-3303T");
        const QString identity = instrument.identity();
        QVERIFY(identity.contains("SN-7"));

        LinkReconnector reconnector(instrument, settings);
        QSignalSpy trying(&reconnector, &LinkReconnector::trying);
        QSignalSpy reconnected(&reconnector, &LinkReconnector::reconnected);
        QSignalSpy gaveUp(&reconnector, &LinkReconnector::gaveUp);
        first.kill();
        reconnector.start(ReconnectPolicy{true, 1, 0}, identity);
        // A try finding a stranger on a reused terminal waits out its 5 s.
        QTRY_VERIFY_WITH_TIMEOUT(trying.size() >= 2, 15000);
        QVERIFY(again.start({"--model", "KMA-3303T", "--no-noise", "--serial", "SN-7"}, path));
        QTRY_COMPARE_WITH_TIMEOUT(reconnected.size(), 1, 10000);
        QCOMPARE(reconnected.at(0).at(0).toInt(), trying.size());
        QVERIFY(!reconnector.isActive() && gaveUp.isEmpty());
        instrument.setState(ConnectionState::Running);
        QVERIFY(wait([&](OutcomeHandler done) { instrument.measure(0, done); }).done());

        again.kill();
        ManualClock clock;
        reconnector.start(ReconnectPolicy{true, 1, 1}, identity);
        clock.advance(120);
        QTRY_COMPARE_WITH_TIMEOUT(gaveUp.size(), 1, 5000);
        QVERIFY2(
            gaveUp.at(0).at(0).toString().startsWith("no answer from serial port " + path + " for 1 minute (last: "),
            qPrintable(gaveUp.at(0).at(0).toString()));
        QVERIFY(!reconnector.isActive());
    }
};

QTEST_GUILESS_MAIN(TestInstrument)
#include "tst_instrument.moc"
