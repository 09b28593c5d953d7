// Wall windows, scenes and cycle groups against the simulated installation: this test runs
// on the client side of a lab network (scripts/with-lab) with kora-lab on the device side.
// It logs in first, so that walls and outputs come from the downloaded project, then checks
// what the lab's decoders received and answered.
#include "controller/imserverapi.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QtTest>
#include <memory>

#include "support/labsession.h"

namespace {
using labclient::clientIp;
using labclient::control;
using labclient::journalEnd;
using labclient::journalFrom;
QString peer(int host) { return labclient::peerAddress(host); }

// The first line at or after `from` of that peer and direction whose bytes are `bytes`
// (or start with them); -1 when none.
int find(const QList<QJsonObject> &lines, const QString &peerName, const QString &dir, const QByteArray &bytes,
         bool prefix = false, int from = 0)
{
    for (int i = qMax(0, from); i < lines.size(); ++i) {
        const QJsonObject &o = lines.at(i);
        const QByteArray payload = QByteArray::fromHex(o.value("hex").toString().toLatin1());
        if (o.value("peer").toString() == peerName && o.value("dir").toString() == dir
            && (prefix ? payload.startsWith(bytes) : payload == bytes))
            return i;
    }
    return -1;
}
int count(const QList<QJsonObject> &lines, const QString &peerName, const QString &dir, const QByteArray &bytes, bool prefix = false)
{
    int n = 0;
    for (int at = find(lines, peerName, dir, bytes, prefix); at >= 0; at = find(lines, peerName, dir, bytes, prefix, at + 1))
        ++n;
    return n;
}
qint64 msecsBetween(const QJsonObject &a, const QJsonObject &b)
{
    return QDateTime::fromString(a.value("t").toString(), Qt::ISODateWithMs)
        .msecsTo(QDateTime::fromString(b.value("t").toString(), Qt::ISODateWithMs));
}
QJsonObject wallState(const QString &id)
{
    const QJsonArray walls = control({{"cmd", "walls"}}).value("state").toObject().value("walls").toArray();
    for (const QJsonValue &w : walls) {
        if (w.toObject().value("id").toString() == id)
            return w.toObject();
    }
    return {};
}
QByteArray gbk(const QString &text) { return QTextCodec::codecForName("GBK")->fromUnicode(text); }

// What the pages show of each wall: the window items the dispatcher's signals carry, as
// "src_ip,x,y,w,h", rebuilt at every clear.
struct WallView {
    QMap<QString, QStringList> windows;
    QObject connections; // they end with the view
    explicit WallView(ImServerApi &api)
    {
        QObject::connect(&api, &ImServerApi::callQmlClearBlock, &connections, [this](const QString &wall) {
            windows[wall].clear();
        });
        QObject::connect(&api, &ImServerApi::callQmlAddBlock, &connections, [this](const QString &wall, const QVariantMap &m) {
            QStringList v;
            for (const char *key : {"src_ip", "x", "y", "w", "h"})
                v.append(m.value(key).toString());
            windows[wall].append(v.join(','));
        });
    }
};
// The same items as WallView shows them.
QStringList shown(const QStringList &items)
{
    QStringList out;
    for (const QString &item : items) {
        const QStringList v = item.split(',');
        out.append(QStringList{v.at(0), v.at(2), v.at(3), v.at(4), v.at(5)}.join(','));
    }
    return out;
}

const QString kGroup = QStringLiteral("group 224.168.1.1");
const QString kFirstDecoder = QStringLiteral("decoder-1.1");
} // namespace

