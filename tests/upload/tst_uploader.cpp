// The uploader with a recording send function, no socket: the exact datagrams in order, the
// pause after the command and between the two copies of a chunk (lower bounds only), the
// progress, the bounded queue, refusals, and the thread the owner runs it in.
#include "upload/uploader.h"
#include "upload/uploadprotocol.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QSignalSpy>
#include "support/testmain.h"

#include <QGuiApplication>

using namespace kora;

namespace {

constexpr qint64 kMs = 1000000;

struct Sent {
    QByteArray data;
    QString to; // "address:port"
    qint64 ns = 0;
    QString thread;
};

// Records every datagram with the monotonic time and the thread it was sent from.
struct Recorder {
    Recorder() { clock.start(); }
    upload::Uploader::Send send()
    {
        return [this](const QByteArray &data, const QHostAddress &to, quint16 port) {
            QMutexLocker lock(&mutex);
            all.append({data, to.toString() + QLatin1Char(':') + QString::number(port), clock.nsecsElapsed(),
                        QThread::currentThread()->objectName()});
        };
    }
    QList<Sent> sent()
    {
        QMutexLocker lock(&mutex);
        return all;
    }
    QMutex mutex;
    QElapsedTimer clock;
    QList<Sent> all; // written in the uploader's thread
};

// What a job must put on the wire, in order: the command, then each chunk twice.
QList<QPair<QByteArray, QString>> expectedWire(const upload::Job &job)
{
    const QString to = job.multicast ? QStringLiteral("224.168.1.1") : job.address.section('-', 0, 0);
    QList<QPair<QByteArray, QString>> wire;
    wire.append({job.multicast ? upload::multicastUploadCommand(job.wallId, job.fileName)
                               : upload::uploadCommand(job.wallId, job.fileName),
                 to + QStringLiteral(":41234")});
    for (quint32 i = 0; i < upload::chunkCount(job.bytes.size()); ++i) {
        const QByteArray chunk = upload::dataDatagram(job.bytes, i);
        wire.append({chunk, to + QStringLiteral(":5000")});
        wire.append({chunk, to + QStringLiteral(":5000")});
    }
    return wire;
}

QList<QPair<QByteArray, QString>> wireOf(const QList<Sent> &sent)
{
    QList<QPair<QByteArray, QString>> wire;
    for (const Sent &s : sent)
        wire.append({s.data, s.to});
    return wire;
}

constexpr int kWaitMs = 5000; // an upper bound for QSignalSpy only, never an assertion on time

} // namespace

Q_DECLARE_METATYPE(upload::Job)

class TestUploader : public QObject
{
    Q_OBJECT
private slots:
    void wire_data()
    {
        columns<upload::Job, int>({"job", "pauseMs"});
        QTest::newRow("unicast, empty file: the command and no data")
            << upload::Job::unicast("1", "10.0.0.21", "bk.jpg", QByteArray()) << 100;
        QTest::newRow("unicast, 7001 bytes: two chunks, the second of 1 byte")
            << upload::Job::unicast("1", "10.0.0.21", "bk2.jpg", QByteArray(7001, 'x')) << 100;
        QTest::newRow("wall group, three chunks")
            << upload::Job::toWallGroup("3", "osd1.yuv", QByteArray(3 * 7000 - 10, 'x')) << 200;
    }
    void wire()
    {
        QFETCH(upload::Job, job);
        QFETCH(int, pauseMs);
        Recorder recorder;
        upload::Uploader uploader(recorder.send());
        QSignalSpy progress(&uploader, &upload::Uploader::progress);
        QSignalSpy finished(&uploader, &upload::Uploader::finished);

        uploader.enqueue(7, job);
        QVERIFY(finished.wait(kWaitMs));

        const QList<Sent> sent = recorder.sent();
        QCOMPARE(wireOf(sent), expectedWire(job));
        QCOMPARE(finished.takeFirst(), (QVariantList{7, true, QString()}));

        const int chunks = int(upload::chunkCount(job.bytes.size()));
        if (chunks > 0) {
            QVERIFY2(sent[1].ns - sent[0].ns >= pauseMs * kMs,
                     qPrintable(QStringLiteral("the first chunk came %1 ns after the command").arg(sent[1].ns - sent[0].ns)));
        }
        for (int i = 0; i < chunks; ++i) {
            const qint64 gap = sent[2 + 2 * i].ns - sent[1 + 2 * i].ns;
            QVERIFY2(gap >= 10 * kMs, qPrintable(QStringLiteral("copy of chunk %1 after %2 ns").arg(i).arg(gap)));
        }
        QCOMPARE(progress.size(), chunks);
        for (int i = 0; i < chunks; ++i)
            QCOMPARE(progress.at(i), (QVariantList{7, i + 1, chunks}));
    }

    void boundedQueue()
    {
        Recorder recorder;
        upload::Uploader uploader(recorder.send());
        QSignalSpy finished(&uploader, &upload::Uploader::finished);
        const upload::Job job = upload::Job::unicast("1", "10.0.0.21", "bk.jpg", QByteArray(10, 'x'));
        for (int id = 1; id <= 1 + upload::kMaxQueuedJobs; ++id)
            uploader.enqueue(id, job);
        uploader.enqueue(99, job);
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.at(0), (QVariantList{99, false, QStringLiteral("queue full")}));
        QCOMPARE(uploader.queuedJobs(), upload::kMaxQueuedJobs);
    }

    void runsInItsOwnThread()
    {
        Recorder recorder;
        int first = 0;
        int refused = 0;
        QList<QVariantList> ends;
        QThread *const main = QThread::currentThread();
        bool allInMain = true;
        {
            upload::UploadThread owner(recorder.send());
            connect(&owner, &upload::UploadThread::finished, this, [&](int job, bool ok, const QString &reason) {
                allInMain = allInMain && QThread::currentThread() == main;
                ends.append(QVariantList{job, ok, reason});
            });
            QSignalSpy progress(&owner, &upload::UploadThread::progress);
            first = owner.upload(upload::Job::toWallGroup("1", "osd1.yuv", QByteArray(7001, 'x')));
            refused = owner.upload(upload::Job::unicast("1", "", "bk.jpg", QByteArray(1, 'x')));
            QVERIFY(refused > first);
            QTRY_COMPARE_WITH_TIMEOUT(ends.size(), 2, kWaitMs);
            QCOMPARE(progress.size(), 2);
        } // joins the thread

        QVERIFY(allInMain);
        // The refusal does not wait for the upload under way.
        QCOMPARE(ends.at(0), (QVariantList{refused, false, QStringLiteral("no address")}));
        QCOMPARE(ends.at(1), (QVariantList{first, true, QString()}));
        const QList<Sent> sent = recorder.sent();
        QCOMPARE(sent.size(), 1 + 2 * 2);
        for (const Sent &s : sent)
            QCOMPARE(s.thread, QStringLiteral("upload"));
    }
};

KORA_TEST(TestUploader)
KORA_TEST_MAIN(QGuiApplication)
#include "tst_uploader.moc"
