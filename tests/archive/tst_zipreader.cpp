#include "archive/zipreader.h"

#include "support/testfiles.h"
#include "support/zipwriter.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QRegularExpression>
#include <QtTest>

#include <sys/stat.h>

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

// The tree a single file at `relative` makes: its folders and itself.
QStringList treeOf(const QString &relative)
{
    QStringList list;
    const QStringList components = relative.split(QLatin1Char('/'));
    for (int i = 1; i < components.size(); ++i)
        list << QStringList(components.mid(0, i)).join(QLatin1Char('/')) + QLatin1Char('/');
    list << relative;
    list.sort();
    return list;
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
        const QList<ZipEntry> entries = {
            timed(zipFile("readme.txt", stored, 0), t1),
            zipFolder("pics/"),
            timed(zipFile("pics/a.png", packed), t2),
            timed(zipFile("pics/empty.png", QByteArray()), t3),
            zipFolder("pics/sub/"),
        };
        const QString zip = root + QStringLiteral("/image.zip");
        writeFile(zip, buildZip(entries));

        ZipReader reader;
        QCOMPARE(reader.open(zip), ZipReader::Ok);
        QCOMPARE(reader.count(), 5);
        ZipItem item;
        QCOMPARE(reader.item(2, &item), ZipReader::Ok);
        QCOMPARE(item.rawName, QByteArray("pics/a.png"));
        QCOMPARE(item.name, QStringLiteral("pics/a.png"));
        QCOMPARE(item.method, 8);
        QCOMPARE(item.uncompressedSize, qint64(packed.size()));
        QVERIFY(item.compressedSize < item.uncompressedSize);
        QCOMPARE(item.modified, t2);
        QVERIFY(!item.isDirectory);
        QCOMPARE(reader.item(4, &item), ZipReader::Ok);
        QVERIFY(item.isDirectory);
        reader.close();

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
        QVERIFY(QFileInfo::exists(target + "/pics/empty.png"));
        QCOMPARE(readFile(target + "/pics/empty.png"), QByteArray());
        const QList<QPair<QString, QDateTime>> times = {{"readme.txt", t1}, {"pics/a.png", t2}, {"pics/empty.png", t3}};
        for (const auto &t : times) {
            const QDateTime modified = QFileInfo(target + QLatin1Char('/') + t.first).lastModified();
            QVERIFY2(qAbs(modified.secsTo(t.second)) < 2, qPrintable(t.first + ": " + modified.toString(Qt::ISODate)));
        }
        QCOMPARE(tree(root), QStringList({"image.zip", "image/", "image/pics/", "image/pics/a.png", "image/pics/empty.png",
                                          "image/pics/sub/", "image/readme.txt"}));
    }

    void dosTimes_data()
    {
        QTest::addColumn<int>("date");
        QTest::addColumn<int>("time");
        QTest::addColumn<QDateTime>("expected"); // invalid: the file keeps the time of its writing
        QTest::newRow("valid") << int(dosDate(QDate(2022, 1, 2))) << int(dosTime(QTime(3, 4, 6)))
                               << QDateTime(QDate(2022, 1, 2), QTime(3, 4, 6), Qt::LocalTime);
        QTest::newRow("date zero") << 0 << 0 << QDateTime();
        QTest::newRow("month 13") << ((42 << 9) | (13 << 5) | 1) << 0 << QDateTime();
        QTest::newRow("February 30") << ((42 << 9) | (2 << 5) | 30) << 0 << QDateTime();
        QTest::newRow("hour 24") << int(dosDate(QDate(2022, 1, 2))) << (24 << 11) << QDateTime();
        QTest::newRow("second 60") << int(dosDate(QDate(2022, 1, 2))) << 30 << QDateTime();
    }
    void dosTimes()
    {
        QFETCH(int, date);
        QFETCH(int, time);
        QFETCH(QDateTime, expected);
        const QString root = freshDir(QStringLiteral("times"));
        ZipEntry e = zipFile("t.png", "x");
        e.dosDate = quint16(date);
        e.dosTime = quint16(time);
        writeFile(root + "/in.zip", buildZip({e}));
        const QDateTime before = QDateTime::currentDateTime();
        const UnpackResult r = unpackArchive(root + "/in.zip", root + "/out");
        QVERIFY2(r.ok, qPrintable(r.reason));
        ZipReader reader;
        QCOMPARE(reader.open(root + "/in.zip"), ZipReader::Ok);
        ZipItem item;
        QCOMPARE(reader.item(0, &item), ZipReader::Ok);
        QCOMPARE(item.modified, expected);
        const QDateTime modified = QFileInfo(root + "/out/t.png").lastModified();
        if (expected.isValid())
            QVERIFY2(qAbs(modified.secsTo(expected)) < 2, qPrintable(modified.toString(Qt::ISODate)));
        else
            QVERIFY2(qAbs(modified.secsTo(before)) < 60, qPrintable(modified.toString(Qt::ISODate)));
    }

    void hostileNames_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<int>("flags");
        QTest::addColumn<QString>("expected"); // empty: skipped
        QTest::addColumn<QString>("why");      // the warning of a skipped entry
        const QString parent = QStringLiteral("parent folder");
        const QString control = QStringLiteral("control character");
        QTest::newRow("../../x.png") << QByteArray("../../x.png") << 0 << QString() << parent;
        QTest::newRow("..\\..\\x.png") << QByteArray("..\\..\\x.png") << 0 << QString() << parent;
        QTest::newRow("C:\\x.png") << QByteArray("C:\\x.png") << 0 << QStringLiteral("x.png") << QString();
        QTest::newRow("C:x.png") << QByteArray("C:x.png") << 0 << QStringLiteral("x.png") << QString();
        QTest::newRow("/etc/x") << QByteArray("/etc/x") << 0 << QStringLiteral("etc/x") << QString();
        QTest::newRow("\\\\server\\share\\x") << QByteArray("\\\\server\\share\\x") << 0 << QStringLiteral("server/share/x") << QString();
        QTest::newRow("a/../../x") << QByteArray("a/../../x") << 0 << QString() << parent;
        QTest::newRow("a/..") << QByteArray("a/..") << 0 << QString() << parent;
        QTest::newRow("..") << QByteArray("..") << 0 << QString() << parent;
        QTest::newRow("a/../b.png") << QByteArray("a/../b.png") << 0 << QString() << parent;
        QTest::newRow(".") << QByteArray(".") << 0 << QString() << QStringLiteral("empty name");
        QTest::newRow("a/./b.png") << QByteArray("a/./b.png") << 0 << QStringLiteral("a/b.png") << QString();
        QTest::newRow("a\\b.png") << QByteArray("a\\b.png") << 0 << QStringLiteral("a/b.png") << QString();
        QTest::newRow("//a//b.png") << QByteArray("//a//b.png") << 0 << QStringLiteral("a/b.png") << QString();
        QTest::newRow("a/.../b.png is a name") << QByteArray("a/.../b.png") << 0 << QStringLiteral("a/.../b.png") << QString();
        QTest::newRow("empty") << QByteArray() << 0 << QString() << QStringLiteral("empty name");
        QTest::newRow("only separators") << QByteArray("/\\//") << 0 << QString() << QStringLiteral("empty name");
        QTest::newRow("NUL") << QByteArray("a\0b.png", 7) << 0 << QString() << control;
        QTest::newRow("\\x01") << QByteArray("\x01.png") << 0 << QString() << control;
        QTest::newRow("DEL") << QByteArray("a\x7f.png") << 0 << QString() << control;
        QTest::newRow("colon inside") << QByteArray("a/b:c.png") << 0 << QString() << QStringLiteral("colon");
        QTest::newRow("UTF-8 flagged") << QByteArray("图片/一.png") << 0x800 << QStringLiteral("图片/一.png") << QString();
        QTest::newRow("UTF-8 without the flag") << QByteArray("图片/一.png") << 0 << QStringLiteral("图片/一.png") << QString();
        QTest::newRow("not UTF-8: code page 437") << QByteArray("\x82\x94.png") << 0 << QStringLiteral("éö.png") << QString();
        QTest::newRow("not UTF-8 but flagged") << QByteArray("\x82\x94.png") << 0x800 << QString() << QStringLiteral("flagged UTF-8 but is not");
        // Short components: only the path limit refuses it, not the file system.
        QTest::newRow("300 characters") << QByteArray("abcdefghi/").repeated(29) + "abcdef.png" << 0 << QString()
                                        << QStringLiteral("path of \\d+ characters");
        // The reader writes below "<target>.new-XXXXXX/".
        const int base = QDir::current().absoluteFilePath(QStringLiteral("hostile/w/x/y/target")).size() + 12;
        if (base < 250) {
            const QByteArray fits = QByteArray("d/") + QByteArray(260 - base - 6, 'n') + ".png";
            QTest::newRow("path of 260 characters") << fits << 0 << QString::fromLatin1(fits) << QString();
            QTest::newRow("path of 261 characters") << fits + "x" << 0 << QString() << QStringLiteral("path of 261 characters");
        }
    }
    void hostileNames()
    {
        QFETCH(QByteArray, name);
        QFETCH(int, flags);
        QFETCH(QString, expected);
        QFETCH(QString, why);
        const QString root = freshDir(QStringLiteral("hostile"));
        const QString target = root + QStringLiteral("/w/x/y/target");
        QDir().mkpath(root + QStringLiteral("/w/x/y"));
        ZipEntry e = zipFile(name, "picture");
        e.flags = quint16(flags);
        writeFile(root + "/in.zip", buildZip({e}));
        const QStringList absolutes = {"/x.png", "/etc/x", "/server/share/x", "/a/b.png"};
        QList<bool> existed;
        for (const QString &path : absolutes)
            existed << QFileInfo::exists(path);
        const QStringList before = tree(root, QStringLiteral("w/x/y/target"));

        if (!why.isEmpty())
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(why));
        const UnpackResult r = unpackArchive(root + "/in.zip", target);

        QVERIFY2(r.ok, qPrintable(r.reason)); // a skipped name does not fail the archive
        if (expected.isEmpty()) {
            QCOMPARE(r.skipped, 1);
            QCOMPARE(r.files, 0);
            QCOMPARE(tree(target), QStringList());
        } else {
            QCOMPARE(r.skipped, 0);
            QCOMPARE(r.files, 1);
            QCOMPARE(tree(target), treeOf(expected));
            QCOMPARE(readFile(target + QLatin1Char('/') + expected), QByteArray("picture"));
        }
        QCOMPARE(tree(root, QStringLiteral("w/x/y/target")), before);
        for (int i = 0; i < absolutes.size(); ++i)
            QCOMPARE(QFileInfo::exists(absolutes.at(i)), existed.at(i));
    }

    void permissions_data()
    {
        QTest::addColumn<int>("madeBy");
        QTest::addColumn<uint>("attributes");
        QTest::addColumn<uint>("mode");
        QTest::newRow("MS-DOS host") << 20 << 0x20u << 0644u;
        QTest::newRow("Unix rw-r--r--") << (3 << 8 | 20) << (0100644u << 16) << 0644u;
        QTest::newRow("Unix setuid rwxr-xr-x") << (3 << 8 | 20) << (0104755u << 16) << 0644u;
        QTest::newRow("Unix every bit") << (3 << 8 | 20) << (0107777u << 16) << 0644u;
        QTest::newRow("Unix owner only") << (3 << 8 | 20) << (0100600u << 16) << 0600u;
        QTest::newRow("Unix no bits") << (3 << 8 | 20) << (0100000u << 16) << 0600u;
        QTest::newRow("Unix write for others") << (3 << 8 | 20) << (0100222u << 16) << 0600u;
    }
    void permissions()
    {
        QFETCH(int, madeBy);
        QFETCH(uint, attributes);
        QFETCH(uint, mode);
        const QString root = freshDir(QStringLiteral("permissions"));
        ZipEntry e = zipFile("p.png", "picture");
        e.versionMadeBy = quint16(madeBy);
        e.externalAttributes = attributes;
        writeFile(root + "/in.zip", buildZip({e}));
        const UnpackResult r = unpackArchive(root + "/in.zip", root + "/out");
        QVERIFY2(r.ok, qPrintable(r.reason));
        struct stat st;
        QCOMPARE(::stat(QFile::encodeName(root + "/out/p.png").constData(), &st), 0);
        QCOMPARE(uint(st.st_mode & 07777), mode);
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

    void existingSymlinkNotFollowed_data()
    {
        QTest::addColumn<QString>("link");   // below the base folder
        QTest::addColumn<QString>("points"); // below the scratch root
        QTest::addColumn<QByteArray>("entry");
        QTest::newRow("folder link") << "pics" << "outside" << QByteArray("pics/evil.png");
        QTest::newRow("nested folder link") << "a/pics" << "outside" << QByteArray("a/pics/b/evil.png");
        QTest::newRow("file link") << "evil.png" << "outside/keep.txt" << QByteArray("evil.png");
        QTest::newRow("dangling file link") << "evil.png" << "outside/new.png" << QByteArray("evil.png");
    }
    void existingSymlinkNotFollowed()
    {
        QFETCH(QString, link);
        QFETCH(QString, points);
        QFETCH(QByteArray, entry);
        const QString root = freshDir(QStringLiteral("existinglink"));
        const QString base = root + "/base";
        QDir().mkpath(root + "/outside");
        writeFile(root + "/outside/keep.txt", "keep");
        QDir().mkpath(QFileInfo(base + QLatin1Char('/') + link).absolutePath());
        QVERIFY(QFile::link(root + QLatin1Char('/') + points, base + QLatin1Char('/') + link));
        writeFile(root + "/in.zip", buildZip({zipFile(entry, "picture")}));
        const QMap<QString, QByteArray> outside = snapshot(root + "/outside");

        ZipReader reader;
        QCOMPARE(reader.open(root + "/in.zip"), ZipReader::Ok);
        QCOMPARE(reader.setBaseDir(base), ZipReader::Ok);
        QCOMPARE(reader.unpack(0), ZipReader::UnsafeName);
        QCOMPARE(snapshot(root + "/outside"), outside);
        QCOMPARE(reader.bytesWritten(), qint64(0));
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
        QCOMPARE(readFile(root + "/outside/keep.txt"), QByteArray("keep"));
        QCOMPARE(tree(target), QStringList({"sub/", "sub/evil.png"}));
        QCOMPARE(tree(root), QStringList({"in.zip", "outside/", "outside/keep.txt", "pics/", "pics/sub/", "pics/sub/evil.png"}));
    }

    void failures_data()
    {
        QTest::addColumn<QByteArray>("zip");
        QTest::addColumn<UnpackLimits>("limits");
        QTest::addColumn<uint>("code");
        QTest::addColumn<QString>("log");
        const UnpackLimits normal;
        const QByteArray zeros(4 << 20, '\0');

        QTest::newRow("honest size over the total limit") << buildZip({zipFile("zeros.png", zeros)})
            << limits(1 << 20, 200, 1 << 20) << uint(ZipReader::SizeLimit) << "pass the limit";
        QTest::newRow("honest size over the ratio limit") << buildZip({zipFile("zeros.png", QByteArray(300000, '\0'))})
            << limits(1 << 30, 10, 0) << uint(ZipReader::SizeLimit) << "pass the limit";
        const QByteArray sixty = pattern(60000, 3);
        QTest::newRow("total over several entries")
            << buildZip({zipFile("a.png", sixty, 0), zipFile("b.png", sixty, 0), zipFile("c.png", sixty, 0)})
            << limits(150000, 200, 1 << 30) << uint(ZipReader::SizeLimit) << "c.png.*pass the limit";
        QTest::newRow("too many entries") << buildZip({zipFile("a", "1"), zipFile("b", "2"), zipFile("c", "3")})
            << limits(1 << 30, 200, 1 << 26, 2) << uint(ZipReader::SizeLimit) << "3 entries";

        ZipEntry longer = zipFile("bomb.png", QByteArray(100000, '\0'));
        longer.uncompressedSize = 1000;
        QTest::newRow("data longer than declared") << buildZip({longer}) << normal << uint(ZipReader::FormatError) << "more than its declared 1000";
        ZipEntry shorter = zipFile("short.png", pattern(1000, 4));
        shorter.uncompressedSize = 5000;
        QTest::newRow("data shorter than declared") << buildZip({shorter}) << normal << uint(ZipReader::FormatError) << "1000 bytes, 5000 declared";
        ZipEntry crc = zipFile("crc.png", pattern(5000, 5));
        crc.crc = 0x12345678;
        QTest::newRow("CRC mismatch, deflated") << buildZip({zipFile("good.png", "good"), crc}) << normal
                                                << uint(ZipReader::CrcMismatch) << "crc.png: CRC";
        ZipEntry crcStored = zipFile("crc.png", pattern(5000, 5), 0);
        crcStored.crc = 0;
        QTest::newRow("CRC mismatch, stored") << buildZip({crcStored}) << normal << uint(ZipReader::CrcMismatch) << "CRC";
        ZipEntry storedSizes = zipFile("s.png", pattern(100, 6), 0);
        storedSizes.uncompressedSize = 99;
        QTest::newRow("stored sizes differ") << buildZip({storedSizes}) << normal << uint(ZipReader::FormatError) << "stored entry";
        ZipEntry pastEnd = zipFile("p.png", pattern(100, 7));
        pastEnd.compressedSize = 0x7FFFFFFF;
        QTest::newRow("compressed size past the data") << buildZip({pastEnd}) << normal << uint(ZipReader::FormatError) << "past the data area";
        ZipEntry farHeader = zipFile("p.png", pattern(100, 7));
        farHeader.localHeaderOffset = 0x100000;
        QTest::newRow("local header past the data") << buildZip({farHeader}) << normal << uint(ZipReader::FormatError) << "local header";
        ZipEntry wrongHeader = zipFile("p.png", pattern(100, 7));
        wrongHeader.localHeaderOffset = 1;
        QTest::newRow("no local header there") << buildZip({wrongHeader}) << normal << uint(ZipReader::FormatError) << "no local header";
        ZipEntry garbage = zipFile("g.png", QByteArray(200, '\xff'), 0);
        garbage.methodField = 8;
        QTest::newRow("bad deflate data") << buildZip({garbage}) << normal << uint(ZipReader::FormatError) << "bad deflate data";
        ZipEntry cutStream = zipFile("g.png", rawDeflate(pattern(3000, 8)).left(500), 0);
        cutStream.methodField = 8;
        cutStream.uncompressedSize = 3000;
        const QByteArray inner = pattern(3000, 12);
        ZipEntry trailing = zipFile("t.png", rawDeflate(inner) + "trailing", 0);
        trailing.methodField = 8;
        trailing.uncompressedSize = quint32(inner.size());
        trailing.crc = quint32(crc32(0, reinterpret_cast<const Bytef *>(inner.constData()), uInt(inner.size())));
        QTest::newRow("bytes after the deflate data") << buildZip({trailing}) << normal << uint(ZipReader::FormatError) << "ends before its declared";
        QTest::newRow("deflate data ends early") << buildZip({cutStream}) << normal << uint(ZipReader::FormatError) << "ends early";
        ZipEntry method = zipFile("m.png", "picture", 0);
        method.methodField = 12;
        QTest::newRow("method 12") << buildZip({method}) << normal << uint(ZipReader::Unsupported) << "method 12";
        ZipEntry encrypted = zipFile("e.png", "picture");
        encrypted.flags = 1;
        QTest::newRow("encrypted") << buildZip({encrypted}) << normal << uint(ZipReader::Unsupported) << "encrypted";
        ZipEnd zip64;
        zip64.zip64Locator = true;
        QTest::newRow("ZIP64 locator") << buildZip({zipFile("a.png", "x")}, zip64) << normal << uint(ZipReader::Unsupported) << "ZIP64";
        ZipEntry zip64Size = zipFile("a.png", "x");
        zip64Size.uncompressedSize = 0xFFFFFFFF;
        QTest::newRow("ZIP64 size") << buildZip({zip64Size}) << normal << uint(ZipReader::Unsupported) << "ZIP64";
        ZipEnd disks;
        disks.disk = 1;
        QTest::newRow("several disks") << buildZip({zipFile("a.png", "x")}, disks) << normal << uint(ZipReader::Unsupported) << "several disks";
        ZipEnd offset;
        offset.cdOffset = 5;
        QTest::newRow("directory offset lies") << buildZip({zipFile("a.png", "x")}, offset) << normal << uint(ZipReader::FormatError) << "missing";
        ZipEnd count;
        count.entries = count.entriesOnDisk = 3;
        QTest::newRow("entry count lies") << buildZip({zipFile("a.png", "x")}, count) << normal << uint(ZipReader::FormatError) << "entry 1 is missing";
        QTest::newRow("not an archive") << QByteArray("a picture, honestly, and long enough") << normal << uint(ZipReader::FormatError) << "no end of central directory";
        QTest::newRow("empty file") << QByteArray() << normal << uint(ZipReader::FormatError) << "too short";
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
        QVERIFY(!r.reason.isEmpty());
        QCOMPARE(snapshot(target), old);
        QCOMPARE(tree(root, QStringLiteral("pics")), QStringList({"in.zip"})); // no temporary folder left
    }

    void truncated_data()
    {
        QTest::addColumn<QByteArray>("zip");
        ZipEnd end;
        end.comment = "picture archive";
        const QByteArray full = buildZip({zipFile("a.png", pattern(3000, 9), 0), zipFolder("f/"),
                                          zipFile("f/b.png", pattern(3000, 10))}, end);
        const int cd = full.indexOf("PK\x01\x02");
        const int eocd = full.lastIndexOf("PK\x05\x06");
        QVERIFY(cd > 0 && eocd > cd);
        const QList<QPair<const char *, int>> cuts = {
            {"nothing left", 0}, {"4 bytes", 4}, {"inside the first local header", 21},
            {"inside the first data", 100}, {"inside the deflated data", cd - 50}, {"at the directory", cd},
            {"inside the directory", cd + 20}, {"at the end record", eocd}, {"inside the end record", eocd + 10},
            {"inside the comment", full.size() - 5}, {"last byte", full.size() - 1},
        };
        for (const auto &cut : cuts)
            QTest::newRow(cut.first) << full.left(cut.second);
        QTest::newRow("bytes cut from the middle") << full.left(40) + full.mid(140);
        QByteArray zeroed = full;
        zeroed.replace(cd, 46, QByteArray(46, '\0'));
        QTest::newRow("directory zeroed") << zeroed;
    }
    void truncated()
    {
        QFETCH(QByteArray, zip);
        const QString root = freshDir(QStringLiteral("truncated"));
        const QString target = oldTarget(root);
        writeFile(root + "/in.zip", zip);
        const QMap<QString, QByteArray> old = snapshot(target);
        const UnpackResult r = unpackArchive(root + "/in.zip", target);
        QVERIFY(!r.ok);
        QCOMPARE(snapshot(target), old);
        QCOMPARE(tree(root, QStringLiteral("pics")), QStringList({"in.zip"}));
    }

    void lyingEntryKeepsExistingFile_data()
    {
        QTest::addColumn<QByteArray>("zip");
        QTest::addColumn<uint>("code");
        ZipEntry crc = zipFile("x.png", pattern(50000, 11));
        crc.crc = 1;
        ZipEntry longer = zipFile("x.png", pattern(50000, 11));
        longer.uncompressedSize = 20000;
        ZipEntry shorter = zipFile("x.png", pattern(50000, 11));
        shorter.uncompressedSize = 60000;
        QTest::newRow("CRC") << buildZip({crc}) << uint(ZipReader::CrcMismatch);
        QTest::newRow("longer than declared") << buildZip({longer}) << uint(ZipReader::FormatError);
        QTest::newRow("shorter than declared") << buildZip({shorter}) << uint(ZipReader::FormatError);
    }
    void lyingEntryKeepsExistingFile()
    {
        QFETCH(QByteArray, zip);
        QFETCH(uint, code);
        const QString root = freshDir(QStringLiteral("lying"));
        QDir().mkpath(root + "/base");
        writeFile(root + "/base/x.png", "good picture");
        writeFile(root + "/in.zip", zip);
        ZipReader reader;
        QCOMPARE(reader.open(root + "/in.zip"), ZipReader::Ok);
        reader.setBaseDir(root + "/base");
        QCOMPARE(uint(reader.unpack(0)), code);
        QCOMPARE(tree(root + "/base"), QStringList({"x.png"})); // no temporary file either
        QCOMPARE(readFile(root + "/base/x.png"), QByteArray("good picture"));
    }

    void replacesOldContent()
    {
        const QString root = freshDir(QStringLiteral("replace"));
        const QString target = oldTarget(root);
        writeFile(target + "/.hidden", "old");
        writeFile(root + "/in.zip", buildZip({zipFile("new.png", "new picture"), zipFolder("sub/")}));
        for (int round = 0; round < 2; ++round) {
            const UnpackResult r = unpackArchive(root + "/in.zip", target);
            QVERIFY2(r.ok, qPrintable(r.reason));
            QCOMPARE(tree(target), QStringList({"new.png", "sub/"}));
            QCOMPARE(readFile(target + "/new.png"), QByteArray("new picture"));
            QCOMPARE(tree(root, QStringLiteral("pics")), QStringList({"in.zip"}));
        }
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

    void misuse()
    {
        const QString root = freshDir(QStringLiteral("misuse"));
        writeFile(root + "/in.zip", buildZip({zipFile("a.png", "x")}));
        ZipReader reader;
        ZipItem item;
        QCOMPARE(reader.unpack(0), ZipReader::WrongMode);
        QCOMPARE(reader.item(0, &item), ZipReader::WrongMode);
        QCOMPARE(reader.open(QString()), ZipReader::BadArguments);
        QCOMPARE(reader.open(root + "/missing.zip"), ZipReader::ReadError);
        QCOMPARE(reader.open(root + "/in.zip"), ZipReader::Ok);
        QCOMPARE(reader.unpack(0), ZipReader::BadArguments); // no base folder yet
        QCOMPARE(reader.setBaseDir(QString()), ZipReader::BadArguments);
        QCOMPARE(reader.setBaseDir(root + "/out"), ZipReader::Ok);
        QCOMPARE(reader.unpack(1), ZipReader::BadArguments);
        QCOMPARE(reader.unpack(-1), ZipReader::BadArguments);
        QCOMPARE(reader.item(1, &item), ZipReader::BadArguments);
        QCOMPARE(reader.unpack(0), ZipReader::Ok);
        QCOMPARE(readFile(root + "/out/a.png"), QByteArray("x"));
        reader.close();
        QCOMPARE(reader.unpack(0), ZipReader::WrongMode);

        const UnpackResult missing = unpackArchive(root + "/missing.zip", root + "/pics");
        QVERIFY(!missing.ok);
        QCOMPARE(missing.code, uint(ZipReader::ReadError));
        writeFile(root + "/file", "not a folder");
        const UnpackResult notFolder = unpackArchive(root + "/in.zip", root + "/file");
        QCOMPARE(notFolder.code, uint(ZipReader::BadArguments));
        QCOMPARE(readFile(root + "/file"), QByteArray("not a folder"));
        QCOMPARE(tree(root), QStringList({"file", "in.zip", "out/", "out/a.png"}));
    }
};

QTEST_GUILESS_MAIN(TestZipReader)
#include "tst_zipreader.moc"
