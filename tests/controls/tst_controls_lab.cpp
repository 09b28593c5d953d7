// Designed controls against the simulated installation (scripts/with-lab): the bytes the
// lab's equipment receives, the control states the host keeps for every client, and the
// design commands a button addresses to the client itself.
#include "controller/imserverapi.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "support/labsession.h"

namespace {
using labclient::journalEnd;
using labclient::journalFrom;
QString peer(int host) { return labclient::peerAddress(host); }
const QString kEquipment = QStringLiteral("equipment");

// The payloads that `peerName` received since `from`, with their transport and destination;
// the sample's level docker polls the equipment from its reply port, and those polls are left out.
constexpr char kLevelPollPort[] = ":9010";
struct Received {
    QByteArray bytes;
    QString transport, dst;
};
QList<Received> received(qint64 from, const QString &peerName)
{
    QList<Received> out;
    for (const QJsonObject &o : journalFrom(from)) {
        if (o.value("peer").toString() == peerName && o.value("dir").toString() == QLatin1String("in")
            && !o.value("src").toString().endsWith(QLatin1String(kLevelPollPort)))
            out.append({QByteArray::fromHex(o.value("hex").toString().toLatin1()), o.value("proto").toString(),
                        o.value("dst").toString()});
    }
    return out;
}
QList<QByteArray> bytesOf(const QList<Received> &r)
{
    QList<QByteArray> out;
    for (const Received &x : r)
        out.append(x.bytes);
    return out;
}
} // namespace

