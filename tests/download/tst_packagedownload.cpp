// The project download without a network: requests go to a recording sender, files are
// handed over as the receiver would, the cache is a temporary folder.
#include "download/packagedownload.h"
#include "support/recordingsender.h"
#include "support/testmain.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

using kora::download::FileEntry;
using kora::download::PackageDownload;
using kora::download::Source;

namespace {
const Source kHost{QStringLiteral("10.0.0.9"), QStringLiteral("7"), QStringLiteral("10.0.0.2")};

QByteArray md5(const QByteArray &data)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex();
}

QString request(const QString &name, const QString &missing = QString())
{
    return QStringLiteral("{DownloadFile;7;%1;10.0.0.2,54322,7000,1000%2} -> 10.0.0.9:41234")
        .arg(name, missing.isEmpty() ? QString() : QLatin1Char(';') + missing);
}
} // namespace

class TestPackageDownload : public QObject
{
    Q_OBJECT

    // A download into a fresh cache, asking `host` (none while it is empty). The cache is a
    // folder inside the rig's own, so a name that escapes it still lands in a fresh folder.
    struct Rig {
        QTemporaryDir dir;
        QDir folder{[this] { QDir(dir.path()).mkdir(QStringLiteral("cache")); return dir.filePath(QStringLiteral("cache")); }()};
        RecordingSender sender;
        Source host = kHost;
        PackageDownload download{sender, [this] { return host; }, folder.path()};

        QByteArray cached(const QString &name) const
        {
            QFile f(folder.filePath(name));
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
        }
        void cache(const QString &name, const QByteArray &data)
        {
            QFile f(folder.filePath(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(data);
        }
    };

private slots:
    void requestsCarryTheMissingFragmentsInOneDatagram()
    {
        QByteArray many;
        for (int i = 0; many.size() < 70000; ++i)
            many += QByteArray::number(100000 + i) + ',';
        many.chop(1);
        // Cut after the last whole number that fits.
        const QByteArray fits = many.left(many.lastIndexOf(',', PackageDownload::kMaxMissingBytes));
        const QByteArray bytes = kora::download::fileRequest(kHost, QStringLiteral("a.jui"), many);
        QCOMPARE(QString::fromLatin1(bytes) + QStringLiteral(" -> 10.0.0.9:41234"), request("a.jui", QString::fromLatin1(fits)));
        QVERIFY(bytes.size() < 65000);
    }

    // Cached files with the listed MD5 are not asked for; the rest come one by one, and the
    // package is complete only when the last is on disk.
    void onlyFilesNotCachedAreAskedForInTurn()
    {
        Rig rig;
        rig.cache("language.txt", "hello");
        QSignalSpy complete(&rig.download, &PackageDownload::complete);
        rig.download.setListed({{"language.txt", md5("hello")}, {"device.json", md5("{}")}, {"a.jui", md5("ui")}});
        QSignalSpy requested(&rig.download, &PackageDownload::requested);
        QVERIFY(rig.download.requestNext());
        QCOMPARE(rig.sender.sent, QStringList{request("device.json")});
        QCOMPARE(requested.size(), 1);
        QCOMPARE(requested.first().first().toBool(), true); // a new file: the watchdog restarts

        rig.download.fileArrived("{}", true, md5("{}"));
        QCOMPARE(rig.sender.sent.last(), request("a.jui"));
        QCOMPARE(complete.size(), 0);
        rig.download.fileArrived("ui", true, md5("ui"));
        QCOMPARE(complete.size(), 1);
        QCOMPARE(rig.sender.sent.size(), 2);
        QCOMPARE(rig.cached("device.json"), QByteArray("{}"));
        QCOMPARE(rig.cached("a.jui"), QByteArray("ui"));
        QVERIFY(!rig.download.requestNext());
    }

    // A damaged transfer never replaces the cached copy: one more try, then the login is told.
    void aFileThatFailsItsCheckTwiceEndsTheDownload()
    {
        Rig rig;
        rig.cache("a.jui", "old");
        QSignalSpy failed(&rig.download, &PackageDownload::failed);
        rig.download.setListed({{"a.jui", md5("new")}});
        QVERIFY(rig.download.requestNext());
        rig.download.fileArrived("nex", true, md5("nex"));
        QCOMPARE(rig.sender.sent, (QStringList{request("a.jui"), request("a.jui")}));
        QCOMPARE(failed.size(), 0);
        rig.download.fileArrived("nex", true, md5("nex"));
        QCOMPARE(failed.size(), 1);
        QVERIFY(failed.last().first().toString().contains("a.jui"));
        QCOMPARE(rig.sender.sent.size(), 2);
        QCOMPARE(rig.cached("a.jui"), QByteArray("old"));
    }

    void gapsAreAskedForAndRepeatsAskAgain()
    {
        Rig rig;
        rig.download.setListed({{"a.jui", md5("ui")}});
        QVERIFY(rig.download.requestNext());
        QSignalSpy requested(&rig.download, &PackageDownload::requested);
        rig.download.fileArrived("4,5", false, QByteArray());
        rig.download.repeat();
        QCOMPARE(rig.sender.sent, (QStringList{request("a.jui"), request("a.jui", "4,5"), request("a.jui")}));
        QCOMPARE(requested.size(), 2);
        QVERIFY(!requested.at(0).first().toBool() && !requested.at(1).first().toBool()); // neither restarts the watchdog
    }

    // Every way a file can be refused ends the download with a reason, and nothing reaches disk.
    void refusedFilesEndTheDownload_data()
    {
        columns<QString, bool, bool>({"listed", "withHost", "complete"});
        QTest::newRow("gaps, and no host to ask") << "a.jui" << false << false;
        QTest::newRow("a name outside the cache") << "../a.jui" << true << true;
    }
    void refusedFilesEndTheDownload()
    {
        QFETCH(QString, listed);
        QFETCH(bool, withHost);
        QFETCH(bool, complete);
        Rig rig;
        QSignalSpy failed(&rig.download, &PackageDownload::failed);
        QSignalSpy done(&rig.download, &PackageDownload::complete);
        rig.download.setListed({{listed, md5("ui")}});
        QVERIFY(rig.download.requestNext());
        if (!withHost)
            rig.host = Source{};
        rig.download.fileArrived("ui", complete, complete ? md5("ui") : QByteArray());
        QCOMPARE(failed.size(), 1);
        QCOMPARE(done.size(), 0);
        QCOMPARE(rig.folder.entryList(QDir::Files) + QDir(rig.dir.path()).entryList(QDir::Files), QStringList());
    }

    // The pictures unchanged, an older host sends its configuration alone (the pictures
    // first is tst_session's); one too short to hold anything ends the download.
    void anOlderConfigurationAlone()
    {
        Rig rig;
        QSignalSpy failed(&rig.download, &PackageDownload::failed);
        rig.download.startOlder(false);
        rig.download.fileArrived("[]", true, md5("[]"));
        QCOMPARE(rig.sender.sent, QStringList{request("config_host.cfg")});
        QCOMPARE(failed.size(), 1);
    }
};

KORA_TEST(TestPackageDownload)
KORA_TEST_MAIN(QCoreApplication)
#include "tst_packagedownload.moc"
