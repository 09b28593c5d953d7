// The RTSP reader and camera view item over files written here.
#include "video/ffmpegrtsp.h"
#include "video/rtspsource.h"

#include <QDataStream>
#include <QFile>
#include <QQuickWindow>
#include <QRegularExpression>
#include <QTemporaryDir>
#include "support/testmain.h"

#include "previewfixtures.h"

using namespace kora::video;
using previewfixtures::kRed;
using previewfixtures::kSize;
using previewfixtures::wholeIn;

Q_DECLARE_METATYPE(kora::video::RtspPassResult)

namespace QTest {
template <>
char *toString(const kora::video::RtspPassResult &r)
{
    static const char *const names[] = {"OpenFailed", "NoStreamInfo", "NoVideoStream", "UnsupportedCodec",
                                        "CodecFailed", "BadDimensions", "ReadFailed", "Stopped"};
    return qstrdup(names[int(r)]);
}
} // namespace QTest

namespace {
// Raw H.264 as an encoder writes it: `count` pictures of kRed.
bool writeStream(const QString &path, int count)
{
    const QList<QByteArray> frames = previewfixtures::encode(lab::Codec::H264, kSize, count, kRed);
    QFile file(path);
    return frames.size() == count && file.open(QIODevice::WriteOnly) && file.write(frames.join()) > 0;
}

// A WAV file: one audio stream (a tenth of a second of silence), no video.
QByteArray audioOnly()
{
    QByteArray wav;
    QDataStream out(&wav, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + 1600);
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(1) << quint32(8000) << quint32(16000) << quint16(2) << quint16(16);
    out.writeRawData("data", 4);
    out << quint32(1600);
    return wav + QByteArray(1600, '\0');
}
} // namespace

class TestRtspSource : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_stream = m_dir.filePath("camera.h264");
        QVERIFY(writeStream(m_stream, 10));
    }

    void decodesEveryPicture_data()
    {
        columns<QSize, QSize>({"maxSize", "out"});
        QTest::newRow("no limit") << QSize() << kSize;
        QTest::newRow("fits within, aspect kept") << QSize(160, 160) << QSize(160, 120);
        QTest::newRow("wide enough, too tall") << QSize(400, 200) << QSize(266, 200);
        QTest::newRow("never enlarged") << QSize(1000, 1000) << kSize;
    }
    void decodesEveryPicture()
    {
        QFETCH(QSize, maxSize);
        QFETCH(QSize, out);
        QList<QImage> pictures;
        // The end of a file is a failed read: a camera's stream would be opened again.
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Failed to read frame, reconnecting\\.\\.\\. .*camera\\.h264"));
        const RtspPassResult r = runRtspPass(
            m_stream, [] { return true; }, [&](const QImage &image) { pictures.append(image); }, maxSize);
        QCOMPARE(r, RtspPassResult::ReadFailed);
        QCOMPARE(pictures.size(), 10);
        for (const QImage &p : pictures)
            QCOMPARE(p.size(), out);
        QVERIFY2(wholeIn(pictures.last(), kRed),
                 qPrintable(pictures.last().pixelColor(out.width() / 2, out.height() / 2).name()));
    }

    void keepGoingFalseStops()
    {
        int pictures = 0;
        const RtspPassResult r = runRtspPass(m_stream, [&] { return pictures < 3; }, [&](const QImage &) { ++pictures; });
        QCOMPARE(r, RtspPassResult::Stopped);
        QCOMPARE(pictures, 3);
    }

    void failures_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content"); // empty: no file
        columns<RtspPassResult, QString>({"result", "line"});
        QTest::newRow("missing file") << "missing.ts" << QByteArray() << RtspPassResult::OpenFailed
                                      << "get rtsp failed .*missing\\.ts Error: No such file or directory";
        QTest::newRow("audio only") << "sound.wav" << audioOnly() << RtspPassResult::NoVideoStream
                                    << "could not find video stream";
    }
    void failures()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(QString, line);
        const QString path = m_dir.filePath(name);
        QFile file(path);
        if (!content.isEmpty())
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
        file.close();
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(line));
        int pictures = 0;
        QTEST(runRtspPass(path, [] { return true; }, [&](const QImage &) { ++pictures; }), "result");
        QCOMPARE(pictures, 0);
    }

    void viewShowsTheStream()
    {
        QQuickWindow window;
        window.resize(160, 120);
        auto *view = new XRtspView(window.contentItem());
        view->setSize(QSizeF(160, 120));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        view->openRTSP(m_stream);
        QTRY_VERIFY(view->framesShown() > 0);
        QVERIFY(wholeIn(view->currentFrame(), kRed));
        QCOMPARE(view->currentFrame().size(), QSize(160, 120)); // decoded to fit the item

        // The file ends, the stream is opened again after a pause: still running, so a
        // second open is refused.
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("open failed , rtsp is runing!"));
        view->openRTSP(m_stream);
        view->close();
        QTRY_VERIFY(view->currentFrame().isNull()); // closed: the item shows nothing
        QVERIFY(!view->worker()->isRunning());

        // Destroyed while running: the pass is stopped and the thread waited for.
        view->openRTSP(m_stream);
        QTRY_VERIFY(view->worker()->isRunning());
        delete view;
    }

private:
    QTemporaryDir m_dir;
    QString m_stream;
};

KORA_TEST(TestRtspSource)
#include "tst_rtspsource.moc"
