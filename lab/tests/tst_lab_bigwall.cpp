// A wall's background on a 5 x 4 wall of the lab: every output journals its piece and then
// its base map before the next output hears of an upload, and every datagram leaves from
// the socket the client reads its answers on. Runs on the client side of scripts/with-lab
// with a lab configuration that has that wall.
#include "upload/background.h"
#include "upload/uploader.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QUdpSocket>
#include <QtTest>

#include "support/labclient.h"

namespace upload = kora::upload;

class TestLabBigWall : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY2(!labclient::work().isEmpty(), "run through scripts/with-lab"); }

    void everyOutputGetsItsPieceThenItsBaseMap()
    {
        constexpr int kOutputs = 20; // hosts .45 to .64, wall "5"
        QUdpSocket commands;          // stands for the client's command socket
        QVERIFY(commands.bind(QHostAddress(labclient::clientIp()), 0));
        const QString from = labclient::clientIp() + QLatin1Char(':') + QString::number(commands.localPort());

        upload::UploadThread uploads;
        uploads.sendFrom(commands.socketDescriptor());
        upload::BackgroundUpload backgrounds(uploads);
        QSignalSpy progress(&backgrounds, &upload::BackgroundUpload::progress);
        QList<upload::BackgroundPiece> pieces;
        for (int i = 0; i < kOutputs; ++i)
            pieces.append({upload::backgroundTarget(labclient::peerAddress(45 + i) + "(0)"), QSize(1920, 1080),
                           QByteArray(15000 + i, char('a' + i))});
        const qint64 start = labclient::journalEnd();
        backgrounds.start("5", pieces);
        QTRY_COMPARE_WITH_TIMEOUT(progress.size(), kOutputs, 30000);
        QCOMPARE(progress.last(), (QList<QVariant>{kOutputs, kOutputs}));

        // What the decoders heard on their command port, in order, and from where.
        QStringList heard, complete;
        QSet<QString> sources;
        static const QRegularExpression done(QStringLiteral("^upload bk\\.jpg complete: "));
        QTRY_COMPARE_WITH_TIMEOUT(
            [&] {
                heard.clear();
                complete.clear();
                sources.clear();
                for (const QJsonObject &line : labclient::journalFrom(start)) {
                    const QString peer = line.value("peer").toString();
                    if (!peer.startsWith("decoder-5."))
                        continue;
                    const QString text = line.value("text").toString();
                    if (line.value("dir").toString() == "in") {
                        sources.insert(line.value("src").toString());
                        if (text.startsWith("{UploadFile;5;bk.jpg;"))
                            heard.append(peer + " upload");
                        else if (text.contains("\"setBaseMap\"") && text.contains("bk.jpg"))
                            heard.append(peer + " base map");
                    } else if (line.value("dir").toString() == "event" && done.match(line.value("note").toString()).hasMatch()) {
                        complete.append(peer);
                    }
                }
                return complete.size();
            }(),
            kOutputs, 10000);
        QStringList expected;
        for (int i = 1; i <= kOutputs; ++i)
            expected << QStringLiteral("decoder-5.%1 upload").arg(i) << QStringLiteral("decoder-5.%1 base map").arg(i);
        QCOMPARE(heard, expected);
        QCOMPARE(sources, QSet<QString>{from});
    }
};

QTEST_GUILESS_MAIN(TestLabBigWall)
#include "tst_lab_bigwall.moc"
