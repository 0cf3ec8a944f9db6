#include "recording/database/PackedRecordRow.h"

#include <QTest>

#include <array>
#include <limits>

using namespace qle;

class TestPackedRecordRow : public QObject {
    Q_OBJECT

private slots:
    // Every text comes back exactly, whatever it holds; the numbers too.
    void keepsEveryTextVerbatim_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << QString();
        QTest::newRow("reading") << "12.345";
        QTest::newRow("quotes and SQL") << "'; drop table datatemp; --\"";
        QTest::newRow("non-ASCII") << QString::fromUtf8("超過上限 µA ±0,5 €");
        QTest::newRow("NUL and separators") << QString::fromUtf8("a\0b\x1f\n", 6);
        QTest::newRow("127 bytes") << QString(127, u'x'); // one length digit at most
        QTest::newRow("128 bytes") << QString(128, u'y'); // two
        QTest::newRow("64 KB") << QString(65536, u'z');
    }
    void keepsEveryTextVerbatim()
    {
        QFETCH(QString, text);
        for (int field = 0; field < 11; ++field) {
            RecordRow row;
            row.seqNo = 604800;
            row.timeTick = 1LL << 40;
            row.diffLastTime = -3;
            row.recTime = "2026/12/08 04:00:00";
            for (std::size_t ch = 0; ch < 3; ++ch) {
                row.pval[ch] = QString("v%1").arg(ch);
                row.sval[ch] = QString("a%1").arg(ch);
                row.reason[ch] = QString::number(ch + 1);
            }
            row.comment = "c";
            // The text in one field at a time, so that it shifts the others.
            QString *fields[11] = {&row.recTime, &row.pval[0],   &row.sval[0],   &row.reason[0],
                                   &row.pval[1], &row.sval[1],   &row.reason[1], &row.pval[2],
                                   &row.sval[2], &row.reason[2], &row.comment};
            *fields[field] = text;

            const PackedRecordRow packed(row);
            // Packed from the UTF-8 bytes as a table holds them: the same row.
            std::array<QByteArray, PackedRecordRow::TextCount> utf8;
            std::array<QByteArrayView, PackedRecordRow::TextCount> views;
            for (std::size_t f = 0; f < utf8.size(); ++f) {
                utf8.at(f) = fields[f]->toUtf8();
                views.at(f) = utf8.at(f);
            }
            const PackedRecordRow fromBytes(row.seqNo, row.timeTick, row.diffLastTime, views);
            QCOMPARE(fromBytes.unpacked().recTime, row.recTime);
            QCOMPARE(fromBytes.comment(), row.comment);
            QCOMPARE(fromBytes.seqNo(), row.seqNo);
            QCOMPARE(fromBytes.unpacked().timeTick, row.timeTick);
            QCOMPARE(fromBytes.unpacked().diffLastTime, row.diffLastTime);
            for (int ch = 0; ch < 3; ++ch) {
                const auto i = static_cast<std::size_t>(ch);
                QCOMPARE(fromBytes.pval(ch), row.pval[i]);
                QCOMPARE(fromBytes.sval(ch), row.sval[i]);
                QCOMPARE(fromBytes.reason(ch), row.reason[i]);
            }
            const RecordRow back = packed.unpacked();
            QCOMPARE(back.seqNo, row.seqNo);
            QCOMPARE(back.timeTick, row.timeTick);
            QCOMPARE(back.diffLastTime, row.diffLastTime);
            QCOMPARE(back.recTime, row.recTime);
            QCOMPARE(back.comment, row.comment);
            for (int ch = 0; ch < 3; ++ch) {
                const auto i = static_cast<std::size_t>(ch);
                QCOMPARE(packed.pval(ch), row.pval[i]);
                QCOMPARE(packed.sval(ch), row.sval[i]);
                QCOMPARE(packed.reason(ch), row.reason[i]);
            }
            QCOMPARE(packed.seqNo(), row.seqNo);
            QCOMPARE(packed.recTime(), row.recTime);
            QCOMPARE(packed.comment(), row.comment);

            // The numbers lead the block: their extremes leave the texts where they were.
            row.seqNo = std::numeric_limits<qint64>::min();
            row.timeTick = std::numeric_limits<qint64>::max();
            row.diffLastTime = 0;
            const RecordRow extreme = PackedRecordRow(row).unpacked();
            QCOMPARE(extreme.seqNo, row.seqNo);
            QCOMPARE(extreme.timeTick, row.timeTick);
            QCOMPARE(extreme.diffLastTime, 0);
            QCOMPARE(extreme.recTime, row.recTime);
            QCOMPARE(extreme.pval, row.pval);
            QCOMPARE(extreme.sval, row.sval);
            QCOMPARE(extreme.reason, row.reason);
            QCOMPARE(extreme.comment, row.comment);
        }
    }

    void commentCanBeReplaced()
    {
        RecordRow row;
        row.recTime = "2026/12/08 04:00:00";
        row.pval[0] = "5.000";
        row.comment = "before";
        PackedRecordRow packed(row);
        const PackedRecordRow copy = packed;
        packed.setComment(QString(300, u'n'));
        QCOMPARE(packed.comment(), QString(300, u'n'));
        QCOMPARE(packed.pval(0), QString("5.000"));
        QCOMPARE(packed.recTime(), row.recTime);
        QCOMPARE(copy.comment(), QString("before")); // a copy keeps its own
        QCOMPARE(PackedRecordRow().comment(), QString());
        QCOMPARE(PackedRecordRow().pval(2), QString());
    }
};

QTEST_GUILESS_MAIN(TestPackedRecordRow)
#include "tst_packedrecordrow.moc"
