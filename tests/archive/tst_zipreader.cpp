#include "archive/zipreader.h"

#include "support/testfiles.h"
#include "support/zipwriter.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QRegularExpression>
#include <QtTest>

#include <sys/stat.h>
#include "support/table.h"

using namespace kora::archive;
using namespace kora::testsupport;

Q_DECLARE_METATYPE(kora::archive::UnpackLimits)

namespace {

// A fresh, empty folder below the test's scratch working folder.
QString freshDir(const QString &name)
{
    const QString path = QDir::current().absoluteFilePath(name);
    QDir(path).removeRecursively();
    QDir().mkpath(path);
    return path;
}

// Every entry below `dir` ("a/", "a/b.png", "link@"), links not followed; `skip` and what is
// below it left out.
QStringList tree(const QString &dir, const QString &skip = QString())
{
    QStringList list;
    QDirIterator it(dir, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QString relative = QDir(dir).relativeFilePath(it.filePath());
        if (!skip.isEmpty() && (relative == skip || relative.startsWith(skip + QLatin1Char('/'))))
            continue;
        const QFileInfo info = it.fileInfo();
        list << relative + (info.isSymLink() ? QStringLiteral("@") : info.isDir() ? QStringLiteral("/") : QString());
    }
    list.sort();
    return list;
}

// The tree plus every file's bytes: "intact" means all of it is equal.
QMap<QString, QByteArray> snapshot(const QString &dir)
{
    QMap<QString, QByteArray> map;
    for (const QString &entry : tree(dir))
        map.insert(entry, entry.endsWith(QLatin1Char('/')) || entry.endsWith(QLatin1Char('@')) ? QByteArray() : readFile(dir + QLatin1Char('/') + entry));
    return map;
}

QByteArray pattern(int size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 x = seed | 1;
    for (int i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        // Half noise, half runs: deflate has something to do either way.
        bytes[i] = (i / 512) % 2 ? char(x) : char('a' + (i / 64) % 26);
    }
    return bytes;
}

ZipEntry timed(ZipEntry e, const QDateTime &local)
{
    e.dosDate = dosDate(local.date());
    e.dosTime = dosTime(local.time());
    return e;
}

// A target folder with earlier content, for the cases that must leave it alone.
QString oldTarget(const QString &root)
{
    const QString target = root + QStringLiteral("/pics");
    QDir().mkpath(target + QStringLiteral("/sub"));
    writeFile(target + QStringLiteral("/old.txt"), "old picture");
    writeFile(target + QStringLiteral("/sub/old2.txt"), "older picture");
    return target;
}

UnpackLimits limits(qint64 total, qint64 ratio, qint64 floor, int entries = 65535)
{
    UnpackLimits l;
    l.maxTotalBytes = total;
    l.maxRatio = ratio;
    l.ratioFloorBytes = floor;
    l.maxEntries = entries;
    return l;
}

} // namespace

