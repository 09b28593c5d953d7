// The controller link without sockets: message forms, routes, scan replies, lock-out, the
// local address and the discovery messages.
#include "discovery/ssdpthread.h"
#include "link/link.h"
#include "link/lockout.h"
#include "link/messages.h"
#include "link/routes.h"
#include "link/scanreply.h"

#include <QtTest>
#include "support/table.h"

using namespace kora;
using link::Destination;
using link::Destinations;

Q_DECLARE_METATYPE(link::Destinations)

namespace {
Destination at(const char *address, quint16 port) { return {QHostAddress(QLatin1String(address)), port}; }
} // namespace

class TestLink : public QObject
{
    Q_OBJECT
private slots:
    void messageForms()
    {
        QCOMPARE(link::textCommand("GetWindows", {"3"}), QByteArray("{GetWindows;3}"));
        QCOMPARE(link::responseEnvelope("ActiveAudio", {{"id", 1}}),
                 QByteArray(R"({"code":"0","data":{"id":1},"msg":"ok","response":"ActiveAudio"})"));
        QCOMPARE(link::nodeEnvelope("getSystemMsg", {{"get_venc_config", "echo"}}),
                 QByteArray(R"({"Function":"getSystemMsg","Type":"System","Value":{"get_venc_config":"echo"}})"));
    }

    void routes_data()
    {
        columns<Destinations, Destinations>({"got", "expected"});
        const QStringList wall{"10.0.0.21", "x", "10.0.0.22-1"};
        QTest::newRow("wall: controller wins") << link::wallRoute("10.0.0.5", true, "1", wall) << Destinations{at("10.0.0.5", 41235)};
        QTest::newRow("wall: multicast") << link::wallRoute("", true, "1", wall) << Destinations{at("224.168.1.1", 41234)};
        QTest::newRow("wall: all walls use the group") << link::wallRoute("", false, "100", wall) << Destinations{at("224.168.1.1", 41234)};
        QTest::newRow("wall: unicast, suffix cut, non-addresses skipped") << link::wallRoute("", false, "1", wall)
                                                   << Destinations{at("10.0.0.21", 41234), at("10.0.0.22", 41234)};
        const QList<QPair<QString, QString>> hosts{{"10.0.0.10", "-1"}, {"10.0.0.21", "1"}, {"10.0.0.22", "1"}};
        QTest::newRow("query: controller wins") << link::queryRoute("10.0.0.5", "1", hosts) << Destinations{at("10.0.0.5", 41235)};
        QTest::newRow("query: all walls use the group") << link::queryRoute("", "100", hosts) << Destinations{at("224.168.1.1", 41234)};
        QTest::newRow("query: the wall's first output") << link::queryRoute("", "1", hosts) << Destinations{at("10.0.0.21", 41234)};
        QTest::newRow("query: no output serves the wall") << link::queryRoute("", "2", hosts) << Destinations{};
        QTest::newRow("output: the wall's first output") << link::outputRoute("", hosts, "1") << Destinations{at("10.0.0.21", 41234)};
        QTest::newRow("output: controller") << link::outputRoute("10.0.0.5", hosts, "1") << Destinations{at("10.0.0.5", 41235)};
        QTest::newRow("output: controller, but no output serves the wall") << link::outputRoute("10.0.0.5", hosts, "2") << Destinations{};
        QTest::newRow("selected host") << link::selectedHost({"10.0.0.7", "10.0.0.8"}, 1) << Destinations{at("10.0.0.8", 41234)};
        QTest::newRow("selected host: none") << link::selectedHost({"10.0.0.7"}, -1) << Destinations{};
        QTest::newRow("selected host: out of range") << link::selectedHost({"10.0.0.7"}, 1) << Destinations{};
        QTest::newRow("host request: broadcast") << link::hostRequest() << Destinations{{QHostAddress::Broadcast, 3210}};
        QTest::newRow("host request: one host") << link::hostRequest("10.0.0.6") << Destinations{at("10.0.0.6", 3210)};
        QTest::newRow("node control") << link::nodeControl("10.0.0.31-2") << Destinations{at("10.0.0.31", 12345)};
    }
    void routes()
    {
        QFETCH(Destinations, got);
        QTEST(got, "expected");
    }

