// Snapshots from the lab's encoders through a logged-in facade: own stream, mosaic cells, RTSP reconnect.
#include "controller/imserverapi.h"
#include "media/pattern.h"

#include <QtTest>

#include "support/labsession.h"

using namespace kora::video;

namespace {
QString id(int host) { return labclient::peerAddress(host) + QStringLiteral("-0"); }

// The record shows the signal's colour (its pictures' plain band).
bool shows(PreviewTable &table, const QString &key, int host, quint64 *version = nullptr)
{
    const QImage picture = table.request(key, version);
    return !picture.isNull() && lab::nearestSignal(lab::plainColour(picture), {host - 1, host, host + 1}) == host;
}
int journalCount(const QString &note)
{
    int n = 0;
    for (const QJsonObject &o : labclient::journal())
        n += o.value(QStringLiteral("note")).toString().startsWith(note) ? 1 : 0;
    return n;
}
} // namespace

class TstPicturesLab : public QObject
{
    Q_OBJECT
private slots:
    void snapshotsOfTheSample()
    {
        auto api = labclient::loggedIn();
        PreviewTable &table = *api->previewTable();
        QTRY_VERIFY_WITH_TIMEOUT(shows(table, id(30), 30), 15000);
        // .34 and .35 sit in slots 4 and 5 of one mosaic stream: one reader cuts both.
        QTRY_VERIFY_WITH_TIMEOUT(shows(table, id(34), 34) && shows(table, id(35), 35), 15000);
        QVERIFY(api->snapshots().picturesStored(id(34)) > 0);
        QCOMPARE(api->snapshots().picturesStored(id(35)), -1);

        // The camera's RTSP stream, again after the server dropped the client.
        const QString camera = labclient::peerAddress(44) + QStringLiteral("-IPC");
        QTRY_VERIFY_WITH_TIMEOUT(shows(table, camera, 44), 20000);
        QCOMPARE(journalCount(QStringLiteral("rtsp client connected")), 1);
        QVERIFY(labclient::control({{"cmd", "faults"}, {"set", QJsonObject{{"rtspDrop", true}}}}).value("ok").toBool());
        QTRY_VERIFY_WITH_TIMEOUT(journalCount(QStringLiteral("rtsp clients dropped")) == 1, 5000);
        quint64 before = 0;
        table.request(camera, &before);
        quint64 now = 0;
        QTRY_VERIFY_WITH_TIMEOUT((table.request(camera, &now), now > before + 30), 20000);
        QCOMPARE(journalCount(QStringLiteral("rtsp client connected")), 2);
    }
};

QTEST_GUILESS_MAIN(TstPicturesLab)
#include "tst_pictures_lab.moc"
