// The client's local files under a temporary root.
#include "settings/store.h"

#include <QDir>
#include <QTemporaryDir>
#include "support/testfiles.h"
#include "support/testmain.h"

using kora::settings::Store;

class TestStore : public QObject
{
    Q_OBJECT
private slots:
    void settingsAndStarsSurviveARestart()
    {
        QTemporaryDir root;
        {
            Store store(root.path());
            store.load();
            store.values.username = QStringLiteral("admin");
            store.values.password = QStringLiteral("Admin#2024");
            store.values.loginfail = 3;
            QVERIFY(store.save());
            QVERIFY(store.saveStarred({"10.0.0.7", "10.0.0.8"}));
        }
        Store again(root.path());
        again.load();
        QCOMPARE(again.values.password, QStringLiteral("Admin#2024"));
        QCOMPARE(again.values.loginfail, 3);
        QCOMPARE(again.starred(), (QStringList{"10.0.0.7", "10.0.0.8"}));
        // The password never reaches the disk as typed.
        QFile ini(again.dataFile("control.ini"));
        QVERIFY(ini.open(QIODevice::ReadOnly));
        QVERIFY(!ini.readAll().contains("Admin#2024"));
    }

    void thePictureMarkIsTheCachedContainersMd5_data()
    {
        columns<bool, QString>({"cached", "md5"});
        QTest::newRow("no pic.dat: the MD5 of no bytes") << false << "d41d8cd98f00b204e9800998ecf8427e";
        QTest::newRow("pic.dat") << true << "900150983cd24fb0d6963f7d28e17f72"; // "abc"
    }
    void thePictureMarkIsTheCachedContainersMd5()
    {
        QFETCH(bool, cached);
        QTemporaryDir root;
        Store store(root.path());
        if (cached)
            writeFile(store.dataFile("pic.dat"), "abc");
        store.load();
        QTEST(store.values.picMd5, "md5");
    }

    void clearingRemovesTheCacheAndNothingBeside()
    {
        QTemporaryDir root;
        Store store(root.path());
        writeFile(store.dataFile("device.json"), "{}");
        writeFile(store.imageDir() + "/a.png", "png");
        writeFile(root.filePath("keep.txt"), "mine");
        QVERIFY(store.clear());
        for (const QString &dir : {store.dataDir(), store.imageDir(), store.logDir()})
            QVERIFY2(!QDir(dir).exists(), qPrintable(dir));
        QVERIFY(QFile::exists(root.filePath("keep.txt")));
    }
};

KORA_TEST(TestStore)
#include "tst_store.moc"
