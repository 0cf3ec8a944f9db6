// The graph recorder's texts and axis tables, without any window.
#include "recording/graph/GraphFormat.h"
#include "recording/graph/GraphScales.h"

#include <QTest>

#include <bit>
#include <charconv>
#include <cmath>
#include <optional>

using namespace qle;
using namespace qle::graph;

class TestGraphFormat : public QObject {
    Q_OBJECT

private slots:
    void totalTime_data()
    {
        QTest::addColumn<qint64>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << qint64{0} << "0:0:0";
        QTest::newRow("ten seconds") << qint64{10} << "0:0:10";
        QTest::newRow("3599 s") << qint64{3599} << "0:59:59";
        QTest::newRow("3725 s") << qint64{3725} << "1:2:5";
        QTest::newRow("23:59:59") << qint64{86399} << "23:59:59";
        QTest::newRow("one day") << qint64{86400} << "1D 0:0:0";
        QTest::newRow("90061 s") << qint64{90061} << "1D 1:1:1";
        QTest::newRow("seven days") << qint64{7 * 86400 + 3661} << "7D 1:1:1";
    }
    void totalTime()
    {
        QFETCH(qint64, seconds);
        QFETCH(QString, text);
        QCOMPARE(FormatTotalTime(seconds), text);
    }

