// The client's local files under a temporary root.
#include "settings/store.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include "support/testmain.h"

using kora::settings::Store;

class TestStore : public QObject
{
    Q_OBJECT

    static void write(const QString &path, const QByteArray &data)
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(data);
    }

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
            write(store.dataFile("pic.dat"), "abc");
        store.load();
        QTEST(store.values.picMd5, "md5");
    }

    void clearingRemovesTheCacheAndNothingBeside()
    {
        QTemporaryDir root;
        Store store(root.path());
        write(store.dataFile("device.json"), "{}");
        write(store.imageDir() + "/a.png", "png");
        write(root.filePath("keep.txt"), "mine");
        QVERIFY(store.clear());
        for (const QString &dir : {store.dataDir(), store.imageDir(), store.logDir()})
            QVERIFY2(!QDir(dir).exists(), qPrintable(dir));
        QVERIFY(QFile::exists(root.filePath("keep.txt")));
    }
};

KORA_TEST(TestStore)
#include "tst_store.moc"
