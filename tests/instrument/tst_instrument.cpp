#include "instrument/Instrument.h"
#include "instrument/LinkReconnector.h"
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
        QTRY_VERIFY_WITH_TIMEOUT(trying.size() >= 2, 5000);
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
