// The walls and the controller as the client meets them: datagrams in, exact reply bytes
// and destinations out, and the uploads the decoders receive. No sockets: the peers are fed
// directly.
#include "peers/walls.h"
#include "devices/devicecommands.h"
#include "upload/uploadprotocol.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTextCodec>
#include <QtTest>

using namespace lab;

namespace {

const QString ClientA = QStringLiteral("10.0.0.1");
const QString ClientB = QStringLiteral("10.0.0.2");
const QString Group = QStringLiteral("224.168.1.1");
const QString Broadcast = QStringLiteral("255.255.255.255");
const QString Controller = QStringLiteral("10.0.0.5");

// Windows as the client composes them: source, stream, x, y, w, h and an optional signal id.
const QByteArray WinA = "10.0.0.31,udp://239.0.0.31:5000,0,0,1920,1080";
const QByteArray WinB = "10.0.0.32,udp://239.0.0.32:5002,0,0,960,540";
const QByteArray WinC = "10.0.0.33,udp://239.0.0.33:5000,960,0,960,540,7_cam";
const QByteArray WinD = "10.0.0.34,udp://239.0.0.34:5002,1920,0,1920,1080";

QByteArray gbk(const QString &text) { return QTextCodec::codecForName("GBK")->fromUnicode(text); }

QString node(int wall, int n) { return QStringLiteral("10.0.0.%1").arg(20 + (wall - 1) * 4 + n); }

// How a reply is written in the tables: who sent it, where to, and its bytes.
QString reply(const QString &peer, const QByteArray &data, const QString &to = ClientA, quint16 port = 41234)
{
    return QStringLiteral("%1 -> %2:%3 %4").arg(peer, to).arg(port).arg(QString::fromLatin1(data.constData(), data.size()));
}

struct Rig {
    std::unique_ptr<WallSystem> system;
    std::vector<std::unique_ptr<Peer>> decoders;
    std::unique_ptr<ControllerPeer> controller;

    explicit Rig(QList<SignalResource> resources = {})
    {
        QList<WallConfig> walls;
        for (int w = 1; w <= 2; ++w) {
            WallConfig config;
            config.id = QString::number(w);
            for (int n = 1; n <= 4; ++n)
                config.nodes.append(QHostAddress(node(w, n)));
            walls.append(config);
        }
        system = std::make_unique<WallSystem>(walls);
        decoders = makeDecoderPeers(*system);
        controller = std::make_unique<ControllerPeer>(*system, QHostAddress(Controller), std::move(resources));
    }

    // Delivers one datagram the way the engine would: a group or broadcast datagram reaches
    // every decoder, a unicast one the peer with that address.
    QStringList send(const QByteArray &data, const QString &to, const QString &from = ClientA, quint16 fromPort = 41234)
    {
        const QHostAddress destination(to);
        const bool group = destination.isMulticast() || destination == QHostAddress(QHostAddress::Broadcast);
        QList<Peer *> receivers;
        if (destination == controller->address()) {
            receivers.append(controller.get());
        } else {
            for (const auto &peer : decoders) {
                if (group || peer->address() == destination)
                    receivers.append(peer.get());
            }
        }
        QStringList out;
        for (Peer *peer : receivers) {
            Datagram in;
            in.data = data;
            in.sender = QHostAddress(from);
            in.senderPort = fromPort;
            in.destination = destination;
            in.destinationPort = peer->udpPorts().value(0);
            for (const Outgoing &o : peer->handle(in)) {
                QString line = reply(peer->name(), o.data, o.to.toString(), o.port);
                if (o.fromPort != 0 || o.delayMs != 0)
                    line += QStringLiteral(" from %1 after %2").arg(o.fromPort).arg(o.delayMs);
                out.append(line);
            }
        }
        return out;
    }

    QStringList sendAll(const QByteArray &data, const QStringList &destinations)
    {
        QStringList out;
        for (const QString &to : destinations)
            out += send(data, to);
        return out;
    }
};

QList<SignalResource> resources(int count)
{
    QList<SignalResource> out;
    for (int i = 1; i <= count; ++i) {
        out.append({QStringLiteral("s%1").arg(i), QStringLiteral("Cam %1").arg(i),
                    QStringLiteral("rtsp://10.0.1.%1/main").arg(i), QStringLiteral("rtsp://10.0.1.%1/sub").arg(i),
                    QStringLiteral("239.2.0.%1:6000").arg(i), i % 2 ? QStringLiteral("Lobby") : QStringLiteral("Yard")});
    }
    return out;
}

QJsonObject json(const QString &line)
{
    // The bytes after "peer -> address:port ".
    const int space = line.indexOf(QLatin1Char(' '), line.indexOf(QLatin1String("-> ")) + 3);
    return QJsonDocument::fromJson(line.mid(space + 1).toLatin1()).object();
}

} // namespace

class TestLabWalls : public QObject
{
    Q_OBJECT
private slots:
    void peersListenWhereTheClientSends()
    {
        Rig rig;
        QStringList names;
        for (const auto &peer : rig.decoders) {
            names.append(peer->name());
            QCOMPARE(peer->udpPorts(), (QList<quint16>{41234, 5000}));
            QCOMPARE(peer->groups().size(), 2);
            for (const Endpoint &group : peer->groups())
                QCOMPARE(group.address, QHostAddress(Group));
            QCOMPARE(peer->groups().first().port, quint16(41234));
            QCOMPARE(peer->groups().last().port, quint16(5000));
        }
        QCOMPARE(names, (QStringList{"decoder-1.1", "decoder-1.2", "decoder-1.3", "decoder-1.4", "decoder-2.1",
                                     "decoder-2.2", "decoder-2.3", "decoder-2.4"}));
        QCOMPARE(rig.decoders[5]->address(), QHostAddress(node(2, 2)));
        QCOMPARE(rig.controller->name(), QStringLiteral("controller"));
        QCOMPARE(rig.controller->udpPorts(), QList<quint16>{41235});
        QVERIFY(rig.controller->groups().isEmpty());
    }

