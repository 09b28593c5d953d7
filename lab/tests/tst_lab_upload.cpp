// The lab's receiving end of the client's file push, fed the client's own data datagrams
// (and some it would never send): what one receiver makes of them.
#include "peers/upload.h"
#include "upload/uploadprotocol.h"

#include <QCryptographicHash>
#include <QRegularExpression>
#include <QtEndian>
#include <QtTest>

using namespace lab;

namespace {

// Bytes that differ from chunk to chunk (and from salt to salt), so a chunk in the wrong
// place changes the MD5.
QByteArray fileOf(int size, int salt = 0)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 131 + i / 7000 + salt) & 0xff);
    return bytes;
}

QByteArray header(quint32 count, quint32 index)
{
    QByteArray h(8, Qt::Uninitialized);
    qToLittleEndian<quint32>(count, h.data());
    qToLittleEndian<quint32>(index, h.data() + 4);
    return h;
}

// One delivery of the script: "N" is chunk N as the client sends it; "N/C" chunk N claiming
// C chunks; "N:L" chunk N with L payload bytes; "junk" 5 bytes.
QByteArray delivery(const QByteArray &file, const QString &token)
{
    if (token == QLatin1String("junk"))
        return QByteArray("\x01\x02\x03\x04\x05", 5);
    const quint32 index = token.section(QRegularExpression(QStringLiteral("[/:]")), 0, 0).toUInt();
    if (token.contains(QLatin1Char('/')))
        return header(token.section(QLatin1Char('/'), 1).toUInt(), index) + QByteArray(7000, 'c');
    if (token.contains(QLatin1Char(':')))
        return header(kora::upload::chunkCount(file.size()), index) + QByteArray(token.section(QLatin1Char(':'), 1).toInt(), 'l');
    return kora::upload::dataDatagram(file, index);
}

QString outcomeText(const UploadOutcome &o, const QByteArray &file)
{
    switch (o.kind) {
    case UploadOutcome::Kind::Complete:
        // "complete" only when the bytes are the file's own.
        return o.size == file.size() && o.md5 == QCryptographicHash::hash(file, QCryptographicHash::Md5).toHex()
                   ? QStringLiteral("complete")
                   : QStringLiteral("corrupt %1").arg(o.size);
    case UploadOutcome::Kind::Incomplete:
        return QStringLiteral("incomplete %1/%2").arg(o.missing).arg(o.chunks);
    case UploadOutcome::Kind::Refused:
        break;
    }
    return QStringLiteral("refused %1").arg(o.chunks);
}

} // namespace