class TestZipReader : public QObject
{
    Q_OBJECT
private slots:
    void roundTrip()
    {
        const QString root = freshDir(QStringLiteral("roundtrip"));
        const QDateTime t1(QDate(2021, 1, 15), QTime(10, 20, 30), Qt::LocalTime);
        const QDateTime t2(QDate(2019, 11, 3), QTime(23, 59, 58), Qt::LocalTime);
        const QDateTime t3(QDate(1999, 2, 28), QTime(0, 0, 0), Qt::LocalTime);
        const QByteArray stored = pattern(40000, 1);  // more than one copy chunk
        const QByteArray packed = pattern(100000, 2); // more than one inflate chunk
        ZipEntry readme = timed(zipFile("readme.txt", stored, 0), t1);
        readme.extra = QByteArray::fromHex("5554050003a0b1c2d3"); // a timestamp field
        const QList<ZipEntry> entries = {
            readme,
            zipFolder("pics/"),
            timed(zipFile("pics/a.png", packed), t2),
            timed(zipFile("pics/empty.png", QByteArray()), t3),
            zipFolder("pics/sub/"),
        };
        const QString zip = root + QStringLiteral("/image.zip");
        writeFile(zip, buildZip(entries));

        QTest::ignoreMessage(QtInfoMsg, QRegularExpression(QStringLiteral("文件数量 5$")));
        const QString target = root + QStringLiteral("/image");
        const UnpackResult r = unpackArchive(zip, target);
        QVERIFY2(r.ok, qPrintable(r.reason));
        QCOMPARE(r.files, 3);
        QCOMPARE(r.folders, 2);
        QCOMPARE(r.skipped, 0);
        QCOMPARE(r.bytes, qint64(stored.size() + packed.size()));
        QCOMPARE(tree(target), QStringList({"pics/", "pics/a.png", "pics/empty.png", "pics/sub/", "readme.txt"}));
        QCOMPARE(readFile(target + "/readme.txt"), stored);
        QCOMPARE(readFile(target + "/pics/a.png"), packed);
        const QList<QPair<QString, QDateTime>> times = {{"readme.txt", t1}, {"pics/a.png", t2}, {"pics/empty.png", t3}};
        for (const auto &t : times) {
            const QDateTime modified = QFileInfo(target + QLatin1Char('/') + t.first).lastModified();
            QVERIFY2(qAbs(modified.secsTo(t.second)) < 2, qPrintable(t.first + ": " + modified.toString(Qt::ISODate)));
        }
        QCOMPARE(tree(root, QStringLiteral("image")), QStringList({"image.zip"})); // no temporary folder left
    }
    void hostileNames_data()
    {
        columns<QByteArray, int>({"name", "flags"});
        QTest::addColumn<QStringList>("expected"); // the tree it makes, the file last; empty: skipped
        QTest::addColumn<QString>("why");      // the warning of a skipped entry
        const QString parent = QStringLiteral("parent folder");
        const QString control = QStringLiteral("control character");
        QTest::newRow("../../x.png") << QByteArray("../../x.png") << 0 << QStringList() << parent;
        QTest::newRow("/etc/x") << QByteArray("/etc/x") << 0 << QStringList{"etc/", "etc/x"} << QString();
        QTest::newRow("NUL") << QByteArray("a\0b.png", 7) << 0 << QStringList() << control;
        QTest::newRow("UTF-8 flagged") << QByteArray("图片/一.png") << 0x800 << QStringList{"图片/", "图片/一.png"} << QString();
        QTest::newRow("not UTF-8: code page 437") << QByteArray("\x82\x94.png") << 0 << QStringList{"éö.png"} << QString();
        // Short components: only the path limit refuses it, not the file system.
        QTest::newRow("300 characters") << QByteArray("abcdefghi/").repeated(29) + "abcdef.png" << 0 << QStringList()
                                        << QStringLiteral("path of \\d+ characters");
        // The reader writes below "<target>.new-XXXXXX/".
        const int base = QDir::current().absoluteFilePath(QStringLiteral("hostile/w/x/y/target")).size() + 12;
        if (base < 250) {
            const QByteArray fits = QByteArray("d/") + QByteArray(260 - base - 6, 'n') + ".png";
            QTest::newRow("path of 261 characters") << fits + "x" << 0 << QStringList() << QStringLiteral("path of 261 characters");
        }
    }
    void hostileNames()
    {
        QFETCH(QByteArray, name);
        QFETCH(int, flags);
        QFETCH(QStringList, expected);
        QFETCH(QString, why);
        const QString root = freshDir(QStringLiteral("hostile"));
        const QString target = root + QStringLiteral("/w/x/y/target");
        QDir().mkpath(root + QStringLiteral("/w/x/y"));
        ZipEntry e = zipFile(name, "picture");
        e.flags = quint16(flags);
        writeFile(root + "/in.zip", buildZip({e}));
        const QStringList before = tree(root, QStringLiteral("w/x/y/target"));

        if (!why.isEmpty())
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(why));
        const UnpackResult r = unpackArchive(root + "/in.zip", target);