    void whoAnswersGetWindows_data()
    {
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<QString>("to");
        QTest::addColumn<int>("fromPort");
        QTest::addColumn<QStringList>("expected");

        const QByteArray w1 = "{GetWindows;1;" + WinA + ';' + WinB + '}';
        const QByteArray w2 = "{GetWindows;2;" + WinC + '}';
        QTest::newRow("unicast to the third decoder") << QByteArray("{GetWindows;1}") << node(1, 3) << 41234
                                                      << QStringList{reply("decoder-1.3", w1)};
        QTest::newRow("group, wall 1: its first decoder only")
            << QByteArray("{GetWindows;1}") << Group << 41234 << QStringList{reply("decoder-1.1", w1)};
        QTest::newRow("group, wall 2") << QByteArray("{GetWindows;2}") << Group << 41234
                                       << QStringList{reply("decoder-2.1", w2)};
        QTest::newRow("broadcast counts as the group")
            << QByteArray("{GetWindows;2}") << Broadcast << 41234 << QStringList{reply("decoder-2.1", w2)};
        QTest::newRow("group, all walls: first decoder of each, id kept")
            << QByteArray("{GetWindows;100}") << Group << 41234
            << QStringList{reply("decoder-1.1", "{GetWindows;100;" + WinA + ';' + WinB + '}'),
                           reply("decoder-2.1", "{GetWindows;100;" + WinC + '}')};
        QTest::newRow("all walls asked of one decoder: its own wall")
            << QByteArray("{GetWindows;100}") << node(2, 2) << 41234
            << QStringList{reply("decoder-2.2", "{GetWindows;100;" + WinC + '}')};
        QTest::newRow("a decoder of another wall stays silent")
            << QByteArray("{GetWindows;2}") << node(1, 1) << 41234 << QStringList{};
        QTest::newRow("unknown wall") << QByteArray("{GetWindows;9}") << Group << 41234 << QStringList{};
        QTest::newRow("answer goes to the asking port")
            << QByteArray("{GetWindows;1}") << node(1, 4) << 50123
            << QStringList{reply("decoder-1.4", w1, ClientA, 50123)};
        QTest::newRow("controller answers the command socket")
            << QByteArray("{GetWindows;2}") << Controller << 50123 << QStringList{reply("controller", w2)};
        QTest::newRow("controller names each wall when asked for all")
            << QByteArray("{GetWindows;100}") << Controller << 41234
            << QStringList{reply("controller", w1), reply("controller", w2)};
    }

    void whoAnswersGetWindows()
    {
        QFETCH(QByteArray, command);
        QFETCH(QString, to);
        QFETCH(int, fromPort);
        QFETCH(QStringList, expected);
        Rig rig;
        QVERIFY(rig.system->setWindows("1", {WinA, WinB}));
        QVERIFY(rig.system->setWindows("2", {WinC}));
        QCOMPARE(rig.send(command, to, ClientA, quint16(fromPort)), expected);
    }

    void setThenGetWindows_data()
    {
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<QStringList>("setTo");
        QTest::addColumn<QString>("getTo");
        QTest::addColumn<QStringList>("acks");
        QTest::addColumn<QByteArray>("wall1");
        QTest::addColumn<QByteArray>("wall2");

        const QByteArray set = "{SetWindows;1;" + WinA + ';' + WinC + '}';
        const QByteArray both = "{GetWindows;1;" + WinA + ';' + WinC + '}';
        const QByteArray untouched = "{GetWindows;2;" + WinD + '}';
        QTest::newRow("unicast to one decoder, read through the group")
            << set << QStringList{node(1, 2)} << Group << QStringList{reply("decoder-1.2", "{SetWindows;1}")} << both
            << untouched;
        QTest::newRow("group, read from another decoder")
            << set << QStringList{Group} << node(1, 4) << QStringList{reply("decoder-1.1", "{SetWindows;1}")} << both
            << untouched;
        QTest::newRow("wall unicast: one datagram per decoder, each acknowledges")
            << set << QStringList{node(1, 1), node(1, 2), node(1, 3), node(1, 4)} << Group
            << QStringList{reply("decoder-1.1", "{SetWindows;1}"), reply("decoder-1.2", "{SetWindows;1}"),
                           reply("decoder-1.3", "{SetWindows;1}"), reply("decoder-1.4", "{SetWindows;1}")}
            << both << untouched;
        QTest::newRow("through the controller")
            << set << QStringList{Controller} << node(1, 3) << QStringList{reply("controller", "{SetWindows;1}")}
            << both << untouched;
        QTest::newRow("resize is acknowledged under its own name")
            << QByteArray("{ResizeWindows;1;" + WinA + ';' + WinC + '}') << QStringList{Group} << node(1, 1)
            << QStringList{reply("decoder-1.1", "{ResizeWindows;1}")} << both << untouched;
        QTest::newRow("reurl") << QByteArray("{ReurlWindows;1;" + WinA + ';' + WinC + '}') << QStringList{node(1, 3)}
                               << Group << QStringList{reply("decoder-1.3", "{ReurlWindows;1}")} << both << untouched;
        QTest::newRow("recrop") << QByteArray("{RecropWindows;1;" + WinA + ';' + WinC + '}') << QStringList{Group}
                                << Group << QStringList{reply("decoder-1.1", "{RecropWindows;1}")} << both
                                << untouched;
        QTest::newRow("empty wall") << QByteArray("{SetWindows;1}") << QStringList{Group} << node(1, 2)
                                    << QStringList{reply("decoder-1.1", "{SetWindows;1}")}
                                    << QByteArray("{GetWindows;1}") << untouched;
        QTest::newRow("empty items are dropped")
            << QByteArray("{SetWindows;1;;" + WinA + ";;" + WinC + ";}") << QStringList{node(1, 1)} << Group
            << QStringList{reply("decoder-1.1", "{SetWindows;1}")} << both << untouched;
        QTest::newRow("all walls through the group")
            << QByteArray("{SetWindows;100;" + WinB + '}') << QStringList{Group} << Group
            << QStringList{reply("decoder-1.1", "{SetWindows;100}"), reply("decoder-2.1", "{SetWindows;100}")}
            << QByteArray("{GetWindows;1;" + WinB + '}') << QByteArray("{GetWindows;2;" + WinB + '}');
        QTest::newRow("sent to the wrong wall's decoder: nothing happens")
            << set << QStringList{node(2, 1)} << Group << QStringList{} << QByteArray("{GetWindows;1;" + WinB + '}')
            << untouched;
    }

    void setThenGetWindows()
    {
        QFETCH(QByteArray, command);
        QFETCH(QStringList, setTo);
        QFETCH(QString, getTo);
        QFETCH(QStringList, acks);
        QFETCH(QByteArray, wall1);
        QFETCH(QByteArray, wall2);
        Rig rig;
        QVERIFY(rig.system->setWindows("1", {WinB}));
        QVERIFY(rig.system->setWindows("2", {WinD}));
        QCOMPARE(rig.sendAll(command, setTo), acks);
        const QStringList got = rig.send("{GetWindows;1}", getTo, ClientB);
        QCOMPARE(got.size(), 1);
        QVERIFY2(got.first().endsWith(QString::fromLatin1(wall1)), qPrintable(got.first()));
        QVERIFY(got.first().contains(QStringLiteral(" -> ") + ClientB + QStringLiteral(":41234 ")));
        // Every decoder of the wall reports the same list.
        for (int n = 1; n <= 4; ++n)
            QCOMPARE(rig.send("{GetWindows;1}", node(1, n)),
                     QStringList{reply(QStringLiteral("decoder-1.%1").arg(n), wall1)});
        QCOMPARE(rig.send("{GetWindows;2}", node(2, 3)), QStringList{reply("decoder-2.3", wall2)});
    }