class TestWallsLab : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(QDir::setCurrent(m_dir.path()));
        QVERIFY(labclient::clearFaults());
        m_items = QStringList{peer(30) + ",udp://239.10.1.30:30300,0,0,1920,1080,1",
                              peer(31) + ",udp://239.10.1.31:30310,1920,0,1920,1080,2"};
        m_windows = "{SetWindows;1;" + m_items.join(';').toLatin1() + '}';
    }

    void windowListReachesTheWall_data()
    {
        QTest::addColumn<bool>("multicast");
        QTest::newRow("multicast off: each decoder") << false;
        QTest::newRow("multicast on: the group") << true;
    }
    void windowListReachesTheWall()
    {
        QFETCH(bool, multicast);
        ImServerApi &a = api(multicast);
        QCOMPARE(a.settings().multicast, multicast);
        // The walls and outputs are the downloaded project's.
        const kora::design::WallRecord *wall = kora::walls::findWall(a.walls(), "1");
        QVERIFY(wall);
        QCOMPARE(wall->decoderAddresses, (QStringList{peer(20), peer(21), peer(22), peer(23)}));
        QCOMPARE(a.getPanelIDFromIP(peer(24)), QStringLiteral("2"));

        const qint64 before = journalEnd();
        WallView view(a);
        a.ServerSetWindows("1", QString::fromLatin1(m_windows));
        // The acknowledgement makes the client ask for the list again, and the pages show it.
        QTRY_COMPARE_WITH_TIMEOUT(view.windows.value("1"), shown(m_items), 2000);
        const QList<QJsonObject> j = journalFrom(before);
        const int ack = find(j, kFirstDecoder, "out", "{SetWindows;1}");
        const int query = find(j, kFirstDecoder, "in", "{GetWindows;1}", false, ack + 1);
        QVERIFY2(ack >= 0 && query > ack, qPrintable(QStringLiteral("%1 %2").arg(ack).arg(query)));
        QVERIFY(msecsBetween(j.at(ack), j.at(query)) >= 25);
        if (multicast) {
            const int line = find(j, kGroup, "in", m_windows);
            QVERIFY(line >= 0);
            QCOMPARE(j.at(line).value("src").toString(), clientIp() + ":41234");
            QCOMPARE(j.at(line).value("dst").toString(), QStringLiteral("224.168.1.1:41234"));
            for (int n = 1; n <= 4; ++n)
                QCOMPARE(find(j, QStringLiteral("decoder-1.%1").arg(n), "in", m_windows), -1);
        } else {
            for (int n = 1; n <= 4; ++n) {
                const int line = find(j, QStringLiteral("decoder-1.%1").arg(n), "in", m_windows);
                QVERIFY2(line >= 0, qPrintable(QString::number(n)));
                QCOMPARE(j.at(line).value("src").toString(), clientIp() + ":41234");
                QCOMPARE(j.at(line).value("dst").toString(), peer(19 + n) + ":41234");
            }
            QCOMPARE(find(j, kGroup, "in", m_windows), -1);
            QCOMPARE(find(j, "decoder-2.1", "in", m_windows), -1);
        }
        QCOMPARE(wallState("1").value("windows").toArray(), QJsonArray::fromStringList(m_items));
    }

    void queryAndClear()
    {
        ImServerApi &a = api(true);
        QVERIFY(control({{"cmd", "setWindows"}, {"wall", "1"}, {"windows", QJsonArray::fromStringList(m_items)}}).value("ok").toBool());
        qint64 before = journalEnd();
        QSignalSpy cleared(&a, &ImServerApi::callQmlClearBlock);
        QSignalSpy blocks(&a, &ImServerApi::callQmlAddBlock);
        a.ServerGetWindows("1");
        const QByteArray answer = "{GetWindows;1;" + m_items.join(';').toLatin1() + '}';
        QTRY_VERIFY_WITH_TIMEOUT(find(journalFrom(before), kFirstDecoder, "out", answer) >= 0, 2000);
        // The wall's answer reaches the pages through the reply dispatcher.
        QTRY_COMPARE_WITH_TIMEOUT(blocks.size(), m_items.size(), 2000);
        QCOMPARE(cleared.size(), 1);
        QCOMPARE(cleared.first().first().toString(), QStringLiteral("1"));
        QCOMPARE(blocks.first().at(0).toString(), QStringLiteral("1"));
        QList<QJsonObject> j = journalFrom(before);
        const int query = find(j, kFirstDecoder, "in", "{GetWindows;1}");
        QVERIFY(query >= 0);
        QCOMPARE(j.at(query).value("dst").toString(), peer(20) + ":41234"); // the wall's first output

        a.setSelPanel("1");
        before = journalEnd();
        QVERIFY(a.ServerClearWall());
        QTRY_VERIFY_WITH_TIMEOUT(find(journalFrom(before), kFirstDecoder, "out", "{GetWindows;1}") >= 0, 2000);
        j = journalFrom(before);
        const int empty = find(j, kGroup, "in", "{SetWindows;1}");
        const int silence = find(j, kGroup, "in", "{SetAudios;1}");
        const int again = find(j, kFirstDecoder, "in", "{GetWindows;1}", false, silence + 1);
        QVERIFY2(empty >= 0 && silence > empty && again > silence,
                 qPrintable(QStringLiteral("%1 %2 %3").arg(empty).arg(silence).arg(again)));
        QVERIFY2(msecsBetween(j.at(silence), j.at(again)) >= 25, qPrintable(QString::number(msecsBetween(j.at(silence), j.at(again)))));
        QCOMPARE(wallState("1").value("windows").toArray(), QJsonArray{});

        // A wall the project does not know is still addressed through the group: its window
        // list, then the clearing.
        before = journalEnd();
        a.ServerSetWindows("9", "{SetWindows;9}");
        a.setSelPanel("9");
        QVERIFY(a.ServerClearWall());
        QTRY_VERIFY_WITH_TIMEOUT(find(journalFrom(before), kGroup, "in", "{SetAudios;9}") >= 0, 2000);
        j = journalFrom(before);
        const int list = find(j, kGroup, "in", "{SetWindows;9}");
        const int emptied = find(j, kGroup, "in", "{SetWindows;9}", false, list + 1);
        QVERIFY2(list >= 0 && emptied > list, qPrintable(QStringLiteral("%1 %2").arg(list).arg(emptied)));
        QVERIFY(find(j, kGroup, "in", "{SetAudios;9}") > emptied);
    }

    void sceneSavedListedCalledDeleted()
    {
        ImServerApi &a = api(true);
        a.setSelPanel("1");
        QVERIFY(control({{"cmd", "setWindows"}, {"wall", "1"}, {"windows", QJsonArray::fromStringList(m_items)}}).value("ok").toBool());
        const QString id = QStringLiteral("1716191400000_dock=1");
        const QString name = QStringLiteral("早会 Morning");

        // Saved: GBK on the wire, then the scene list is asked for and answered.
        qint64 before = journalEnd();
        WallView view(a);
        QSignalSpy sceneMessages(&a, &ImServerApi::callQmlScenesMsg);
        QSignalSpy sceneNames(&a, &ImServerApi::callQmlAddScenes);
        a.ServerSaveScene(id, name);
        QTRY_VERIFY_WITH_TIMEOUT(find(journalFrom(before), kFirstDecoder, "out", "{GetScenes;1;" + id.toLatin1() + ',', true) >= 0, 2000);
        QList<QJsonObject> j = journalFrom(before);
        const int save = find(j, kGroup, "in", gbk("{SaveScene;1;" + id + ',' + name + '}'));
        QVERIFY(save >= 0);
        QVERIFY(find(j, kFirstDecoder, "out", "{SaveScene;1}") > save);
        const int list = find(j, kFirstDecoder, "in", "{GetScenes;1}");
        QVERIFY(list > save);
        QVERIFY(msecsBetween(j.at(save), j.at(list)) >= 8);
        const QJsonArray scenes = wallState("1").value("scenes").toArray();
        QCOMPARE(scenes.size(), 1);
        QCOMPARE(scenes.at(0).toObject().value("name").toString(), name);
        QCOMPARE(scenes.at(0).toObject().value("windows").toArray(), QJsonArray::fromStringList(m_items));
        // The scene message reaches the pages with the scene's windows (the save asks for the
        // list, and so does its acknowledgement).
        QTRY_VERIFY_WITH_TIMEOUT(sceneMessages.size() >= 1, 2000);
        const QJsonObject message = sceneMessages.last().first().toJsonObject();
        QCOMPARE(message.value("panel_id").toString(), QStringLiteral("1"));
        const QJsonObject saved = message.value("scene_array").toArray().at(0).toObject();
        QCOMPARE(saved.value("scene_id").toString(), id);
        QCOMPARE(saved.value("scene_name").toString(), name);
        QCOMPARE(saved.value("scene_blocks").toArray().size(), m_items.size());

        // Listed by name.
        before = journalEnd();
        a.ServerGetScenes();
        QTRY_VERIFY_WITH_TIMEOUT(find(journalFrom(before), kFirstDecoder, "out", gbk("{GetSceneNames;1;" + id + ',' + name + '}')) >= 0, 2000);
        QVERIFY(find(journalFrom(before), kFirstDecoder, "in", "{GetSceneNames;1}") >= 0);
        QTRY_COMPARE_WITH_TIMEOUT(sceneNames.size(), 1, 2000);
        QCOMPARE(sceneNames.first(), (QVariantList{"1", QStringList{id}, QStringList{name}}));

        // Called on an emptied wall: the windows come back and are asked for.
        QVERIFY(control({{"cmd", "setWindows"}, {"wall", "1"}, {"windows", QJsonArray{}}}).value("ok").toBool());
        before = journalEnd();
        view.windows.clear();
        a.ServerCallScene(id, false);
        const QByteArray answer = "{GetWindows;1;" + m_items.join(';').toLatin1() + '}';
        QTRY_COMPARE_WITH_TIMEOUT(view.windows.value("1"), shown(m_items), 2000);
        j = journalFrom(before);
        const int call = find(j, kGroup, "in", "{CallScene;1;" + id.toLatin1() + '}');
        QVERIFY(call >= 0);
        QVERIFY(find(j, kFirstDecoder, "out", "{CallScene;1;" + id.toLatin1() + '}') > call);
        QVERIFY(find(j, kFirstDecoder, "in", "{GetWindows;1}") > call);
        QCOMPARE(wallState("1").value("windows").toArray(), QJsonArray::fromStringList(m_items));

        // Preview and query fetch the scene from the first output and change nothing.
        QVERIFY(control({{"cmd", "setWindows"}, {"wall", "1"}, {"windows", QJsonArray{}}}).value("ok").toBool());
        before = journalEnd();
        a.ServerCallScene(id, true);
        a.ServerQueryScene(id, "1");
        const QByteArray scene = "{GetScene;1;" + id.toLatin1() + ',';
        QTRY_COMPARE_WITH_TIMEOUT(count(journalFrom(before), kFirstDecoder, "out", scene, true), 2, 2000);
        j = journalFrom(before);
        const int preview = find(j, kFirstDecoder, "in", "{GetScene;1;" + id.toLatin1() + '}');
        QVERIFY(preview >= 0);
        QCOMPARE(count(j, kFirstDecoder, "in", "{GetScene;1;" + id.toLatin1() + '}'), 2);
        QCOMPARE(find(j, kGroup, "in", "{CallScene;1;" + id.toLatin1() + '}'), -1);
        QCOMPARE(wallState("1").value("windows").toArray(), QJsonArray{});

        // Deleted: the list is asked for again and comes back empty.
        before = journalEnd();
        a.ServerDelScene(id);
        QTRY_VERIFY_WITH_TIMEOUT(find(journalFrom(before), kFirstDecoder, "out", "{GetScenes;1}") >= 0, 2000);
        j = journalFrom(before);
        const int del = find(j, kGroup, "in", "{DeleteScene;1;" + id.toLatin1() + '}');
        QVERIFY(del >= 0);
        QVERIFY(find(j, kFirstDecoder, "in", "{GetScenes;1}") > del);
        QCOMPARE(wallState("1").value("scenes").toArray(), QJsonArray{});

        // A scene id that would break the command is never sent: the group hears the next
        // command, and nothing before it.
        before = journalEnd();
        a.ServerSaveScene("a;b", name);
        a.ServerCloseSceneCycle();
        QTRY_VERIFY_WITH_TIMEOUT(find(journalFrom(before), kGroup, "in", "{SetScenesPolling;1;0}") >= 0, 2000);
        QCOMPARE(find(journalFrom(before), kGroup, "in", "{SaveScene;", true), -1);
    }

    void seatChangeShowsTheNodesWall()
    {
        // A KVM seat reports a change of a node: the node is asked with the id of every wall,
        // and its answer is shown under the wall the node belongs to.
        ImServerApi &a = api(true);
        QVERIFY(control({{"cmd", "setWindows"}, {"wall", "1"}, {"windows", QJsonArray::fromStringList(m_items)}}).value("ok").toBool());
        WallView view(a);
        const qint64 before = journalEnd();
        QVERIFY(control({{"cmd", "send"}, {"peer", "decoder-2.1"}, {"to", clientIp()}, {"port", 41234},
                         {"text", "{KvmSignalChange;" + peer(20) + "}"}}).value("ok").toBool());
        QTRY_COMPARE_WITH_TIMEOUT(view.windows.value("1"), shown(m_items), 2000);
        QCOMPARE(view.windows.value("100"), QStringList());
        const QList<QJsonObject> j = journalFrom(before);
        const int ask = find(j, kFirstDecoder, "in", "{GetWindows;100}");
        QVERIFY(ask >= 0);
        QCOMPARE(j.at(ask).value("dst").toString(), peer(20) + ":41234");
    }

    void cycleGroupStartsThePolling()
    {
        ImServerApi &a = api(true);
        a.setSelPanel("1");
        qint64 before = journalEnd();
        a.ServerSaveScene("s1", "A");
        a.ServerSaveScene("s2", "B");
        QTRY_COMPARE_WITH_TIMEOUT(wallState("1").value("scenes").toArray().size(), 2, 2000);

        // Added: the store reaches the installation through the group.
        before = journalEnd();
        QVERIFY(a.serverAddCycleGroup("Tour", 5, {"s1", "s2"}, {"A", "B"}));
        QVERIFY(!a.serverAddCycleGroup("Tour", 6, {"s1"}, {"A"})); // the name exists: nothing sent
        const QByteArray store = "{SaveClientInfo;1_cycleGroups,\"{\"data\":[{\"hotkey\":\"\",\"id\":\"Tour\",\"isCall\":false,\"name\":\"Tour\",\"sceneIds\":[\"s1\",\"s2\"],\"sceneNames\":[\"A\",\"B\"],\"time\":5}],\"id\":\"1\",\"obj\":\"cycleGroups\"}\"}";
        QTRY_VERIFY_WITH_TIMEOUT(find(journalFrom(before), kGroup, "in", store) >= 0, 2000);
        a.ServerCloseSceneCycle(); // the group hears it after anything the refused add might have sent
        QTRY_VERIFY_WITH_TIMEOUT(find(journalFrom(before), kGroup, "in", "{SetScenesPolling;1;0}") >= 0, 2000);
        QCOMPARE(count(journalFrom(before), kGroup, "in", "{SaveClientInfo;", true), 1);
        const QJsonArray groups = wallState("1").value("cycleGroups").toArray();
        QCOMPARE(groups.size(), 1);
        QCOMPARE(groups.at(0).toObject().value("id").toString(), QStringLiteral("Tour"));
        QCOMPARE(a.serverGetCycleGroupList(), (QVariantList{QVariantMap{{"name", "Tour"}, {"id", "Tour"}}}));

        // Started: the running polling is stopped, then the new one reaches the first output.
        before = journalEnd();
        a.serverStartCycleGroup("1", "Tour");
        QTRY_COMPARE_WITH_TIMEOUT(wallState("1").value("polling").toObject().value("seconds").toInt(), 5, 2000);
        QList<QJsonObject> j = journalFrom(before);
        const int stop = find(j, kGroup, "in", "{SetScenesPolling;1;0}");
        const int start = find(j, kFirstDecoder, "in", "{SetScenesPolling;1;5;s1,s2}");
        QVERIFY2(stop >= 0 && start > stop, qPrintable(QStringLiteral("%1 %2").arg(stop).arg(start)));
        QVERIFY(msecsBetween(j.at(stop), j.at(start)) >= 12);
        QCOMPARE(wallState("1").value("polling").toObject().value("sceneIds").toArray(), (QJsonArray{"s1", "s2"}));
        // The polling is stored as the wall's cycle state, so every client can see it.
        const QByteArray state = R"("{"memb":["s1","s2"],"obj":"cycle","time":"5","uuid":"1"}")";
        QTRY_VERIFY_WITH_TIMEOUT(find(journalFrom(before), kGroup, "in", "{SaveClientInfo;1_cycle," + state + '}') >= 0, 2000);
        QVERIFY(find(journalFrom(before), kGroup, "in", "{SetStatus;" + state + '}') >= 0);
        QCOMPARE(storedCycle(a), (QJsonObject{{"obj", "cycle"}, {"uuid", "1"}, {"time", "5"}, {"memb", QJsonArray{"s1", "s2"}}}));

        // Renamed (the id stays), then deleted by the new name; stopped.
        QVERIFY(a.serverEditCycleGroup("Tour", "Day", 7, {"s2"}, {"B"}));
        QCOMPARE(a.serverGetCycleGroup("Tour").value("name").toString(), QStringLiteral("Day"));
        QTRY_COMPARE_WITH_TIMEOUT(wallState("1").value("cycleGroups").toArray().at(0).toObject().value("name").toString(),
                                  QStringLiteral("Day"), 2000);
        QVERIFY(a.serverDelCycleGroup("Day"));
        QTRY_COMPARE_WITH_TIMEOUT(wallState("1").value("cycleGroups").toArray(), QJsonArray{}, 2000);
        a.ServerCloseSceneCycle();
        QTRY_COMPARE_WITH_TIMEOUT(wallState("1").value("polling").toObject().value("seconds").toInt(), 0, 2000);
    }

    void pollingOfAnEmptyList()
    {
        // No scenes: the running polling is closed, then the polling command carries the wall
        // and the interval only, and that is the wall's stored cycle state.
        ImServerApi &a = api(true);
        a.setSelPanel("1");
        const qint64 before = journalEnd();
        a.ServerCallSceneCycle({}, "5");
        QTRY_VERIFY_WITH_TIMEOUT(find(journalFrom(before), kFirstDecoder, "in", "{SetScenesPolling;1;5}") >= 0, 2000);
        const QList<QJsonObject> j = journalFrom(before);
        const int stop = find(j, kGroup, "in", "{SetScenesPolling;1;0}");
        QVERIFY(stop >= 0 && stop < find(j, kFirstDecoder, "in", "{SetScenesPolling;1;5}"));
        const QByteArray state = R"("{"memb":[],"obj":"cycle","time":"5","uuid":"1"}")";
        QTRY_VERIFY_WITH_TIMEOUT(find(journalFrom(before), kGroup, "in", "{SaveClientInfo;1_cycle," + state + '}') >= 0, 2000);
        QCOMPARE(storedCycle(a), (QJsonObject{{"obj", "cycle"}, {"uuid", "1"}, {"time", "5"}, {"memb", QJsonArray{}}}));
        a.ServerCloseSceneCycle();
        QTRY_VERIFY_WITH_TIMEOUT(find(journalFrom(before), kGroup, "in", "{SetScenesPolling;1;0}", false, stop + 1) >= 0, 2000);
    }

    void cleanupTestCase() { m_api.reset(); }

private:
    // The cycle state of wall "1" as the installation keeps it for every client.
    static QJsonObject storedCycle(ImServerApi &a)
    {
        QSignalSpy cycle(&a, &ImServerApi::callQmlRefreshCycle);
        a.ServerGetStatus("1_cycle");
        if (!cycle.wait(2000))
            return {};
        return cycle.last().first().toJsonObject();
    }

    // One logged-in controller per multicast setting, its walls and outputs downloaded.
    ImServerApi &api(bool multicast)
    {
        if (m_api && m_api->settings().multicast == multicast)
            return *m_api;
        m_api.reset();
        QDir().mkpath("data");
        {
            QSettings ini("data/control.ini", QSettings::IniFormat);
            ini.setValue("Local/multicast", multicast);
        }
        m_api = labclient::loggedIn();
        return *m_api;
    }

    QTemporaryDir m_dir;
    std::unique_ptr<ImServerApi> m_api;
    QStringList m_items;
    QByteArray m_windows;
};

QTEST_MAIN(TestWallsLab)
#include "tst_walls_lab.moc"