    void scanReplies_data()
    {
        columns<QByteArray, int, bool, QStringList, int>({"datagram", "kind", "holdsProject", "files", "rejected"});
        const QString md5 = "0123456789abcdef0123456789abcdef";
        // An empty field skipped, an upper-case md5 accepted, kvm.jui left out.
        QTest::newRow("host") << QByteArray("{GetNodes2;1;;x;y;lumora;a.ds " + md5.toUpper().toLatin1() + ",kvm.jui " + md5.toLatin1()
                                            + ",device.json " + md5.toLatin1() + "}")
                              << int(link::ScanReply::Nodes2) << true << QStringList{"a.ds", "device.json"} << 0;
        QTest::newRow("no project") << QByteArray("{GetNodes2;2;x;y;null}") << int(link::ScanReply::Nodes2) << false << QStringList{} << 0;
        QTest::newRow("too few fields") << QByteArray("{GetNodes2;2;x;lumora}") << int(link::ScanReply::Nodes2) << false << QStringList{} << 0;
        QTest::newRow("a project but no file list") << QByteArray("{GetNodes2;2;x;y;lumora}") << int(link::ScanReply::Nodes2) << false << QStringList{} << 0;
        QTest::newRow("unsafe and malformed entries")
            << QByteArray("{GetNodes2;1;x;y;p;../../etc/passwd " + md5.toLatin1() + ",sub/a.ds " + md5.toLatin1() + ",c:x " + md5.toLatin1()
                          + ",..\\x " + md5.toLatin1() + ",short 1234,nomd5,good.txt " + md5.toLatin1() + ",bad.txt " + QByteArray(32, 'g') + "}")
            << int(link::ScanReply::Nodes2) << true << QStringList{"good.txt"} << 7;
        QTest::newRow("older form") << QByteArray("{GetNodes;3;1,77,x}") << int(link::ScanReply::Nodes) << false << QStringList{} << 0;
        QTest::newRow("other") << QByteArray("{GetWindows;1}") << int(link::ScanReply::Other) << false << QStringList{} << 0;
    }
    void scanReplies()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(int, kind);
        QFETCH(bool, holdsProject);
        QFETCH(QStringList, files);
        const link::ScanReply reply = link::parseScanReply(datagram);
        QCOMPARE(int(reply.kind), kind);
        QCOMPARE(reply.holdsProject(), holdsProject);
        QStringList names;
        for (const link::ScanFile &f : reply.files) {
            names.append(f.name);
            QCOMPARE(f.md5, f.md5.toLower());
        }
        QCOMPARE(names, files);
        QTEST(reply.rejectedFiles, "rejected");
    }

    void hugeFileListIsBounded()
    {
        QByteArray list;
        for (int i = 0; i < 1600; ++i) // still one datagram
            list += "f" + QByteArray::number(i) + " 0123456789abcdef0123456789abcdef,";
        const link::ScanReply reply = link::parseScanReply("{GetNodes2;1;x;y;p;" + list + "}");
        QCOMPARE(reply.files.size(), link::kMaxScanFiles);
        QCOMPARE(reply.rejectedFiles, 600);
    }

    // The lock's own counts and ends are tst_session's, across a restart; these are the edges
    // a login there does not reach.
    void lockOutEdges()
    {
        const qint64 last = 1700000000;
        QCOMPARE(link::lockSecondsLeft(7, last, last - 5000), qint64(600)); // clock set back: never longer
        QCOMPARE(link::countFailure(4, last, last + 299), 5);                // within the window: adds up
        QCOMPARE(link::countFailure(3, last, last + 300), 1);                // 300 s apart: a fresh start
    }

    // The first user of the name decides; a later one of that name is never tried (a right and
    // a wrong password are tst_session's).
    void accountCheck()
    {
        auto user = [](const char *n, const char *p) {
            kora::UserRecord u;
            u.name = n;
            u.password = p;
            return u;
        };
        const std::vector<kora::UserRecord> users{user("admin", "A"), user("operator", "O"), user("operator", "O2")};
        QCOMPARE(link::acceptedUser(users, "operator", "O"), 1);
        QCOMPARE(link::acceptedUser(users, "operator", "O2"), -1); // the later user of the name is not tried
        QCOMPARE(link::acceptedUser({}, "operator", "O"), -1);
    }

    // The stored address while it is this machine's, else the last usable one.
    void localAddress_data()
    {
        columns<QStringList, QString, QString>({"addresses", "saved", "used"});
        const QStringList mine{"10.0.0.1", "192.168.5.9", "127.0.0.1", "169.254.3.4", "fe80::1"};
        QTest::newRow("none stored: the last usable, loopback, link-local and IPv6 ignored") << mine << "" << "192.168.5.9";
        QTest::newRow("a network left behind") << mine << "10.77.5.2" << "192.168.5.9";
        QTest::newRow("loopback, if stored so") << mine << "127.0.0.1" << "127.0.0.1";
        QTest::newRow("a text rule, not a prefix rule") << QStringList{"10.127.0.5"} << "" << "";
    }
    void localAddress()
    {
        QFETCH(QStringList, addresses);
        QFETCH(QString, saved);
        QList<QHostAddress> list;
        for (const QString &a : addresses)
            list.append(QHostAddress(a));
        QTEST(link::keptLocalIp(saved, list), "used");
    }

    void discoveryMessages()
    {
        using namespace kora::discovery;
        QCOMPARE(composeNotify("Linux/12, korav2/v1.9.1", "uuid:abc::urn:vxr:sw:korav2", true),
                 QByteArray(R"({"nt":"urn:vxr:sw:korav2","nts":"alive","server":"Linux/12, korav2/v1.9.1","type":"notify","usn":"uuid:abc::urn:vxr:sw:korav2"})"));
        QCOMPARE(composeAnswer("s", "u"), QByteArray(R"({"server":"s","st":"urn:vxr:sw:korav2","type":"rsearch","usn":"u"})"));
        QCOMPARE(int(classify(R"({"type":"search","st":"urn:vxr:sw:korav2","mx":1})", false).kind), int(Kind::Search));
        QCOMPARE(int(classify(R"({"type":"search","st":"urn:other"})", false).kind), int(Kind::Other));
        QCOMPARE(int(classify(R"({"type":"notify"})", false).kind), int(Kind::Notify));
        QCOMPARE(int(classify(R"({"type":"rsearch"})", false).kind), int(Kind::Other));
        QCOMPARE(int(classify(R"({"type":"rsearch"})", true).kind), int(Kind::Answer));
        QCOMPARE(int(classify(R"({"type":"search","st":"urn:vxr:sw:korav2"})", true).kind), int(Kind::Other));
        QCOMPARE(int(classify("not json", false).kind), int(Kind::Other));
        QCOMPARE(uuidFromUsn("uuid:abc::urn:vxr:sw:korav2"), QStringLiteral("abc"));
        QCOMPARE(uuidFromUsn("uuid:a::uuid:b"), QStringLiteral("b"));
        QCOMPARE(uuidFromUsn("urn:x"), QString());
        QCOMPARE(answerDelayMs(0xffffffffu, 1), 999);
        QCOMPARE(answerDelayMs(0x80000000u, 2), 1000);
        QCOMPARE(answerDelayMs(123, 0), 0);
        QVERIFY(answerDelayMs(0xffffffffu, 1000000) < 120000);
    }
};

QTEST_GUILESS_MAIN(TestLink)
#include "tst_link.moc"
