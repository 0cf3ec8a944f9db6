#include "platform/FormatPattern.h"

#include <QTest>

using namespace qle;

class TestFormatPattern : public QObject {
    Q_OBJECT

private slots:
    void renders_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("text");
        QTest::newRow("whole keeps the point") << 5.0 << "###0.###"
                                               << "5.";
        QTest::newRow("one fraction digit") << 2.5 << "###0.###"
                                            << "2.5";
        QTest::newRow("cut to thousandths") << 0.1234 << "###0.###"
                                            << "0.123";
        QTest::newRow("rounds half up") << 1.23456 << "###0.###"
                                        << "1.235";
        QTest::newRow("half away from zero") << 0.0005 << "###0.###"
                                             << "0.001";
        QTest::newRow("decimal half, not binary") << 2.675 << "0.00"
                                                  << "2.68";
        QTest::newRow("rounds into the integer") << 9.9996 << "###0.###"
                                                 << "10.";
        QTest::newRow("no grouping") << 12345.5 << "###0.###"
                                     << "12345.5";
        QTest::newRow("zero") << 0.0 << "###0.###"
                              << "0.";
        QTest::newRow("fixed two") << 5.0 << "0.00"
                                   << "5.00";
        QTest::newRow("fixed three") << 0.0 << "0.000"
                                     << "0.000";
        QTest::newRow("fixed rounds") << 1.2349 << "0.000"
                                      << "1.235";
        QTest::newRow("average two required") << 3.0 << "###0.00#"
                                              << "3.00";
        QTest::newRow("average optional third") << 3.1234 << "###0.00#"
                                                << "3.123";
        QTest::newRow("average one digit") << 3.1 << "###0.00#"
                                           << "3.10";
        QTest::newRow("negative") << -2.5 << "0.00"
                                  << "-2.50";
        QTest::newRow("negative half away") << -1.0005 << "###0.###"
                                            << "-1.001";
        QTest::newRow("negative rounds to zero") << -0.0001 << "0.00"
                                                 << "0.00";
        QTest::newRow("no point") << 12.6 << "0"
                                  << "13";
        QTest::newRow("optional integer") << 0.5 << "#.##"
                                          << ".5";
        QTest::newRow("tiny") << 1e-7 << "0.000"
                              << "0.000";
        QTest::newRow("tiny keeps its digits") << 3.25e-17 << "0.###################"
                                               << "0.0000000000000000325";
        QTest::newRow("tiny rounds at the last digit") << 1.5e-6 << "0.000000"
                                                       << "0.000002";
        QTest::newRow("large written out") << 1.5e20 << "0.0"
                                           << "150000000000000000000.0";
        QTest::newRow("leading zeros") << 7.0 << "000.0"
                                       << "007.0";
    }
    void renders()
    {
        QFETCH(double, value);
        QFETCH(QString, pattern);
        QFETCH(QString, text);
        QCOMPARE(FormatPattern(value, pattern), text);
    }

    void rendersWithAPointInAnyLocale()
    {
        const QLocale saved;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(FormatPattern(2.5, "###0.###"), QString("2.5"));
        bool ok = false;
        QCOMPARE(ReadNumber("12.000", &ok), 12.0);
        QVERIFY(ok);
        QLocale::setDefault(saved);
    }

    void readsNumbers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::addColumn<bool>("ok");
        QTest::newRow("three decimals") << "12.000" << 12.0 << true;
        QTest::newRow("spaces") << " 1.5 " << 1.5 << true;
        QTest::newRow("negative") << "-0.25" << -0.25 << true;
        QTest::newRow("comma is not a point") << "2,5" << 0.0 << false;
        QTest::newRow("garbage") << "abc" << 0.0 << false;
        QTest::newRow("unit letter") << "12.000V" << 0.0 << false;
        QTest::newRow("empty") << "" << 0.0 << false;
        QTest::newRow("infinite") << "inf" << 0.0 << false;
    }
    void readsNumbers()
    {
        QFETCH(QString, text);
        QFETCH(double, value);
        QFETCH(bool, ok);
        bool converted = true;
        QCOMPARE(ReadNumber(text, &converted), value);
        QCOMPARE(converted, ok);
    }
};

QTEST_GUILESS_MAIN(TestFormatPattern)
#include "tst_formatpattern.moc"