    void scenes_data()
    {
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("responder");
        QTest::addColumn<int>("fromPort");
        QTest::addColumn<int>("replyPort");
        QTest::newRow("group") << Group << "decoder-1.1" << 41234 << 41234;
        QTest::newRow("unicast") << node(1, 2) << "decoder-1.2" << 41234 << 41234;
        QTest::newRow("unicast from another port") << node(1, 3) << "decoder-1.3" << 40000 << 40000;
        QTest::newRow("controller") << Controller << "controller" << 40000 << 41234;
    }

    void scenes()
    {
        QFETCH(QString, to);
        QFETCH(QString, responder);
        QFETCH(int, fromPort);
        QFETCH(int, replyPort);
        Rig rig;
        const auto ask = [&](const QByteArray &command) { return rig.send(command, to, ClientA, quint16(fromPort)); };
        const auto one = [&](const QByteArray &data) {
            return QStringList{reply(responder, data, ClientA, quint16(replyPort))};
        };
        const QByteArray meeting = gbk(QStringLiteral("会议"));

        QVERIFY(rig.system->setWindows("1", {WinA}));
        QCOMPARE(ask("{SaveScene;1;s1," + meeting + '}'), one("{SaveScene;1}"));
        QVERIFY(rig.system->setWindows("1", {WinB, WinC}));
        QCOMPARE(ask("{SaveScene;1;s2,plain}"), one("{SaveScene;1}"));
        QCOMPARE(ask("{GetSceneNames;1}"), one("{GetSceneNames;1;s1," + meeting + ";s2,plain}"));
        QCOMPARE(ask("{GetScenes;1}"), one("{GetScenes;1;s1," + meeting + ",{1;1;" + WinA + "},;s2,plain,{1;2;" + WinB +
                                           ';' + WinC + "},}"));
        QCOMPARE(rig.system->sceneName("1", "s1"), QStringLiteral("会议"));

        QCOMPARE(ask("{CallScene;1;s1}"), one("{CallScene;1;s1}"));
        QCOMPARE(rig.system->windows("1"), QStringList{WinA});

        // Saving under an existing id renames and re-records the scene in place.
        QCOMPARE(ask("{SaveScene;1;s2,renamed}"), one("{SaveScene;1}"));
        QCOMPARE(ask("{GetSceneNames;1}"), one("{GetSceneNames;1;s1," + meeting + ";s2,renamed}"));
        QCOMPARE(ask("{GetScene;1;s2}"), one("{GetScene;1;s2,renamed,{1;1;" + WinA + "},}"));

        QCOMPARE(ask("{DeleteScene;1;s1}"), QStringList{});
        QCOMPARE(ask("{GetSceneNames;1}"), one("{GetSceneNames;1;s2,renamed}"));
        QCOMPARE(ask("{GetScene;1;s1}"), QStringList{});

        QVERIFY(rig.system->setWindows("1", {WinD}));
        QCOMPARE(ask("{CallScene;1;s1}"), one("{CallScene;1}")); // gone: nothing changes
        QCOMPARE(rig.system->windows("1"), QStringList{WinD});

        // The other wall has none of it.
        QCOMPARE(rig.send("{GetSceneNames;2}", node(2, 1)), QStringList{reply("decoder-2.1", "{GetSceneNames;2}")});
        QCOMPARE(rig.send("{GetScenes;2}", node(2, 1)), QStringList{reply("decoder-2.1", "{GetScenes;2}")});
        QCOMPARE(rig.send("{CallScene;2;s2}", node(2, 1)), QStringList{reply("decoder-2.1", "{CallScene;2}")});
        QVERIFY(rig.system->windows("2").isEmpty());
    }

    void sceneStoreIsBounded()
    {
        Rig rig;
        for (int i = 0; i < WallSystem::MaxScenes; ++i)
            QCOMPARE(rig.send("{SaveScene;1;s" + QByteArray::number(i) + ",n}", node(1, 1)).size(), 1);
        QCOMPARE(rig.send("{SaveScene;1;one-too-many,n}", node(1, 1)), QStringList{});
        QCOMPARE(rig.system->sceneIds("1").size(), WallSystem::MaxScenes);
        // A full store still takes edits.
        QCOMPARE(rig.send("{SaveScene;1;s7,edited}", node(1, 1)), QStringList{reply("decoder-1.1", "{SaveScene;1}")});
        QCOMPARE(rig.system->sceneName("1", "s7"), QStringLiteral("edited"));
    }

    void scenePolling_data()
    {
        QTest::addColumn<QByteArrayList>("commands");
        QTest::addColumn<int>("seconds");
        QTest::addColumn<QStringList>("scenes");
        QTest::addColumn<QStringList>("stepsShow"); // windows after each step, "-" when nothing was called

        QTest::newRow("polling skips a scene that is gone")
            << QByteArrayList{"{SetScenesPolling;1;10;s1,ghost,s2}"} << 10 << QStringList{"s1", "ghost", "s2"}
            << QStringList{WinA, WinB, WinA};
        QTest::newRow("closing stops it") << QByteArrayList{"{SetScenesPolling;1;10;s1,s2}", "{SetScenesPolling;1;0}"}
                                          << 0 << QStringList{} << QStringList{"-"};
        QTest::newRow("interval without scenes") << QByteArrayList{"{SetScenesPolling;1;5}"} << 5 << QStringList{}
                                                 << QStringList{"-"};
        QTest::newRow("a new polling replaces the old one")
            << QByteArrayList{"{SetScenesPolling;1;10;s1}", "{SetScenesPolling;1;3;s2}"} << 3 << QStringList{"s2"}
            << QStringList{WinB, WinB};
    }

    void scenePolling()
    {
        QFETCH(QByteArrayList, commands);
        QFETCH(int, seconds);
        QFETCH(QStringList, scenes);
        QFETCH(QStringList, stepsShow);
        Rig rig;
        QVERIFY(rig.system->setWindows("1", {WinA}));
        QVERIFY(rig.system->saveScene("1", "s1", "one"));
        QVERIFY(rig.system->setWindows("1", {WinB}));
        QVERIFY(rig.system->saveScene("1", "s2", "two"));
        QVERIFY(rig.system->setWindows("1", {WinD}));
        for (const QByteArray &command : commands)
            QCOMPARE(rig.send(command, Group), QStringList{}); // the client expects no answer
        QCOMPARE(rig.system->pollingSeconds("1"), seconds);
        QCOMPARE(rig.system->pollingScenes("1"), scenes);
        QCOMPARE(rig.system->pollingSeconds("2"), 0);
        for (const QString &shown : stepsShow) {
            const bool called = rig.system->stepPolling("1");
            QCOMPARE(called, shown != QLatin1String("-"));
            QCOMPARE(rig.system->windows("1"), QStringList{called ? shown : QString::fromLatin1(WinD)});
        }
    }

