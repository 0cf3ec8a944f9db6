#include "platform/widgets/FrmDebug.h"

#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace qle;

class TestFrmDebug : public QObject {
    Q_OBJECT

private slots:
    void listIsClearedPastTheLimitWhileTheLogKeepsEverything()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(QDir::setCurrent(dir.path()));
        {
            frmDebug window;
            QCOMPARE(window.windowTitle(), QString("Report"));
            for (int i = 1; i <= frmDebug::MaxListEntries; ++i)
                window.printd("line " + QString::number(i));
            QCOMPARE(window.lstReport()->count(), frmDebug::MaxListEntries);
            window.printd("line 20001");
            QCOMPARE(window.lstReport()->count(), 0);
            window.printd("line 20002");
            QCOMPARE(window.lstReport()->count(), 1);
        }
        {
            // A second load of the window keeps appending to the same log.
            frmDebug again;
            again.printd("after reload");
        }
        QFile log(dir.filePath("KMAxLog.txt"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = log.readAll().split('\n');
        QCOMPARE(lines.first(), QByteArray("Version: 1.0\r"));
        QCOMPARE(lines.at(1), QByteArray("line 1\r"));
        QCOMPARE(lines.at(20001), QByteArray("line 20001\r"));
        QCOMPARE(lines.at(20003), QByteArray("after reload\r"));
        QCOMPARE(lines.size(), 20005); // the last CR LF leaves an empty tail
    }
};

QTEST_MAIN(TestFrmDebug)
#include "tst_frmdebug.moc"