class TestLabUpload : public QObject
{
    Q_OBJECT
private slots:
    void assembly_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<QString>("script"); // deliveries after the upload command, then how it ends
        QTest::addColumn<QString>("expected");
        // Ends: "-" nothing more, "next" the next upload command, "quiet" the quiet timeout.
        QTest::newRow("in order, each twice") << 20000 << "0 0 1 1 2 2 -" << "complete";
        QTest::newRow("reordered") << 20000 << "2 0 1 -" << "complete";
        QTest::newRow("reordered copies") << 20000 << "1 2 1 0 2 -" << "complete";
        QTest::newRow("7000 bytes") << 7000 << "0 0 -" << "complete";
        QTest::newRow("7001 bytes") << 7001 << "1 0 -" << "complete";
        QTest::newRow("7001, the last chunk only") << 7001 << "1 1 next" << "incomplete 1/2";
        QTest::newRow("zero length") << 0 << "next" << "complete";
        QTest::newRow("a chunk missing, next upload") << 20000 << "0 0 2 2 next" << "incomplete 1/3";
        QTest::newRow("a chunk missing, quiet") << 20000 << "0 2 quiet" << "incomplete 1/3";
        QTest::newRow("nothing ends it yet") << 20000 << "0 2 -" << "";
        QTest::newRow("index out of range") << 20000 << "0 7/3 1 2 -" << "complete";
        QTest::newRow("another count") << 20000 << "0 1/4 1 2 -" << "complete";
        QTest::newRow("short middle chunk") << 20000 << "1:100 0 1 2 -" << "complete";
        QTest::newRow("empty last chunk") << 20000 << "2:0 0 1 2 -" << "complete";
        QTest::newRow("overlong chunk") << 7001 << "0:7001 0 1 -" << "complete";
        QTest::newRow("junk") << 20000 << "junk 0 1 junk 2 -" << "complete";
        QTest::newRow("too large") << 20000 << "0/9588 0 1 2 next" << "refused 9588";
        QTest::newRow("64 MB is not too large") << 20000 << "0/9587 0 1 2 quiet" << "incomplete 9586/9587";
    }
    void assembly()
    {
        QFETCH(int, size);
        QFETCH(QString, script);
        QFETCH(QString, expected);
        const QByteArray file = fileOf(size);
        UploadAssembly a;
        QVERIFY(a.chunk(kora::upload::dataDatagram(file, 0), 0).isEmpty()); // no command yet
        QVERIFY(a.start(QStringLiteral("f.bin"), 0).isEmpty());
        QStringList outcomes;
        qint64 now = 0;
        for (const QString &token : script.split(QLatin1Char(' '))) {
            now += 10;
            QList<UploadOutcome> got;
            if (token == QLatin1String("next")) {
                got = a.start(QStringLiteral("g.bin"), now);
                got += a.expire(now + UploadAssembly::LateCopyMs);
            } else if (token == QLatin1String("quiet")) {
                got = a.expire(now + UploadAssembly::QuietMs - 11);
                got += a.expire(now + UploadAssembly::QuietMs);
            } else if (token != QLatin1String("-")) {
                got = a.chunk(delivery(file, token), now);
            }
            for (const UploadOutcome &o : got) {
                QCOMPARE(o.file, QStringLiteral("f.bin"));
                outcomes.append(outcomeText(o, file));
            }
        }
        QCOMPARE(outcomes.join(QLatin1Char('|')), expected);
        // Once ended, copies still on their way end nothing more.
        if (!expected.isEmpty() && !script.endsWith(QLatin1String("next"))) {
            QVERIFY(a.chunk(delivery(file, QStringLiteral("0")), now).isEmpty());
            QVERIFY(a.expire(now + 10 * UploadAssembly::QuietMs).isEmpty());
        }
    }

    void filesFollowEachOther_data()
    {
        QTest::addColumn<int>("secondSize");
        QTest::addColumn<bool>("firstCopyLost"); // of the last chunk of the file before
        QTest::addColumn<int>("lateAfterMs"); // its copy, read this long after the next command
        QTest::addColumn<QString>("expected");
        QTest::newRow("another file") << 14000 << false << -1 << "complete";
        QTest::newRow("a late copy, same chunk count") << 14000 << false << 0 << "complete";
        QTest::newRow("a late copy, read 99 ms late") << 14000 << false << 99 << "complete";
        QTest::newRow("a late copy, another chunk count") << 21000 << false << 0 << "complete";
        QTest::newRow("a late copy, 7001 bytes") << 7001 << false << 0 << "complete";
        QTest::newRow("the one copy left, late") << 14000 << true << 0 << "complete";
        QTest::newRow("the one copy left, 99 ms late") << 7001 << true << 99 << "complete";
        QTest::newRow("the same file again") << -1 << false << -1 << "complete";
        QTest::newRow("the same file again, a late copy") << -1 << false << 0 << "complete";
    }
    void filesFollowEachOther()
    {
        // The client sends the next command right after the last copy of the file before,
        // then pauses 100 ms; the lab may read that copy after the command.
        QFETCH(int, secondSize);
        QFETCH(bool, firstCopyLost);
        QFETCH(int, lateAfterMs);
        QFETCH(QString, expected);
        const QByteArray first = fileOf(14000);
        const QByteArray second = secondSize < 0 ? first : fileOf(secondSize, 1);
        UploadAssembly a;
        a.start(QStringLiteral("bk.jpg"), 0);
        QVERIFY(a.chunk(kora::upload::dataDatagram(first, 0), 100).isEmpty());
        if (!firstCopyLost) {
            const QList<UploadOutcome> done = a.chunk(kora::upload::dataDatagram(first, 1), 120);
            QCOMPARE(done.size(), 1);
            QCOMPARE(outcomeText(done[0], first), QStringLiteral("complete"));
        }
        QVERIFY(a.start(QStringLiteral("bk2.jpg"), 130).isEmpty());
        if (lateAfterMs >= 0) {
            // The file before's copy: ignored, or the chunk that file was still missing.
            const QList<UploadOutcome> late = a.chunk(kora::upload::dataDatagram(first, 1), 130 + lateAfterMs);
            QCOMPARE(late.size(), firstCopyLost ? 1 : 0);
            if (firstCopyLost) {
                QCOMPARE(late[0].file, QStringLiteral("bk.jpg"));
                QCOMPARE(outcomeText(late[0], first), QStringLiteral("complete"));
            }
        }
        QList<UploadOutcome> got;
        for (quint32 i = 0; i < kora::upload::chunkCount(second.size()); ++i)
            got += a.chunk(kora::upload::dataDatagram(second, i), 230 + 20 * i);
        QCOMPARE(got.size(), 1);
        QCOMPARE(got[0].file, QStringLiteral("bk2.jpg"));
        QCOMPARE(outcomeText(got[0], second), expected);
        QCOMPARE(got[0].note(), QStringLiteral("upload bk2.jpg complete: %1 bytes, md5 %2")
                                    .arg(second.size())
                                    .arg(QString::fromLatin1(QCryptographicHash::hash(second, QCryptographicHash::Md5).toHex())));
    }

    void aFileMissingAChunkEndsAfterTheLateWindow()
    {
        const QByteArray first = fileOf(14000), second = fileOf(7000, 1);
        UploadAssembly a;
        a.start(QStringLiteral("a"), 0);
        a.chunk(kora::upload::dataDatagram(first, 0), 100);
        QVERIFY(a.start(QStringLiteral("b"), 130).isEmpty());
        QVERIFY(a.expire(130 + UploadAssembly::LateCopyMs - 1).isEmpty());
        // The new file's first chunk, after the window, ends the file before first.
        const QList<UploadOutcome> got = a.chunk(kora::upload::dataDatagram(second, 0), 130 + UploadAssembly::LateCopyMs);
        QCOMPARE(got.size(), 2);
        QCOMPARE(got[0].file, QStringLiteral("a"));
        QCOMPARE(outcomeText(got[0], first), QStringLiteral("incomplete 1/2"));
        QCOMPARE(got[1].file, QStringLiteral("b"));
        QCOMPARE(outcomeText(got[1], second), QStringLiteral("complete"));
    }

    void aCopyAfterTheLateWindowCounts()
    {
        // Past the window a chunk equal to the file before's is the new file's own.
        const QByteArray file = fileOf(14000);
        UploadAssembly a;
        a.start(QStringLiteral("a"), 0);
        a.chunk(kora::upload::dataDatagram(file, 0), 100);
        a.chunk(kora::upload::dataDatagram(file, 1), 120);
        a.start(QStringLiteral("b"), 130);
        QVERIFY(a.chunk(kora::upload::dataDatagram(file, 1), 130 + UploadAssembly::LateCopyMs).isEmpty());
        const QList<UploadOutcome> got = a.chunk(kora::upload::dataDatagram(file, 0), 250);
        QCOMPARE(got.size(), 1);
        QCOMPARE(outcomeText(got[0], file), QStringLiteral("complete"));
    }
};

QTEST_GUILESS_MAIN(TestLabUpload)
#include "tst_lab_upload.moc"