class TestControlsLab : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(QDir::setCurrent(m_dir.path()));
        QVERIFY(labclient::clearFaults());
    }

    void buttonReachesTheEquipment_data()
    {
        QTest::addColumn<QStringList>("blocks");
        QTest::addColumn<QList<QByteArray>>("bytes");
        QTest::addColumn<QString>("transport");
        const QString to = "IP=" + peer(8) + "\r\n";
        QTest::newRow("udp hex") << QStringList{to + "Port=9000\r\nTcp=0\r\nHex=1\r\nData=AA BB C"}
                                 << QList<QByteArray>{QByteArray::fromHex("0aabbc")} << "udp";
        QTest::newRow("tcp ascii") << QStringList{to + "Port=9001\r\nTcp=1\r\nHex=0\r\nData=PWR ON\r\nData=INPUT=2"}
                                   << QList<QByteArray>{"PWR ON", "INPUT=2"} << "tcp";
        QTest::newRow("two blocks, the second after its wait")
            << QStringList{to + "Port=9000\r\nTcp=0\r\nHex=0\r\nData=first", to + "Time=40\r\nData=second"}
            << QList<QByteArray>{"first", "second"} << "udp";
        QTest::newRow("Tcp 2 sends nothing") << QStringList{to + "Port=9000\r\nTcp=2\r\nData=never"} << QList<QByteArray>{}
                                             << "udp";
    }
    void buttonReachesTheEquipment()
    {
        QFETCH(QStringList, blocks);
        QFETCH(QList<QByteArray>, bytes);
        QFETCH(QString, transport);
        ImServerApi &a = api();
        const qint64 before = journalEnd();
        a.ServerButtonCmd(blocks);
        if (bytes.isEmpty()) {
            // A datagram sent after it arrives after anything it could have sent.
            a.ServerButtonCmd({"IP=" + peer(8) + "\r\nPort=9000\r\nTcp=0\r\nHex=0\r\nData=marker"});
            QTRY_VERIFY_WITH_TIMEOUT(!received(before, kEquipment).isEmpty(), 2000);
            QCOMPARE(bytesOf(received(before, kEquipment)), (QList<QByteArray>{"marker"}));
            return;
        }
        if (transport == QLatin1String("tcp")) {
            // A stream may deliver both commands in one read.
            QTRY_COMPARE_WITH_TIMEOUT(bytesOf(received(before, kEquipment)).join(), bytes.join(), 2000);
        } else {
            QTRY_COMPARE_WITH_TIMEOUT(bytesOf(received(before, kEquipment)), bytes, 2000);
        }
        for (const Received &r : received(before, kEquipment))
            QCOMPARE(r.transport, transport);
    }

    void vx2ButtonAndSlider()
    {
        ImServerApi &a = api();
        qint64 before = journalEnd();
        const QVariantMap send{{"ip", peer(8)}, {"port", 9000}, {"protocol", "Udp"}, {"type", "ASCII"}, {"data", "MUTE 1"}};
        a.ServerVX2ButtonCmd({{"behavior", "SendData"}, {"delay", 0}, {"value", send}});
        QTRY_COMPARE_WITH_TIMEOUT(bytesOf(received(before, kEquipment)), (QList<QByteArray>{"MUTE 1"}), 2000);

        // The slider's value replaces its key; the state goes to the group for every client.
        before = journalEnd();
        a.ServerSliderCmd("vol-1", "IP=" + peer(8) + "\r\nPort=9000\r\nHex=0\r\nKey=$V\r\nData=VOL $V", 42.5f, 1);
        QTRY_COMPARE_WITH_TIMEOUT(bytesOf(received(before, kEquipment)), (QList<QByteArray>{"VOL 42.5"}), 2000);
        QTRY_VERIFY_WITH_TIMEOUT(bytesOf(received(before, "group 224.168.1.1")).contains("{SaveClientInfo;vol-1,S_vol-1_42.5}"), 2000);
        QVERIFY(bytesOf(received(before, "group 224.168.1.1")).contains("{SetStatus;S_vol-1_42.5}"));
    }

    void stateOfOneClientReachesTheNext()
    {
        ImServerApi &first = api();
        const qint64 stored = journalEnd();
        first.ServerSetStatus("lamp-1", "B_lamp-1_1");
        QTRY_VERIFY_WITH_TIMEOUT(bytesOf(received(stored, "group 224.168.1.1")).contains("{SetStatus;B_lamp-1_1}"), 2000);
        m_api.reset(); // the next operator starts a client against the same installation

        ImServerApi &second = api();
        QSignalSpy buttons(&second, &ImServerApi::callQmlRefreshButton);
        const qint64 before = journalEnd();
        second.ServerGetStatus("lamp-1");
        QTRY_COMPARE_WITH_TIMEOUT(buttons.size(), 1, 2000);
        QCOMPARE(buttons.first().first().toMap(), (QVariantMap{{"uuid", "lamp-1"}, {"value", "1"}}));
        // Asked of the host the node scan chose.
        const QList<Received> asked = received(before, "host-node");
        QVERIFY(!asked.isEmpty());
        QCOMPARE(asked.first().bytes, QByteArray("{GetClientInfo;lamp-1}"));
    }

    void designCommandsActOnTheClient()
    {
        ImServerApi &a = api();
        QSignalSpy pages(&a, &ImServerApi::callCustomProtocol);
        const qint64 before = journalEnd();
        // A button addressed to the client itself: the lock goes to the walls' group.
        a.ServerButtonCmd({"IP=127.0.0.1\r\nPort=0\r\nData={InlinePanelLock;1;1}\r\nData={InlineExit}"});
        a.ServerButtonCmd({"IP=127.0.0.1\r\nData={InlineSetVariable;$room;North}"});
        a.ServerButtonCmd({"IP=127.0.0.1\r\nData={InlineClearPanelScenes;1}"});
        QTRY_VERIFY_WITH_TIMEOUT(bytesOf(received(before, "group 224.168.1.1")).contains("{SetLockFrame;1;-1}"), 2000);
        QCOMPARE(a.variables().value("$room"), QStringLiteral("North"));
        // The clock dialog's command asks the wall's first output for its clocks.
        a.ServerButtonCmd({"IP=127.0.0.1\r\nData={InlineEditClocks;1}"});
        QTRY_VERIFY_WITH_TIMEOUT(bytesOf(received(before, "decoder-1.1")).contains("{GetClockOsd;1}"), 2000);
        // Only the first command of a block runs; the pages get what is theirs.
        QCOMPARE(pages.size(), 2);
        QCOMPARE(pages.first(), (QVariantList{"InlineClearPanelScenes", QStringList{"1"}}));
        QCOMPARE(pages.last(), (QVariantList{"InlineEditClocks", QStringList{"1"}}));

        // A variable stands in for its name in a designed command.
        const qint64 later = journalEnd();
        const QVariantMap send{{"ip", peer(8)}, {"port", 9000}, {"protocol", "Udp"}, {"type", "ASCII"},
                               {"data", "ROOM $room"}, {"wildcard", QVariantMap{}}};
        a.ServerVX2ButtonCmd({{"behavior", "SendData"}, {"value", send}});
        QTRY_COMPARE_WITH_TIMEOUT(bytesOf(received(later, kEquipment)), (QList<QByteArray>{"ROOM North"}), 2000);
    }

    // The sample's level docker reads the equipment's level once a second; its values reach
    // the page, and a designed command's wildcard reads the last one.
    void levelDockerFeedsItsPageAndWildcards()
    {
        ImServerApi &a = api();
        QSignalSpy levels(&a, &ImServerApi::callQmlRefreshListen);
        QTRY_VERIFY_WITH_TIMEOUT(levels.size() >= 2, 5000);
        QCOMPARE(levels.first().at(0).toString(), QStringLiteral("hall-level"));
        QVERIFY(levels.at(0).at(1) != levels.at(1).at(1)); // the equipment's level moves

        const qint64 later = journalEnd();
        const QVariantMap send{{"ip", peer(8)}, {"port", 9000}, {"protocol", "Udp"}, {"type", "ASCII"},
                               {"data", "SHOW $LEVEL dB"}, {"wildcard", QVariantMap{{"$LEVEL", "hall-level:$L"}}}};
        a.ServerVX2ButtonCmd({{"behavior", "SendData"}, {"value", send}});
        QTRY_COMPARE_WITH_TIMEOUT(received(later, kEquipment).size(), 1, 2000);
        const QByteArray sent = received(later, kEquipment).first().bytes;
        QVERIFY2(sent.startsWith("SHOW -") || sent.startsWith("SHOW 0"), sent.constData());
        bool ok = false;
        const int shown = sent.mid(5, sent.size() - 8).toInt(&ok);
        QVERIFY2(ok && sent.endsWith(" dB"), sent.constData());
        // The value the command carried is one the page was given.
        const auto given = [&levels, shown] {
            for (const QList<QVariant> &l : qAsConst(levels))
                if (l.at(1).toInt() == shown)
                    return true;
            return false;
        };
        QTRY_VERIFY_WITH_TIMEOUT(given(), 3000);
    }

    void kvmHostIsRecorded()
    {
        // The host service answers the client's announcement on the host socket.
        ImServerApi &a = api();
        QTRY_COMPARE_WITH_TIMEOUT(a.hosts().size(), 1, 3000);
        QCOMPARE(a.hosts().first().name, QStringLiteral("KVM host kvm-1"));
        QCOMPARE(a.hosts().first().address, peer(6));
    }

    void cleanupTestCase() { m_api.reset(); }

private:
    ImServerApi &api()
    {
        if (m_api)
            return *m_api;
        m_api = labclient::loggedIn();
        return *m_api;
    }

    QTemporaryDir m_dir;
    std::unique_ptr<ImServerApi> m_api;
};

QTEST_MAIN(TestControlsLab)
#include "tst_controls_lab.moc"