    // Labels read as elapsed hours, minutes and seconds.
    void elapsedLabels_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("text");
        QTest::newRow("start h:n:ss") << 0.0 << "h:n:ss"
                                      << "0:0:00";
        QTest::newRow("one minute") << 60.0 << "h:n:ss"
                                    << "0:1:00";
        QTest::newRow("5 min 7 s") << 307.0 << "h:n:ss"
                                   << "0:5:07";
        QTest::newRow("an hour") << 3600.0 << "h:n:ss"
                                 << "1:0:00";
        QTest::newRow("h:nn") << 3900.0 << "h:nn"
                              << "1:05";
        QTest::newRow("h:nn drops seconds") << 14390.0 << "h:nn"
                                            << "3:59";
        QTest::newRow("hh:nn") << 7 * 60.0 << "hh:nn"
                               << "00:07";
        QTest::newRow("hh:nn end of 1Day") << 86340.0 << "hh:nn"
                                           << "23:59";
        QTest::newRow("beyond a day is not wrapped") << 90000.0 << "hh:nn"
                                                     << "25:00";
        QTest::newRow("rounded to the second") << 59.6 << "h:n:ss"
                                               << "0:1:00";
        QTest::newRow("negative") << -65.0 << "h:n:ss"
                                  << "-0:1:05";
    }
    void elapsedLabels()
    {
        QFETCH(double, seconds);
        QFETCH(QString, pattern);
        QFETCH(QString, text);
        QCOMPARE(formatElapsed(seconds / 86400.0, pattern), text);
    }

    void leadingNumbers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::newRow("plain") << "5.012" << 5.012;
        QTest::newRow("integer") << "12" << 12.0;
        QTest::newRow("spaces and unit") << "  3.30V" << 3.3;
        QTest::newRow("signed") << "-0.25" << -0.25;
        QTest::newRow("exponent") << "1.5e-3A" << 0.0015;
        QTest::newRow("leading point") << ".5" << 0.5;
        QTest::newRow("empty") << "" << 0.0;
        QTest::newRow("not a number") << "OVP" << 0.0;
        QTest::newRow("number later") << "V 5" << 0.0;
        QTest::newRow("plus sign") << "+2.5V" << 2.5;
        QTest::newRow("trailing point") << "7." << 7.0;
        QTest::newRow("exponent without digits") << "3e" << 3.0;
        QTest::newRow("nearest double") << "0.1" << 0.1;
        QTest::newRow("overflow is no reading") << "1e999" << 0.0;
        QTest::newRow("seventy digits") << QString(70, u'1') << 1.1111111111111111e69;
        QTest::newRow("past 2^53: rounded to even") << "9007199254740993" << 9007199254740992.0;
        QTest::newRow("twenty-two places") << "0.0000000000000000000001" << 1e-22;
        QTest::newRow("no-break space first") << QString::fromUtf8("\u00a05.5") << 5.5;
        QTest::newRow("ideographic space first") << QString::fromUtf8("\u30001.25") << 1.25;
        QTest::newRow("letter beyond ASCII first") << QString::fromUtf8("\u00e95") << 0.0;
    }
    // The same number from the text and from its UTF-8 bytes, to the bit.
    void leadingNumbers()
    {
        QFETCH(QString, text);
        QFETCH(double, value);
        QCOMPARE(leadingNumber(text), value);
        const std::optional<double> fromText = readingValue(text);
        const std::optional<double> fromBytes = readingValue(QByteArrayView(text.toUtf8()));
        QCOMPARE(fromBytes.has_value(), fromText.has_value());
        if (fromText)
            QCOMPARE(std::bit_cast<quint64>(*fromBytes), std::bit_cast<quint64>(*fromText));
    }

    // Readings as a panel writes them are converted without from_chars, to
    // the same double to the bit.
    void readingsAsFromChars()
    {
        quint64 state = 12345;
        for (int i = 0; i < 20000; ++i) {
            state = state * 6364136223846793005ULL + 1442695040888963407ULL;
            const int places = static_cast<int>(state >> 60) % 10;
            const double drawn = static_cast<double>(state >> 11) / 9007199254740992.0 * 1000 - 500;
            const QByteArray text = QByteArray::number(drawn, 'f', places);
            double expected = 0;
            std::from_chars(text.constData(), text.constData() + text.size(), expected);
            const std::optional<double> value = readingValue(QByteArrayView(text));
            QVERIFY2(value && std::bit_cast<quint64>(*value) == std::bit_cast<quint64>(expected), text.constData());
        }
    }

    void clockTexts_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << 0.0 << "00:00:00";
        QTest::newRow("rounded") << 59.6 << "00:01:00";
        QTest::newRow("an hour and a bit") << 3725.0 << "01:02:05";
        QTest::newRow("last second of a day") << 86399.0 << "23:59:59";
        QTest::newRow("26 hours: the part below 24") << 26 * 3600.0 << "02:00:00";
        QTest::newRow("a week and a minute") << 7 * 86400.0 + 60 << "00:01:00";
        QTest::newRow("negative counts as its size") << -65.0 << "00:01:05";
    }
    void clockTexts()
    {
        QFETCH(double, seconds);
        QFETCH(QString, text);
        QCOMPARE(clockText(seconds / 86400), text);
    }

    void readoutTexts_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("integer") << 15.0 << "15";
        QTest::newRow("half") << 2.5 << "2.5";
        QTest::newRow("difference of readings") << 5.1 - 5.0 << "0.1";
        QTest::newRow("small") << 0.00001 << "1E-05";
        QTest::newRow("negative") << -0.75 << "-0.75";
    }
    void readoutTexts()
    {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(readoutText(value), text);
    }

    // Read-outs round to the places given, drop trailing zeros, add the unit.
    void readoutTextsWithUnits()
    {
        QCOMPARE(readoutText(2.77397, 4, "V"), QString("2.774 V"));
        QCOMPARE(readoutText(16.00049, 4, "V"), QString("16.0005 V"));
        QCOMPARE(readoutText(0.5, 4, "A"), QString("0.5 A"));
        QCOMPARE(readoutText(-0.00001, 4, "A"), QString("0 A"));
        QCOMPARE(patternDecimals("##0.000"), 3);
        QCOMPARE(patternDecimals("###0"), 0);
    }

    // Axis labels carry the places their tick step needs, at most those of
    // its first two significant digits.
    void tickDecimals_data()
    {
        QTest::addColumn<double>("step");
        QTest::addColumn<int>("decimals");
        QTest::newRow("15") << 15.0 << 0;
        QTest::newRow("7.5") << 7.5 << 1;
        QTest::newRow("1.25") << 1.25 << 2;
        QTest::newRow("0.25") << 0.25 << 2;
        QTest::newRow("zoomed 0.3014") << 0.3014 << 2;
        QTest::newRow("zoomed 0.0041734") << 0.0041734 << 4;
        QTest::newRow("0.0075") << 0.0075 << 4;
        QTest::newRow("nothing") << 0.0 << 0;
    }
    void tickDecimals()
    {
        QFETCH(double, step);
        QFETCH(int, decimals);
        QCOMPARE(graph::tickDecimals(step), decimals);
    }

    void timeTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("seconds");
        QTest::newRow("0:5:00") << "0:5:00" << 300;
        QTest::newRow("1:0:00") << "1:0:00" << 3600;
        QTest::newRow("h:m 1:00") << "1:00" << 3600;
        QTest::newRow("12:00") << "12:00" << 43200;
        QTest::newRow("23:59") << "23:59" << 86340;
        QTest::newRow("garbage") << "soon" << 0;
    }
    void timeTexts()
    {
        QFETCH(QString, text);
        QFETCH(int, seconds);
        QCOMPARE(std::lround(timeTextToDays(text) * 86400), long{seconds});
    }

    // The time-length list by sample-interval position.
    void timeLengthLists_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("slice");
        QTest::addColumn<QStringList>("entries");
        const QStringList minutes{"5m", "10m", "20m", "30m", "60m"};
        const QStringList hours{"1 Hr", "3 Hr", "6 Hr", "12Hr", "1Day"};
        QTest::newRow("1 second") << 0 << 1 << minutes;
        QTest::newRow("5 seconds") << 2 << 5 << minutes;
        QTest::newRow("30 seconds") << 4 << 30 << minutes;
        QTest::newRow("1 min") << 5 << 60 << hours;
        QTest::newRow("1 Hour") << 9 << 3600 << hours;
    }
    void timeLengthLists()
    {
        QFETCH(int, position);
        QFETCH(int, slice);
        QFETCH(QStringList, entries);
        QCOMPARE(timeSlice(position), slice);
        QCOMPARE(timeLengthEntries(timeSlice(position)), entries);
    }

    void timeLengthTable_data()
    {
        QTest::addColumn<int>("slice");
        QTest::addColumn<int>("entry");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("format");
        QTest::addColumn<int>("divisions");
        QTest::addColumn<int>("rangeEndSeconds");
        QTest::newRow("5m") << 1 << 0 << "Elapsed Time [Sec]"
                            << "h:n:ss" << 5 << 300;
        QTest::newRow("10m") << 1 << 1 << "Elapsed Time [Sec]"
                             << "h:n:ss" << 5 << 600;
        QTest::newRow("20m") << 1 << 2 << "Elapsed Time [Sec]"
                             << "h:n:ss" << 5 << 1200;
        QTest::newRow("30m") << 1 << 3 << "Elapsed Time [Sec]"
                             << "h:n:ss" << 5 << 1800;
        QTest::newRow("60m") << 1 << 4 << "Elapsed Time [Sec]"
                             << "h:n:ss" << 6 << 3600;
        QTest::newRow("1 Hr") << 60 << 0 << "Elapsed Time [min]"
                              << "h:nn" << 6 << 3600;
        QTest::newRow("3 Hr") << 60 << 1 << "Elapsed Time [min]"
                              << "h:nn" << 6 << 10800;
        QTest::newRow("6 Hr") << 60 << 2 << "Elapsed Time [Min]"
                              << "h:nn" << 6 << 21600;
        QTest::newRow("12Hr") << 60 << 3 << "Elapsed Time [Min]"
                              << "h:nn" << 6 << 43200;
        QTest::newRow("1Day ends at 23:59") << 60 << 4 << "Elapsed Time [Min]"
                                            << "hh:nn" << 6 << 86340;
    }
    void timeLengthTable()
    {
        QFETCH(int, slice);
        QFETCH(int, entry);
        QFETCH(QString, caption);
        QFETCH(QString, format);
        QFETCH(int, divisions);
        QFETCH(int, rangeEndSeconds);
        const TimeLength &length = timeLengths(slice)[static_cast<std::size_t>(entry)];
        QCOMPARE(QString::fromLatin1(length.caption), caption);
        QCOMPARE(QString::fromLatin1(length.labelFormat), format);
        QCOMPARE(length.divisions, divisions);
        QCOMPARE(std::lround(rangeEndDays(length) * 86400), long{rangeEndSeconds});
    }

    void rangeLists()
    {
        const QStringList volts = voltageRanges();
        QCOMPARE(volts.size(), 23);
        QCOMPARE(volts.mid(0, 4), QStringList({"Default", "1 V", "5V", "10V"}));
        QCOMPARE(volts.last(), QString("105V"));

        const QStringList amps = currentRanges();
        QCOMPARE(amps.size(), 21);
        QCOMPARE(amps.mid(0, 5), QStringList({"Default", "0.1 A", "0.5A", "1A", "1.5A"}));
        QCOMPARE(amps.mid(10, 3), QStringList({"4.5A", "5A", "10A"}));
        QCOMPARE(amps.last(), QString("50A"));
    }

    void shortestNumbers_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("10.2") << 10.2 << "10.2";
        QTest::newRow("whole") << 105.0 << "105";
        QTest::newRow("half") << 0.5 << "0.5";
        QTest::newRow("three decimals") << 0.998 << "0.998";
    }
    void shortestNumbers()
    {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(numberText(value), text);
    }
};

QTEST_GUILESS_MAIN(TestGraphFormat)
#include "tst_graphformat.moc"
