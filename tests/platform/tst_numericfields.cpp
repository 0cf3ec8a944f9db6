#include "platform/widgets/CWButton.h"
#include "platform/widgets/CWNumEdit.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

using namespace qle;

class TestNumericFields : public QObject {
    Q_OBJECT

private:
    static void typeInto(CWNumEdit &field, const QString &text)
    {
        QLineEdit *line = field.spinBox()->findChild<QLineEdit *>();
        QVERIFY(line);
        line->selectAll();
        QTest::keyClicks(line, text);
        QTest::keyClick(line, Qt::Key_Return);
    }

private slots:
    void programWritesAreSilentUserEditsAreReported()
    {
        CWNumEdit field(2);
        field.setMaximum(30);
        field.setFormatString("0.00");
        QSignalSpy spy(&field, &CWNumEdit::ValueChanged);
        field.setValue(12);
        QCOMPARE(spy.count(), 0);
        QCOMPARE(field.Value(), 12.0);
        QCOMPARE(field.spinBox()->text(), QString("12.00"));

        field.show();
        typeInto(field, "5");
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toInt(), 2);
        QCOMPARE(spy.at(0).at(1).toDouble(), 5.0);
        QCOMPARE(spy.at(0).at(2).toDouble(), 12.0);
    }

    void keepsTypedPrecisionAndAcceptsBothSeparators()
    {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        CWNumEdit field;
        field.setLocale(QLocale(QLocale::German, QLocale::Germany));
        field.spinBox()->setLocale(QLocale(QLocale::German, QLocale::Germany));
        field.setMaximum(30);
        field.setFormatString("0.000");
        field.show();
        QSignalSpy spy(&field, &CWNumEdit::ValueChanged);
        typeInto(field, "2,5");
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(1).toDouble(), 2.5);
        QCOMPARE(field.spinBox()->text(), QString("2,500"));
        typeInto(field, "1.23456");
        QCOMPARE(spy.count(), 2);
        QCOMPARE(spy.at(1).at(1).toDouble(), 1.23456);
        QCOMPARE(field.textForValue(1.23456), QString("1.235"));
        QLocale::setDefault(QLocale::c());
    }

    void valuesBelowMinimumReachTheOwnerAboveMaximumAreCapped()
    {
        CWNumEdit field;
        field.setMaximum(30);
        field.show();
        QSignalSpy spy(&field, &CWNumEdit::ValueChanged);
        typeInto(field, "-1");
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(1).toDouble(), -1.0);
        field.setValue(99);
        QCOMPARE(field.Value(), 30.0);
    }

    void toggleReportsOnlyRealChanges()
    {
        CWButton button("Output");
        QSignalSpy changed(&button, &CWButton::ValueChanged);
        QSignalSpy clicked(&button, &CWButton::Clicked);
        button.setValue(false);
        QCOMPARE(changed.count(), 0);
        button.setValue(true);
        QCOMPARE(changed.count(), 1);
        button.setValue(true);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(clicked.count(), 0);
        button.click();
        QCOMPARE(changed.count(), 2);
        QCOMPARE(button.Value(), false);
        QCOMPARE(clicked.count(), 1);
    }
};

QTEST_MAIN(TestNumericFields)
#include "tst_numericfields.moc"
