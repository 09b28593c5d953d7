// A login over the real sockets: this test runs on the client side of a lab network
// (scripts/with-lab) with kora-lab on the device side, and reads the lab's journal. What the
// login does with what arrives is the session's own test (tests/login); here the wire counts.
#include "app/client.h"

#include <QDir>
#include <QJsonArray>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>

#include "support/labclient.h"
#include "support/testfiles.h"

namespace {
using namespace labclient;

// The first line at or after `from` matching everything given; -1 when none.
int find(const QList<QJsonObject> &lines, const QString &peer, const QString &dir, const QString &textPart, int from = 0)
{
    for (int i = from; i < lines.size(); ++i) {
        const QJsonObject &o = lines.at(i);
        if (o.value("peer").toString() == peer && o.value("dir").toString() == dir && o.value("text").toString().contains(textPart))
            return i;
    }
    return -1;
}
} // namespace

class TestLoginLab : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_dir.reset(new QTemporaryDir);
        QVERIFY(QDir::setCurrent(m_dir->path()));
        QVERIFY(labclient::clearFaults());
    }

    // In this order on the wire: the announcement, the scan, the host service query, then the
    // first file's request from the command port. Under loss and reordering the gaps are asked
    // for again and every file arrives intact (that the next login asks for nothing is tst_session's).
    void aLoginOverTheWire()
    {
        const QJsonObject faults{{"dropFraction", 0.05}, {"seed", 3}, {"duplicateFraction", 0.02}, {"reorder", true}};
        QVERIFY(control({{"cmd", "faults"}, {"set", faults}}).value("ok").toBool());
        kora::app::Client api;
        QSignalSpy login(&api, &ImServerApi::callQmlLogin);
        const qint64 before = journalEnd();
        QVERIFY(api.ServerLogin("admin", "Admin#2024", clientIp(), "", ""));
        QVERIFY(login.wait(20000));
        QCOMPARE(login.first().first().toBool(), true);

        const QList<QJsonObject> j = journalFrom(before);
        const int notify = find(j, "group 239.255.255.250", "in", "\"nts\":\"alive\"");
        const int scan = find(j, "group 224.168.1.1", "in", "{GetNodes2}");
        const int getDev = find(j, "group 255.255.255.255", "in", R"({"request":"GetDev"})");
        const int download = find(j, "host-node", "in", QStringLiteral("{DownloadFile;1;northgate.ds;%1,54322,7000,1000}").arg(clientIp()));
        QVERIFY2(notify >= 0 && scan > notify && getDev > scan && download > getDev,
                 qPrintable(QStringLiteral("%1 %2 %3 %4").arg(notify).arg(scan).arg(getDev).arg(download)));
        QVERIFY(j.at(scan).value("src").toString().startsWith(clientIp() + ":"));
        QVERIFY(j.at(download).value("src").toString().endsWith(":41234"));
        int gapRequests = 0;
        for (const QJsonObject &o : j)
            gapRequests += o.value("peer").toString() == "host-node" && o.value("text").toString().count(';') == 4;
        QVERIFY(gapRequests > 0);
        QCOMPARE(api.session().hostAddress(), peerAddress(10));
        QCOMPARE(api.session().nodes().size(), 2);
        for (const auto &f : api.download().files())
            QVERIFY2(readFile("data/" + f.name) == readFile(QStringLiteral(KORA_SAMPLES_DIR "/lab/") + f.name), qPrintable(f.name));
    }

    void discoveryBothWays()
    {
        kora::app::Client api;
        // Our search at start-up is answered by the lab's discovery peer.
        const auto found = [](const kora::discovery::Peer &p) { return p.address == peerAddress(7) && !p.uuid.isEmpty(); };
        QTRY_VERIFY_WITH_TIMEOUT(std::any_of(api.discovery.peers().begin(), api.discovery.peers().end(), found), 3000);
        // The lab's search is answered by us within its one second.
        const qint64 before = journalEnd();
        QVERIFY(control({{"cmd", "announce"}}).value("ok").toBool());
        QTRY_VERIFY_WITH_TIMEOUT(find(journalFrom(before), "discovery", "in", "\"type\":\"rsearch\"") >= 0, 3000);
    }

    void routedDatagramsReachTheWall()
    {
        kora::link::Link link;
        link.open();
        const qint64 before = journalEnd();
        link.sendTo(kora::link::wallUnicast({peerAddress(20), peerAddress(21) + "-2"}), "{GetWindows;1}");
        QTRY_VERIFY_WITH_TIMEOUT(find(journalFrom(before), "decoder-1.2", "in", "{GetWindows;1}") >= 0, 3000);
        const QList<QJsonObject> j = journalFrom(before);
        QVERIFY(find(j, "decoder-1.1", "in", "{GetWindows;1}") >= 0);
        QVERIFY(find(j, "decoder-1.1", "out", "{GetWindows;1") >= 0);
    }

    void tcpDeliveryNeverFreezesAndRecovers()
    {
        kora::link::Link link;
        QSignalSpy down(&link, &kora::link::Link::tcpDownChanged);
        const qint64 before = journalEnd();
        link.sendTcp("POWER ON\r\n", peerAddress(8), 9001);
        link.sendTcp("LOST\r\n", peerAddress(99), 9001);          // nobody there: the connect times out
        link.sendTcp("REFUSED\r\n", peerAddress(8) + "-3", 9999); // refused at once
        link.sendTcp("POWER OFF\r\n", peerAddress(8), 9001);
        QTRY_VERIFY_WITH_TIMEOUT(find(journalFrom(before), "equipment", "in", "POWER OFF") >= 0, 3000);
        const QList<QJsonObject> j = journalFrom(before);
        const int on = find(j, "equipment", "in", "POWER ON");
        QVERIFY(on >= 0);
        QVERIFY(find(j, "equipment", "in", "POWER OFF", on) > on);
        QCOMPARE(find(j, "equipment", "in", "LOST"), -1);
        QCOMPARE(find(j, "equipment", "in", "REFUSED"), -1);
        // Each failing peer is reported once, in order; the sound one never.
        QCOMPARE(down.size(), 2);
        QCOMPARE(down.at(0).at(0).toStringList(), QStringList{peerAddress(99) + ":9001"});
        QCOMPARE(down.at(1).at(0).toStringList(), QStringList({peerAddress(8) + ":9999", peerAddress(99) + ":9001"}));
    }

private:
    QScopedPointer<QTemporaryDir> m_dir;
};

QTEST_MAIN(TestLoginLab)
#include "tst_login_lab.moc"
