#include "protocol/ParseMachineType.h"

#include <QTest>

using namespace qle;

class TestParseMachineType : public QObject {
    Q_OBJECT

private slots:
    void parses_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("model");
        QTest::newRow("two-word maker") << "QV Instruments,KMA-3303T,SN000123,1.0"
                                        << "KMA-3303T";
        QTest::newRow("one-word maker") << "QVPower,QLE-5505,SN1,2.1"
                                        << "QLE-5505";
        QTest::newRow("four words") << "QV Instruments KMB-6001 SN9"
                                    << "KMB-6001";
        QTest::newRow("maker with two spaces") << "QV Power Instruments,KMA-3303T,SN1,1.0"
                                               << "InstrumentsKMA-3303T";
        QTest::newRow("no second comma") << "QV Instruments,KMA-3303T"
                                         << "";
        QTest::newRow("three words only") << "QV Instruments KMA-3303T"
                                          << "";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("empty model field") << "QV,,SN,1"
                                           << "";
    }
    void parses()
    {
        QFETCH(QString, reply);
        QFETCH(QString, model);
        QCOMPARE(ParseMachineType(reply), model);
    }
};

QTEST_GUILESS_MAIN(TestParseMachineType)
#include "tst_parsemachinetype.moc"