    void controlStates_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QByteArray>("state");

        QTest::newRow("button") << "btn1" << QByteArray("B_btn1_1");
        QTest::newRow("slider") << "sl1" << QByteArray("S_sl1_42.5");
        QTest::newRow("matrix with presets") << "mx1" << QByteArray("M_mx1_0_-1_2&*day*&_0_-1_2&*night*&_1_1_1");
        QTest::newRow("subtitle state with separators and UTF-8")
            << "1" << QByteArray("\"{\"enable\":true,\"obj\":\"osd\",\"string\":\"") + QStringLiteral("欢迎; a,b").toUtf8() +
                          "\",\"uuid\":\"1\"}\"";
        QTest::newRow("cycle state") << "1_cycle"
                                     << QByteArray("\"{\"memb\":[\"s1\",\"s2\"],\"obj\":\"cycle\",\"time\":\"10\",\"uuid\":\"1\"}\"");
    }

    void controlStates()
    {
        QFETCH(QString, key);
        QFETCH(QByteArray, state);
        Rig rig;
        // Published through the group: exactly one decoder of the installation answers.
        QCOMPARE(rig.send("{SetStatus;" + state + '}', Group), QStringList{reply("decoder-1.1", "{SetStatus;" + state + '}')});
        QCOMPARE(rig.send("{GetClientInfo;" + key.toUtf8() + '}', node(1, 1)), QStringList{}); // not stored yet
        QCOMPARE(rig.send("{SaveClientInfo;" + key.toUtf8() + ',' + state + '}', Group), QStringList{});
        QCOMPARE(rig.system->clientInfo(key), state);

        const QByteArray get = "{GetClientInfo;" + key.toUtf8() + '}';
        const QByteArray answer = "{GetClientInfo;" + state + '}';
        QCOMPARE(rig.send(get, node(1, 1), ClientA), QStringList{reply("decoder-1.1", answer, ClientA)});
        QCOMPARE(rig.send(get, node(2, 3), ClientB), QStringList{reply("decoder-2.3", answer, ClientB)});
        QCOMPARE(rig.send(get, Group, ClientB), QStringList{reply("decoder-1.1", answer, ClientB)});
        QCOMPARE(rig.send(get, Controller, ClientB, 50000), QStringList{reply("controller", answer, ClientB)});

        // A later state replaces it for everyone.
        QCOMPARE(rig.send("{SaveClientInfo;" + key.toUtf8() + ",B_" + key.toUtf8() + "_0}", node(2, 4)), QStringList{});
        QCOMPARE(rig.send(get, node(1, 2), ClientB),
                 QStringList{reply("decoder-1.2", "{GetClientInfo;B_" + key.toUtf8() + "_0}", ClientB)});
    }

    void cycleGroups()
    {
        Rig rig;
        const QByteArray store =
            "\"{\"obj\":\"cycleGroups\",\"id\":\"1\",\"data\":[{\"id\":\"Day\",\"name\":\"Morning\",\"time\":10,"
            "\"hotkey\":\"\",\"isCall\":false,\"sceneIds\":[\"s1\",\"s2\"],\"sceneNames\":[\"a\",\"b\"]}]}\"";
        QCOMPARE(rig.send("{SaveClientInfo;1_cycleGroups," + store + '}', Group), QStringList{});
        QCOMPARE(rig.send("{GetClientInfo;1_cycleGroups}", node(1, 3), ClientB),
                 QStringList{reply("decoder-1.3", "{GetClientInfo;" + store + '}', ClientB)});
        const QJsonArray groups = rig.system->cycleGroups("1");
        QCOMPARE(groups.size(), 1);
        QCOMPARE(groups[0].toObject().value("name").toString(), QStringLiteral("Morning"));
        QCOMPARE(groups[0].toObject().value("sceneIds").toArray(), (QJsonArray{"s1", "s2"}));
        QVERIFY(rig.system->cycleGroups("2").isEmpty());
        QCOMPARE(rig.system->snapshot().value("walls").toArray()[0].toObject().value("cycleGroups").toArray(), groups);

        // Set from the lab's side, read back in the form the client stores.
        QVERIFY(rig.system->setCycleGroups("2", QJsonArray{QJsonObject{{"id", "x"}, {"name", "x"}, {"time", 5}}}));
        QCOMPARE(rig.send("{GetClientInfo;2_cycleGroups}", node(2, 1)),
                 QStringList{reply("decoder-2.1", "{GetClientInfo;\"{\"data\":[{\"id\":\"x\",\"name\":\"x\",\"time\":5}],"
                                                  "\"id\":\"2\",\"obj\":\"cycleGroups\"}\"}")});
        QVERIFY(!rig.system->setCycleGroups("9", {}));
    }

    void clocks_data()
    {
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<QStringList>("setTo");
        QTest::addColumn<QByteArray>("expected");

        const QByteArray first = "100,50,300,80,Mon\\nTue,#000000,#ffffff,24,\"normal\"";
        const QByteArray second = "0,0,200,40,Beijing,#112233,#445566,18,\"normal\"";
        const QByteArray before = "{GetClockOsd;1;9,9,9,9,old,#000000,#ffffff,12,\"normal\"}";
        QTest::newRow("two clocks through the group") << QByteArray("{ClockOsd;1;" + first + ';' + second + '}')
                                                      << QStringList{Group}
                                                      << QByteArray("{GetClockOsd;1;" + first + ';' + second + '}');
        QTest::newRow("to every decoder") << QByteArray("{ClockOsd;1;" + second + '}')
                                          << QStringList{node(1, 1), node(1, 2), node(1, 3), node(1, 4)}
                                          << QByteArray("{GetClockOsd;1;" + second + '}');
        QTest::newRow("no clocks") << QByteArray("{ClockOsd;1}") << QStringList{Group} << QByteArray("{GetClockOsd;1}");
        QTest::newRow("a clock with too few values changes nothing")
            << QByteArray("{ClockOsd;1;" + first + ";1,2,3,4,5,6,7}") << QStringList{Group} << before;
        QTest::newRow("another wall's decoder ignores it")
            << QByteArray("{ClockOsd;1;" + first + '}') << QStringList{node(2, 1)} << before;
    }

    void clocks()
    {
        QFETCH(QByteArray, command);
        QFETCH(QStringList, setTo);
        QFETCH(QByteArray, expected);
        Rig rig;
        QVERIFY(rig.sendAll("{ClockOsd;1;9,9,9,9,old,#000000,#ffffff,12,\"normal\"}", {Group}).isEmpty());
        QCOMPARE(rig.sendAll(command, setTo), QStringList{}); // the client expects no answer
        QCOMPARE(rig.send("{GetClockOsd;1}", node(1, 1)), QStringList{reply("decoder-1.1", expected)});
        QCOMPARE(rig.send("{GetClockOsd;2}", node(2, 1)), QStringList{reply("decoder-2.1", "{GetClockOsd;2}")});
    }

    void wallSettings_data()
    {
        QTest::addColumn<QByteArrayList>("commands");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QJsonObject>("audio");
        QTest::addColumn<bool>("locked");
        QTest::addColumn<QJsonObject>("subtitles");

        QTest::newRow("audio to one decoder") << QByteArrayList{"{SetAudios;1;0|10.0.0.31}"} << node(1, 2)
                                              << QJsonObject{{node(1, 2), "0|10.0.0.31"}} << false << QJsonObject{};
        QTest::newRow("silencing the wall") << QByteArrayList{"{SetAudios;1;0|10.0.0.31}", "{SetAudios;1}"}
                                            << node(1, 2) << QJsonObject{} << false << QJsonObject{};
        QTest::newRow("lock") << QByteArrayList{"{SetLockFrame;1;-1}"} << Group << QJsonObject{} << true << QJsonObject{};
        QTest::newRow("unlock") << QByteArrayList{"{SetLockFrame;1;-1}", "{SetLockFrame;1}"} << Group << QJsonObject{}
                                << false << QJsonObject{};
        QTest::newRow("subtitle on one row's decoder")
            << QByteArrayList{"{SubtitleOsd;1;0,10,60;1,#000000,5,left}"} << node(1, 3) << QJsonObject{} << false
            << QJsonObject{{node(1, 3), "0,10,60;1,#000000,5,left"}};
        QTest::newRow("closing the subtitle")
            << QByteArrayList{"{SubtitleOsd;1;0,10,60;1,#000000,5,left}", "{SubtitleOsd;1}"} << node(1, 3)
            << QJsonObject{} << false << QJsonObject{};
    }

    void wallSettings()
    {
        QFETCH(QByteArrayList, commands);
        QFETCH(QString, to);
        QFETCH(QJsonObject, audio);
        QFETCH(bool, locked);
        QFETCH(QJsonObject, subtitles);
        Rig rig;
        for (const QByteArray &command : commands)
            QCOMPARE(rig.send(command, to), QStringList{});
        const QJsonObject wall = rig.system->snapshot().value("walls").toArray()[0].toObject();
        QCOMPARE(wall.value("audio").toObject(), audio);
        QCOMPARE(wall.value("locked").toBool(), locked);
        QCOMPARE(wall.value("subtitles").toObject(), subtitles);
        QCOMPARE(rig.system->locked("1"), locked);
        QVERIFY(!rig.system->locked("2"));
    }

    void malformedInputIsIgnored_data()
    {
        QTest::addColumn<QByteArray>("data");

        QByteArray garbage(64 * 1024, '\0');
        QRandomGenerator random(7);
        for (char &c : garbage)
            c = char(random.bounded(256));
        QByteArray manyWindows = "{SetWindows;1";
        for (int i = 0; i <= WallSystem::MaxWindows; ++i)
            manyWindows += ";10.0.0.1,u,0,0,2,2";
        manyWindows += '}';
        QByteArray oversized = "{SetWindows;1;" + QByteArray(70000, 'x') + '}';

        QTest::newRow("empty") << QByteArray();
        QTest::newRow("open brace") << QByteArray("{");
        QTest::newRow("close brace") << QByteArray("}");
        QTest::newRow("braces") << QByteArray("{}");
        QTest::newRow("separators only") << QByteArray("{;;;}");
        QTest::newRow("no braces") << QByteArray("GetWindows;1");
        QTest::newRow("no closing brace") << QByteArray("{GetWindows;1");
        QTest::newRow("no opening brace") << QByteArray("GetWindows;1}");
        QTest::newRow("64 KB of garbage") << garbage;
        QTest::newRow("64 KB of garbage in braces") << ('{' + garbage.mid(2) + '}');
        QTest::newRow("longer than a datagram") << oversized;
        QTest::newRow("too many windows") << manyWindows;
        QTest::newRow("NUL in the wall id") << QByteArray("{GetWindows;1\0}", 15);
        QTest::newRow("unknown command") << QByteArray("{Frobnicate;1}");
        QTest::newRow("wrong case") << QByteArray("{getwindows;1}");
        QTest::newRow("scan request") << QByteArray("{GetNodes2}");
        QTest::newRow("JSON") << QByteArray("{\"request\":\"GetDev\"}");
        QTest::newRow("encoder report") << QByteArray("[venc]\nip=10.0.0.31\n");
        QTest::newRow("window query without wall") << QByteArray("{GetWindows}");
        QTest::newRow("window query with empty wall") << QByteArray("{GetWindows;}");
        QTest::newRow("window query with extra field") << QByteArray("{GetWindows;1;2}");
        QTest::newRow("window with three values") << QByteArray("{SetWindows;1;a,b,c}");
        QTest::newRow("window with a word for x") << QByteArray("{SetWindows;1;ip,url,x,0,10,10}");
        QTest::newRow("window with eight values") << QByteArray("{SetWindows;1;ip,url,0,0,10,10,id,more}");
        QTest::newRow("one bad window spoils the list") << QByteArray("{SetWindows;1;" + WinD + ";ip,url,0,0}");
        QTest::newRow("window with braces") << QByteArray("{SetWindows;1;ip,u{r}l,0,0,10,10}");
        QTest::newRow("scene without comma") << QByteArray("{SaveScene;1;s9}");
        QTest::newRow("scene without id") << QByteArray("{SaveScene;1;,name}");
        QTest::newRow("scene save without scene") << QByteArray("{SaveScene;1}");
        QTest::newRow("scene save with extra field") << QByteArray("{SaveScene;1;s9,a;b}");
        QTest::newRow("scene call without scene") << QByteArray("{CallScene;1}");
        QTest::newRow("scene call with empty scene") << QByteArray("{CallScene;1;}");
        QTest::newRow("scene delete without scene") << QByteArray("{DeleteScene;1}");
        QTest::newRow("scene query without scene") << QByteArray("{GetScene;1}");
        QTest::newRow("polling without interval") << QByteArray("{SetScenesPolling;1}");
        QTest::newRow("polling with a word for interval") << QByteArray("{SetScenesPolling;1;x;s1}");
        QTest::newRow("polling with negative interval") << QByteArray("{SetScenesPolling;1;-5;s1}");
        QTest::newRow("lock with unknown flag") << QByteArray("{SetLockFrame;1;7}");
        QTest::newRow("status without state") << QByteArray("{SetStatus}");
        QTest::newRow("status with empty state") << QByteArray("{SetStatus;}");
        QTest::newRow("client info without comma") << QByteArray("{SaveClientInfo;nocomma}");
        QTest::newRow("client info without key") << QByteArray("{SaveClientInfo;,B_x_1}");
        QTest::newRow("client info key with separator") << QByteArray("{SaveClientInfo;a;b,B_x_1}");
        QTest::newRow("client info query without key") << QByteArray("{GetClientInfo}");
        QTest::newRow("client info query with empty key") << QByteArray("{GetClientInfo;}");
        QTest::newRow("client info query for an unknown key") << QByteArray("{GetClientInfo;nobody}");
        QTest::newRow("client info query with two keys") << QByteArray("{GetClientInfo;btn;x}");
        QTest::newRow("huge wall id") << QByteArray("{GetWindows;" + QByteArray(60000, '7') + '}');
    }

    void malformedInputIsIgnored()
    {
        QFETCH(QByteArray, data);
        Rig rig(resources(2));
        QVERIFY(rig.system->setWindows("1", {WinA}));
        QVERIFY(rig.system->saveScene("1", "s1", "one"));
        rig.system->setClientInfo("btn", "B_btn_1");
        const QJsonObject before = rig.system->snapshot();

        QStringList replies = rig.send(data, Group);
        replies += rig.send(data, Broadcast);
        for (int wall = 1; wall <= 2; ++wall) {
            for (int n = 1; n <= 4; ++n)
                replies += rig.send(data, node(wall, n));
        }
        replies += rig.send(data, Controller);
        Datagram direct;
        direct.data = data;
        direct.sender = QHostAddress(ClientA);
        direct.senderPort = 41234;
        direct.destination = QHostAddress(node(1, 1));
        direct.destinationPort = 41234;
        QVERIFY(rig.system->handle(direct, QHostAddress(node(1, 1)), false).isEmpty());

        QCOMPARE(replies, QStringList{});
        QCOMPARE(rig.system->snapshot(), before);
    }

    void controllerIgnores_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::newRow("unknown request") << QByteArray("{\"request\":\"Nope\",\"data\":{}}");
        QTest::newRow("request that is not text") << QByteArray("{\"request\":5}");
        QTest::newRow("a response") << QByteArray("{\"response\":\"GetSignalResourcesTreePage\",\"code\":\"0\"}");
        QTest::newRow("JSON array") << QByteArray("[\"GetSignalResourcesTreePage\"]");
        QTest::newRow("truncated request") << QByteArray("{\"request\":\"GetSignalResourcesTreePage\"");
        QTest::newRow("request with closing brace but broken") << QByteArray("{\"request\":\"GetSignalResourcesTree\",}");
        QTest::newRow("client info for an unknown key") << QByteArray("{GetClientInfo;unknown}");
    }

    void controllerIgnores()
    {
        QFETCH(QByteArray, data);
        Rig rig(resources(3));
        QCOMPARE(rig.send(data, Controller), QStringList{});
    }

    void signalCatalogue_data()
    {
        QTest::addColumn<int>("signalCount");
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QList<int>>("pageSizes"); // one reply per page, in order, numbered from 1
        QTest::addColumn<int>("firstIndex");

        const QByteArray perFifty = "{\"request\":\"GetSignalResourcesTreePage\",\"data\":{\"per_num\":50}}";
        QTest::newRow("no signals: one empty page") << 0 << perFifty << QList<int>{0} << 1;
        QTest::newRow("exactly one page") << 50 << perFifty << QList<int>{50} << 1;
        QTest::newRow("one more starts a page") << 51 << perFifty << QList<int>{50, 1} << 1;
        QTest::newRow("no page size: fifty")
            << 120 << QByteArray("{\"request\":\"GetSignalResourcesTreePage\"}") << QList<int>{50, 50, 20} << 1;
        QTest::newRow("page size zero: fifty")
            << 60 << QByteArray("{\"request\":\"GetSignalResourcesTreePage\",\"data\":{\"per_num\":0}}")
            << QList<int>{50, 10} << 1;
        QTest::newRow("page size capped")
            << 150 << QByteArray("{\"request\":\"GetSignalResourcesTreePage\",\"data\":{\"per_num\":500}}")
            << QList<int>{100, 50} << 1;
        QTest::newRow("one page asked for")
            << 120 << QByteArray("{\"request\":\"GetSignalResourcesTreePage\",\"data\":{\"per_num\":50,\"index\":3}}")
            << QList<int>{20} << 3;
        QTest::newRow("a page past the end is empty")
            << 10 << QByteArray("{\"request\":\"GetSignalResourcesTreePage\",\"data\":{\"per_num\":50,\"index\":4}}")
            << QList<int>{0} << 4;
    }

    void signalCatalogue()
    {
        QFETCH(int, signalCount);
        QFETCH(QByteArray, request);
        QFETCH(QList<int>, pageSizes);
        QFETCH(int, firstIndex);
        Rig rig(resources(signalCount));
        const QStringList replies = rig.send(request, Controller, ClientA, 50000);
        QCOMPARE(replies.size(), pageSizes.size());
        int next = (firstIndex - 1) * 50;
        for (int page = 0; page < replies.size(); ++page) {
            QVERIFY(replies[page].startsWith(QStringLiteral("controller -> 10.0.0.1:41234 ")));
            const QJsonObject envelope = json(replies[page]);
            QCOMPARE(envelope.value("response").toString(), QStringLiteral("GetSignalResourcesTreePage"));
            QCOMPARE(envelope.value("code").toString(), QStringLiteral("0"));
            QCOMPARE(envelope.value("msg").toString(), QStringLiteral("ok"));
            const QJsonObject data = envelope.value("data").toObject();
            QCOMPARE(data.value("total").toInt(), signalCount);
            QCOMPARE(data.value("index").toInt(), firstIndex + page);
            const QJsonArray list = data.value("list").toArray();
            QCOMPARE(list.size(), pageSizes[page]);
            for (const QJsonValue &entry : list)
                QCOMPARE(entry.toObject().value("id").toString(), QStringLiteral("s%1").arg(++next));
        }
    }

    void signalCatalogueExactBytes()
    {
        Rig rig(resources(1));
        QCOMPARE(rig.send("{\"request\":\"GetSignalResourcesTreePage\",\"data\":{\"per_num\":50}}", Controller),
                 QStringList{reply("controller",
                                   "{\"response\":\"GetSignalResourcesTreePage\",\"code\":\"0\",\"msg\":\"ok\",\"data\":"
                                   "{\"index\":1,\"list\":[{\"id\":\"s1\",\"name\":\"Cam 1\",\"path\":\"Lobby\","
                                   "\"snapUrl\":\"239.2.0.1:6000\",\"url0\":\"rtsp://10.0.1.1/main\","
                                   "\"url1\":\"rtsp://10.0.1.1/sub\"}],\"total\":1}}")});
        const QStringList tree = rig.send("{\"request\":\"GetSignalResourcesTree\"}", Controller);
        QCOMPARE(tree.size(), 1);
        QCOMPARE(json(tree[0]).value("data").toObject().value("list").toArray().size(), 1);
    }

    void controllerAudio_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QJsonObject>("audio");

        QTest::newRow("route a decoder's audio")
            << QByteArray("{\"request\":\"SetAudios\",\"data\":{\"panel_id\":\"1\",\"dst_ip\":\"10.0.0.22\",\"url\":\"0|10.0.0.31\"}}")
            << QByteArray("{\"response\":\"SetAudios\",\"code\":\"0\",\"msg\":\"ok\",\"data\":{}}")
            << QJsonObject{{"*", "x"}, {"10.0.0.22", "0|10.0.0.31"}};
        QTest::newRow("silence the wall")
            << QByteArray("{\"request\":\"SetAudios\",\"data\":{\"panel_id\":\"1\",\"dst_ip\":\"224.168.1.1\",\"url\":\"\"}}")
            << QByteArray("{\"response\":\"SetAudios\",\"code\":\"0\",\"msg\":\"ok\",\"data\":{}}") << QJsonObject{};
        QTest::newRow("unknown wall")
            << QByteArray("{\"request\":\"SetAudios\",\"data\":{\"panel_id\":\"9\",\"dst_ip\":\"10.0.0.22\",\"url\":\"\"}}")
            << QByteArray("{\"response\":\"SetAudios\",\"code\":\"1\",\"msg\":\"no such wall\",\"data\":{}}")
            << QJsonObject{{"*", "x"}};
    }

    void controllerAudio()
    {
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, answer);
        QFETCH(QJsonObject, audio);
        Rig rig;
        QVERIFY(rig.system->routeAudio("1", "224.168.1.1", "x"));
        QCOMPARE(rig.send(request, Controller, ClientB, 50000), QStringList{reply("controller", answer, ClientB)});
        QCOMPARE(rig.system->audio("1"), audio);
    }

    void cameraRequests_data()
    {
        using namespace kora::devices;
        QTest::addColumn<QByteArrayList>("requests"); // as the client composes them
        QTest::addColumn<QString>("codes");           // of the answers, in order
        QTest::newRow("move") << QByteArrayList{cameraMove("7", 3)} << "0";
        QTest::newRow("zoom") << QByteArrayList{cameraZoom("7", -1)} << "0";
        QTest::newRow("call a preset never saved") << QByteArrayList{cameraPreset("7", "door", 0)} << "2";
        QTest::newRow("save, then call") << QByteArrayList{cameraPreset("7", "door", 1), cameraPreset("7", "door", 0)} << "0,0";
        QTest::newRow("saved on another camera")
            << QByteArrayList{cameraPreset("7", "door", 1), cameraPreset("8", "door", 0)} << "0,2";
        QTest::newRow("another name") << QByteArrayList{cameraPreset("7", "door", 1), cameraPreset("7", "gate", 0)} << "0,2";
        QTest::newRow("saved twice")
            << QByteArrayList{cameraPreset("7", "door", 1), cameraPreset("7", "door", 1), cameraPreset("7", "door", 0)} << "0,0,0";
        QTest::newRow("no camera") << QByteArrayList{cameraPreset("", "door", 1), cameraMove("", 1)} << "1,1";
        QTest::newRow("no preset name") << QByteArrayList{cameraPreset("7", "", 1)} << "1";
        QTest::newRow("no direction")
            << QByteArrayList{QByteArray(R"({"request":"SetCamerasMove","data":{"id":"7","speed":0.5}})")} << "1";
    }
    void cameraRequests()
    {
        QFETCH(QByteArrayList, requests);
        QFETCH(QString, codes);
        Rig rig;
        QStringList got;
        for (const QByteArray &request : requests) {
            const QStringList out = rig.send(request, Controller, ClientB, 50000);
            QCOMPARE(out.size(), 1);
            QVERIFY2(out[0].startsWith(QStringLiteral("controller -> %1:41234 ").arg(ClientB)), qPrintable(out[0]));
            const QJsonObject answer = json(out[0]);
            const QJsonObject asked = QJsonDocument::fromJson(request).object();
            QCOMPARE(answer.value("response"), asked.value("request"));
            if (answer.value("code").toString() == QLatin1String("0"))
                QCOMPARE(answer.value("data").toObject().value("id"), asked.value("data").toObject().value("id"));
            got.append(answer.value("code").toString());
        }
        QCOMPARE(got.join(','), codes);
    }

    void presetStoreIsBounded()
    {
        using kora::devices::cameraPreset;
        Rig rig;
        auto code = [&rig](const QByteArray &request) {
            return json(rig.send(request, Controller).value(0)).value("code").toString();
        };
        for (int i = 0; i < ControllerPeer::MaxPresets; ++i)
            QCOMPARE(code(cameraPreset("7", QString::number(i), 1)), QStringLiteral("0"));
        QCOMPARE(code(cameraPreset("7", "one more", 1)), QStringLiteral("3"));
        QCOMPARE(code(cameraPreset("7", "0", 1)), QStringLiteral("0")); // saving again needs no room
        for (int i = 1; i < ControllerPeer::MaxCameras; ++i)
            QCOMPARE(code(cameraPreset(QStringLiteral("c%1").arg(i), "p", 1)), QStringLiteral("0"));
        QCOMPARE(code(cameraPreset("one camera more", "p", 1)), QStringLiteral("3"));
        QCOMPARE(code(cameraPreset("one camera more", "p", 0)), QStringLiteral("2"));
        QCOMPARE(code(cameraPreset("7", "255", 0)), QStringLiteral("0"));
    }

    void decodersReceiveUploads_data()
    {
        QTest::addColumn<bool>("group");
        QTest::addColumn<QString>("wall");
        QTest::addColumn<QStringList>("receivers");
        QTest::newRow("to one decoder") << false << "1" << QStringList{"decoder-1.2"};
        QTest::newRow("to one decoder, another wall's id") << false << "2" << QStringList{"decoder-1.2"};
        QTest::newRow("to the group, wall 1") << true << "1"
                                              << QStringList{"decoder-1.1", "decoder-1.2", "decoder-1.3", "decoder-1.4"};
        QTest::newRow("to the group, wall 2") << true << "2"
                                              << QStringList{"decoder-2.1", "decoder-2.2", "decoder-2.3", "decoder-2.4"};
        QTest::newRow("to the group, no such wall") << true << "9" << QStringList{};
    }
    void decodersReceiveUploads()
    {
        QFETCH(bool, group);
        QFETCH(QString, wall);
        QFETCH(QStringList, receivers);
        Rig rig;
        const QByteArray file(15000, 'u');
        const QHostAddress to(group ? Group : node(1, 2));
        const QByteArray command = group ? kora::upload::multicastUploadCommand(wall, "osd1.yuv")
                                         : kora::upload::uploadCommand(wall, "osd1.yuv");
        QList<QByteArray> datagrams{command};
        for (quint32 i = 0; i < kora::upload::chunkCount(file.size()); ++i)
            datagrams << kora::upload::dataDatagram(file, i) << kora::upload::dataDatagram(file, i);
        QStringList events;
        for (const auto &peer : rig.decoders) {
            if (!group && peer->address() != to)
                continue;
            for (const QByteArray &data : datagrams) {
                const quint16 port = data == command ? 41234 : 5000;
                QVERIFY(peer->handle({data, QHostAddress(ClientA), 50000, to, port, 100}).isEmpty());
            }
            for (const QString &note : peer->takeEvents(100))
                events.append(peer->name() + ": " + note);
        }
        QStringList expected;
        for (const QString &name : receivers)
            expected << name + ": upload osd1.yuv complete: 15000 bytes, md5 " +
                            QCryptographicHash::hash(file, QCryptographicHash::Md5).toHex()
                     << name + ": picture osd1.yuv: 10000 of 10000 luma bytes lit"; // no byte is zero
        QCOMPARE(events, expected);
    }

    void aStoppedUploadIsNoticedInSilence()
    {
        Rig rig;
        Peer &decoder = *rig.decoders[0];
        const QByteArray file(7001, 'u');
        const QHostAddress self = decoder.address();
        decoder.handle({kora::upload::uploadCommand("1", "bk.jpg"), QHostAddress(ClientA), 50000, self, 41234, 1000});
        decoder.handle({kora::upload::dataDatagram(file, 0), QHostAddress(ClientA), 50000, self, 5000, 1100});
        QVERIFY(decoder.takeEvents(1100 + UploadAssembly::QuietMs - 1).isEmpty());
        QCOMPARE(decoder.takeEvents(1100 + UploadAssembly::QuietMs),
                 QStringList{"upload bk.jpg incomplete: 1 of 2 chunks missing"});
        QVERIFY(decoder.takeEvents(1100 + 5 * UploadAssembly::QuietMs).isEmpty());
    }

    void controllerTellsSnapshotsOfWindows_data()
    {
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<QStringList>("expected");
        const QByteArray ack = "{SetWindows;1}";
        QTest::newRow("windows of known signals")
            << QByteArray("{SetWindows;1;10.0.1.1,rtsp://10.0.1.1/main,0,0,960,540,s1;"
                          "10.0.1.2,rtsp://10.0.1.2/sub,960,0,960,540,s2;10.0.1.1,rtsp://10.0.1.1/main,0,540,960,540,s1}")
            << QStringList{reply("controller", ack),
                           reply("controller", "{\"response\":\"SetWindows\",\"code\":\"0\",\"msg\":\"ok\",\"data\":["
                                               "{\"id\":\"s1\",\"snapUrl\":\"239.2.0.1:6000\"},"
                                               "{\"id\":\"s2\",\"snapUrl\":\"239.2.0.2:6000\"}]}")};
        QTest::newRow("windows without signal ids") << QByteArray("{SetWindows;1;" + WinA + '}')
                                                    << QStringList{reply("controller", ack)};
        QTest::newRow("an id the controller does not know")
            << QByteArray("{SetWindows;1;10.0.1.9,u,0,0,2,2,zz}") << QStringList{reply("controller", ack)};
    }

    void controllerTellsSnapshotsOfWindows()
    {
        QFETCH(QByteArray, command);
        QFETCH(QStringList, expected);
        Rig rig(resources(2));
        QCOMPARE(rig.send(command, Controller), expected);
    }

    void settingWindowsDirectly_data()
    {
        QTest::addColumn<QString>("wall");
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("two windows") << "1" << QStringList{WinA, WinC} << true;
        QTest::newRow("empty") << "1" << QStringList{} << true;
        QTest::newRow("unknown wall") << "9" << QStringList{WinA} << false;
        QTest::newRow("short item") << "1" << QStringList{WinA, "1,2,3"} << false;
        QTest::newRow("item with a separator") << "1" << QStringList{QString::fromLatin1(WinA) + ";x"} << false;
    }

    void settingWindowsDirectly()
    {
        QFETCH(QString, wall);
        QFETCH(QStringList, items);
        QFETCH(bool, accepted);
        Rig rig;
        QVERIFY(rig.system->setWindows("1", {WinD}));
        QCOMPARE(rig.system->setWindows(wall, items), accepted);
        QCOMPARE(rig.system->windowsText("1"), accepted ? items.join(';') : QString::fromLatin1(WinD));
    }

    void snapshotShowsTheState()
    {
        Rig rig;
        QCOMPARE(rig.send("{SetWindows;2;" + WinA + ';' + WinC + '}', Group).size(), 1);
        QCOMPARE(rig.send("{SaveScene;2;s1," + gbk(QStringLiteral("大厅")) + '}', Group).size(), 1);
        QCOMPARE(rig.send("{SetScenesPolling;2;15;s1}", Group), QStringList{});
        QCOMPARE(rig.send("{SaveClientInfo;sl1,S_sl1_3}", Group), QStringList{});
        const QJsonObject snapshot = rig.system->snapshot();
        const QJsonArray walls = snapshot.value("walls").toArray();
        QCOMPARE(walls.size(), 2);
        const QJsonObject wall = walls[1].toObject();
        QCOMPARE(wall.value("id").toString(), QStringLiteral("2"));
        QCOMPARE(wall.value("nodes").toArray().first().toString(), node(2, 1));
        QCOMPARE(wall.value("windows").toArray(), (QJsonArray{QString::fromLatin1(WinA), QString::fromLatin1(WinC)}));
        QCOMPARE(wall.value("scenes").toArray()[0].toObject().value("name").toString(), QStringLiteral("大厅"));
        QCOMPARE(wall.value("polling").toObject(), (QJsonObject{{"seconds", 15}, {"sceneIds", QJsonArray{"s1"}}}));
        QVERIFY(walls[0].toObject().value("windows").toArray().isEmpty());
        QCOMPARE(snapshot.value("clientInfo").toObject(), (QJsonObject{{"sl1", "S_sl1_3"}}));
    }
};

QTEST_GUILESS_MAIN(TestLabWalls)
#include "tst_lab_walls.moc"
