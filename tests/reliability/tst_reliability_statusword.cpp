#include "protocol/LegacyStatusWord.h"

#include <QTest>

using namespace qle;

Q_DECLARE_METATYPE(std::optional<Coupling>)
Q_DECLARE_METATYPE(std::optional<bool>)

// The legacy status word read without the panel, so that odd replies can be
// tried without a window (the fuzz target legacystatusword does the same at
// random).
class TestStatusWord : public QObject {
    Q_OBJECT

private slots:
    void fields_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<std::optional<Coupling>>("coupling");
        QTest::addColumn<std::optional<bool>>("output");
        const std::optional<Coupling> none;
        QTest::newRow("independent, off") << "00010000" << std::optional(Coupling::Independent) << std::optional(false);
        QTest::newRow("parallel, on") << "00100011" << std::optional(Coupling::Parallel) << std::optional(true);
        QTest::newRow("track, on") << "00110010" << std::optional(Coupling::Track) << std::optional(true);
        QTest::newRow("spaces between the digits")
            << "0 0 0 1 0 0 0 0" << std::optional(Coupling::Independent) << std::optional(false);
        QTest::newRow("spaces everywhere")
            << "  00 10  001 1 " << std::optional(Coupling::Parallel) << std::optional(true);
        QTest::newRow("coupling 00 changes nothing") << "00000010" << none << std::optional(true);
        QTest::newRow("too short for the output bit") << "001" << none << std::optional<bool>();
        QTest::newRow("six characters") << "001000" << std::optional(Coupling::Parallel) << std::optional<bool>();
        QTest::newRow("empty") << "" << none << std::optional<bool>();
        QTest::newRow("output bit not 0 or 1")
            << "0001002x" << std::optional(Coupling::Independent) << std::optional<bool>();
        QTest::newRow("tab is not a space")
            << "\t0010001" << std::optional(Coupling::Independent) << std::optional(false);
        QTest::newRow("line end left on") << "00100011\r" << std::optional(Coupling::Parallel) << std::optional(true);
        QTest::newRow("garbage") << QString::fromLatin1("\xb4\xfe\xdb\xf6\x80\x90\xa6") << none
                                 << std::optional<bool>();
        QTest::newRow("non-Latin digits") << QString::fromUtf8("00\u0661\u06600001") << none << std::optional(false);
    }
    void fields()
    {
        QFETCH(QString, reply);
        QFETCH(std::optional<Coupling>, coupling);
        QFETCH(std::optional<bool>, output);
        const LegacyStatusWord word = LegacyStatusWord::parse(reply);
        QVERIFY(word.coupling == coupling);
        QVERIFY(word.output == output);
    }
};

QTEST_APPLESS_MAIN(TestStatusWord)
#include "tst_reliability_statusword.moc"
