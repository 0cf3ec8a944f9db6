#include "platform/DataFolder.h"
#include "platform/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace qle;

class TestSettingsStore : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_config.isValid());
        qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
    }

    void storesTextUnderTheApplicationName()
    {
        QSettingsStore store;
        QCOMPARE(store.GetSetting("ReadTimes", "ReadTimes", "5"), QString("5"));
        store.SaveSetting("Common", "CommType", "RS232");
        store.SaveInt("RS232", "BaudRate", 4800);
        QCOMPARE(store.GetSetting("Common", "CommType", ""), QString("RS232"));
        QVERIFY(QFile::exists(m_config.filePath("QLE-1-0.conf")));
        QSettings raw(m_config.filePath("QLE-1-0.conf"), QSettings::IniFormat);
        QCOMPARE(raw.value("RS232/BaudRate").toString(), QString("4800"));
    }

    void handEditedIntegersAreDefaultedOrClamped_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("expected");
        QTest::newRow("number") << "12" << 12;
        QTest::newRow("spaces") << " 7 " << 7;
        QTest::newRow("too large") << "70000" << 32;
        QTest::newRow("negative") << "-3" << 0;
        QTest::newRow("not a number") << "five" << 5;
        QTest::newRow("empty") << "" << 5;
        QTest::newRow("nan") << "nan" << 5;
        QTest::newRow("fraction") << "2.9" << 2;
    }
    void handEditedIntegersAreDefaultedOrClamped()
    {
        QFETCH(QString, stored);
        QFETCH(int, expected);
        QSettingsStore store;
        store.SaveSetting("ReadTimes", "ReadTimes", stored);
        QCOMPARE(store.GetInt("ReadTimes", "ReadTimes", 5, 0, 32), expected);
    }

    void dataFolderChoice()
    {
        QTemporaryDir root;
        const QString exeDir = root.filePath("bin");
        const QString userDir = root.filePath("user/data");
        const QString shipped = root.filePath("share/qle/mtype.mdb");
        QVERIFY(QDir().mkpath(exeDir));
        QVERIFY(QDir().mkpath(root.filePath("share/qle")));
        QFile file(shipped);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("catalogue");
        file.close();
        QCOMPARE(DataFolder::shippedCatalogue(exeDir), QDir(exeDir).absoluteFilePath("../share/qle/mtype.mdb"));

        // Beside the program when writable, seeded once.
        DataFolder::Choice choice = DataFolder::resolve({}, exeDir, userDir, shipped);
        QCOMPARE(choice.folder, QDir(exeDir).absolutePath());
        QVERIFY(choice.seeded);
        QVERIFY(QFile::exists(QDir(exeDir).filePath("mtype.mdb")));
        QVERIFY(!DataFolder::resolve({}, exeDir, userDir, shipped).seeded);

        // A command-line folder is taken as it is, never seeded.
        const QString given = root.filePath("given");
        choice = DataFolder::resolve(given, exeDir, userDir, shipped);
        QCOMPARE(choice.folder, QDir(given).absolutePath());
        QVERIFY(!choice.seeded);
        QVERIFY(!QFile::exists(QDir(given).filePath("mtype.mdb")));

        // A read-only program folder sends the data to the per-user folder.
        if (QFile::setPermissions(exeDir, QFile::ReadOwner | QFile::ExeOwner) && !QFileInfo(exeDir).isWritable()) {
            choice = DataFolder::resolve({}, exeDir, userDir, shipped);
            QCOMPARE(choice.folder, QDir(userDir).absolutePath());
            QVERIFY(choice.seeded);
            QFile::setPermissions(exeDir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
    }

private:
    QTemporaryDir m_config;
};

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_settingsstore.moc"