        QVERIFY2(r.ok, qPrintable(r.reason)); // a skipped name does not fail the archive
        QCOMPARE(r.skipped, int(expected.isEmpty()));
        QCOMPARE(r.files, int(!expected.isEmpty()));
        QCOMPARE(tree(target), expected);
        if (!expected.isEmpty())
            QCOMPARE(readFile(target + QLatin1Char('/') + expected.last()), QByteArray("picture"));
        QCOMPARE(tree(root, QStringLiteral("w/x/y/target")), before);
    }

    void symlinkEntries()
    {
        const QString root = freshDir(QStringLiteral("symlinkentries"));
        QDir().mkpath(root + "/outside");
        const QString target = root + "/pics";
        const QList<ZipEntry> entries = {
            zipUnix("link.png", "/etc/passwd", 0120777),
            zipUnix("dir", "../outside", 0120777),
            zipFile("dir/evil.png", "picture"),
            zipFile("ok.png", "picture"),
        };
        writeFile(root + "/in.zip", buildZip(entries));
        const UnpackResult r = unpackArchive(root + "/in.zip", target);
        QVERIFY2(r.ok, qPrintable(r.reason));
        QCOMPARE(r.skipped, 2);
        QCOMPARE(r.files, 2);
        QCOMPARE(tree(target), QStringList({"dir/", "dir/evil.png", "ok.png"}));
        QCOMPARE(tree(root + "/outside"), QStringList());
    }
    void oldTargetWithSymlink()
    {
        const QString root = freshDir(QStringLiteral("oldlink"));
        QDir().mkpath(root + "/outside");
        writeFile(root + "/outside/keep.txt", "keep");
        const QString target = root + "/pics";
        QDir().mkpath(target);
        QVERIFY(QFile::link(root + "/outside", target + "/sub"));
        writeFile(root + "/in.zip", buildZip({zipFile("sub/evil.png", "picture")}));
        const UnpackResult r = unpackArchive(root + "/in.zip", target);
        QVERIFY2(r.ok, qPrintable(r.reason));
        QCOMPARE(tree(root + "/outside"), QStringList({"keep.txt"})); // neither written nor removed through the link
        QCOMPARE(tree(target), QStringList({"sub/", "sub/evil.png"}));
    }

    void failures_data()
    {
        columns<QByteArray, UnpackLimits, uint, QString>({"zip", "limits", "code", "log"});
        const UnpackLimits normal;
        QTest::newRow("honest size over the total limit") << buildZip({zipFile("zeros.png", QByteArray(4 << 20, '\0'))})
            << limits(1 << 20, 200, 1 << 20) << uint(ZipReader::SizeLimit) << "pass the limit";
        QTest::newRow("too many entries") << buildZip({zipFile("a", "1"), zipFile("b", "2"), zipFile("c", "3")})
            << limits(1 << 30, 200, 1 << 26, 2) << uint(ZipReader::SizeLimit) << "3 entries";
        ZipEntry longer = zipFile("bomb.png", QByteArray(100000, '\0'));
        longer.uncompressedSize = 1000;
        QTest::newRow("data longer than declared") << buildZip({longer}) << normal << uint(ZipReader::FormatError) << "more than its declared 1000";
        ZipEntry crc = zipFile("crc.png", pattern(5000, 5));
        crc.crc = 0x12345678;
        QTest::newRow("CRC mismatch") << buildZip({zipFile("good.png", "good"), crc}) << normal << uint(ZipReader::CrcMismatch) << "crc.png: CRC";
        ZipEntry pastEnd = zipFile("p.png", pattern(100, 7));
        pastEnd.compressedSize = 0x7FFFFFFF;
        QTest::newRow("compressed size past the data") << buildZip({pastEnd}) << normal << uint(ZipReader::FormatError) << "past the data area";
        ZipEntry cutStream = zipFile("g.png", rawDeflate(pattern(3000, 8)).left(500), 0);
        cutStream.methodField = 8;
        cutStream.uncompressedSize = 3000;
        QTest::newRow("deflate data ends early") << buildZip({cutStream}) << normal << uint(ZipReader::FormatError) << "ends early";
        ZipEntry encrypted = zipFile("e.png", "picture");
        encrypted.flags = 1;
        QTest::newRow("encrypted") << buildZip({encrypted}) << normal << uint(ZipReader::Unsupported) << "encrypted";
        ZipEnd zip64;
        zip64.zip64Locator = true;
        QTest::newRow("ZIP64") << buildZip({zipFile("a.png", "x")}, zip64) << normal << uint(ZipReader::Unsupported) << "ZIP64";
        ZipEnd offset;
        offset.cdOffset = 5;
        QTest::newRow("directory offset lies") << buildZip({zipFile("a.png", "x")}, offset) << normal << uint(ZipReader::FormatError) << "missing";
    }
    void failures()
    {
        QFETCH(QByteArray, zip);
        QFETCH(UnpackLimits, limits);
        QFETCH(uint, code);
        QFETCH(QString, log);
        const QString root = freshDir(QStringLiteral("failures"));
        const QString target = oldTarget(root);
        writeFile(root + "/in.zip", zip);
        const QMap<QString, QByteArray> old = snapshot(target);

        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(log));
        const UnpackResult r = unpackArchive(root + "/in.zip", target, limits);

        QVERIFY(!r.ok);
        QCOMPARE(r.code, code);
        QCOMPARE(snapshot(target), old);
        QCOMPARE(tree(root, QStringLiteral("pics")), QStringList({"in.zip"})); // no temporary folder left
    }

    void interruptedSwapIsRecovered()
    {
        const QString root = freshDir(QStringLiteral("interrupted"));
        const QString target = root + "/pics";
        // As a crash between the renames leaves it: the old pictures aside, a half-made new folder.
        QDir().mkpath(target + ".old-AbC123");
        QDir().mkpath(target + ".new-XyZ789");
        writeFile(target + ".old-AbC123/old.png", "old picture");
        writeFile(target + ".new-XyZ789/half.png", "half");
        writeFile(root + "/in.zip", "not an archive");
        QVERIFY(!unpackArchive(root + "/in.zip", target).ok);
        QCOMPARE(tree(target), QStringList({"old.png"}));
        QCOMPARE(tree(root, QStringLiteral("pics")), QStringList({"in.zip"})); // nothing else left
    }
};

QTEST_GUILESS_MAIN(TestZipReader)
#include "tst_zipreader.moc"
