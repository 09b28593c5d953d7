// The control sender with a recording sender: packets in order after their waits, without
// holding anything else up; slider and matrix states; presets stored and asked for again;
// page events to the owner.
#include "controls/controlsender.h"

#include <QJsonArray>
#include <QSignalSpy>
#include "support/testmain.h"

#include "support/recordingsender.h"

using namespace kora;
using controls::ControlSender;
using controls::Packet;
using controls::Transport;

namespace {
const QString kGroup = QStringLiteral(" -> 224.168.1.1:41234");

struct Fixture {
    Fixture()
        : controls(sender, values, presets, [this] { return link::selectedHost(hosts, hostIndex); })
    {
        // Packets for the design command language are recorded among the datagrams.
        QObject::connect(&controls, &ControlSender::internalCommand, &controls,
                         [this](const QByteArray &command) { sender.sent.append("internal " + QString::fromLatin1(command)); });
    }
    RecordingSender sender;
    controls::Values values;
    ControlSender::MatrixPresets presets;
    QStringList hosts{QStringLiteral("10.0.0.10"), QStringLiteral("10.0.0.11")};
    int hostIndex = 1;
    ControlSender controls;
};
} // namespace

class TestControlSender : public QObject
{
    Q_OBJECT
private slots:
    void packetsGoInOrderAfterTheirWaits()
    {
        Fixture f;
        const QList<Packet> packets{{Transport::Udp, "10.0.0.8", 9000, "first", 0},
                                    {Transport::Internal, "127.0.0.1", 0, "{second}", 40},
                                    {Transport::Tcp, "10.0.0.8", 9001, "third", 0}};
        f.controls.sendPackets(packets, [&] { f.sender.sent.append("then"); });
        QCOMPARE(f.sender.sent, QStringList{"first -> 10.0.0.8:9000"});
        // The wait holds up nothing else.
        f.controls.sendPackets({{Transport::Udp, "10.0.0.9", 9000, "other", 0}});
        QCOMPARE(f.sender.sent.size(), 2);
        QTRY_COMPARE_WITH_TIMEOUT(f.sender.sent.size(), 5, 2000);
        QCOMPARE(f.sender.sent, (QStringList{"first -> 10.0.0.8:9000", "other -> 10.0.0.9:9000", "internal {second}",
                                             "tcp third -> 10.0.0.8:9001", "then"}));
    }

    void aSliderStoresItsStateAfterItsLastPacket_data()
    {
        columns<int, QStringList>({"type", "sent"});
        const QString packet = QStringLiteral("VOL 42.5 -> 10.0.0.8:9000");
        QTest::newRow("type 1 stores") << 1
                                       << QStringList{packet, "{SetStatus;S_vol_42.5}" + kGroup,
                                                      "{SaveClientInfo;vol,S_vol_42.5}" + kGroup};
        QTest::newRow("type 0 does not") << 0 << QStringList{packet};
    }
    void aSliderStoresItsStateAfterItsLastPacket()
    {
        QFETCH(int, type);
        QFETCH(QStringList, sent);
        Fixture f;
        f.controls.slider("vol", "IP=10.0.0.8\r\nPort=9000\r\nHex=0\r\nKey=$V\r\nData=VOL $V", 42.5f, type);
        // Sliders pace their datagrams; a marker sent later than all of them closes the list.
        f.controls.sendPackets({{Transport::Udp, "10.0.0.9", 9000, "marker", 50}});
        QTRY_VERIFY_WITH_TIMEOUT(f.sender.sent.contains("marker -> 10.0.0.9:9000"), 2000);
        QCOMPARE(f.sender.sent, sent << "marker -> 10.0.0.9:9000");
    }

    void presetEditsStoreTheListAndAskAgain_data()
    {
        columns<QString, QStringList>({"edit", "presets"});
        QTest::newRow("save") << "save" << QStringList{"day*&_1_2", "evening*&_3_3"};
        QTest::newRow("a name that would break the store") << "save bad" << QStringList{"day*&_1_2"};
        QTest::newRow("delete") << "delete" << QStringList{};
    }
    void presetEditsStoreTheListAndAskAgain()
    {
        QFETCH(QString, edit);
        QFETCH(QStringList, presets);
        Fixture f;
        f.presets.insert("m1", {"day*&_1_2"});
        if (edit == "save")
            f.controls.saveMatrixPreset("m1", "evening", "M_m1_3_3");
        else if (edit == "save bad")
            f.controls.saveMatrixPreset("m1", "eve;ning", "M_m1_3_3");
        else
            f.controls.deleteMatrixPreset("m1", 0, "M_m1_3_3");
        QCOMPARE(f.presets.value("m1"), presets);
        QString stored = "{SaveClientInfo;m1,M_m1_3_3";
        for (const QString &p : presets)
            stored += "&*" + p;
        QCOMPARE(f.sender.sent.mid(0, 2), (QStringList{"{SetStatus;M_m1_3_3}" + kGroup, stored + "}" + kGroup}));
        // The state is asked for again, of the host the scan chose.
        QTRY_COMPARE_WITH_TIMEOUT(f.sender.sent.size(), 3, 2000);
        QCOMPARE(f.sender.sent.at(2), QStringLiteral("{GetClientInfo;m1} -> 10.0.0.11:41234"));
    }

    void buttonEventsForThePagesGoToTheOwner()
    {
        Fixture f;
        QSignalSpy pages(&f.controls, &ControlSender::switchPage);
        QSignalSpy widgets(&f.controls, &ControlSender::widgetsVisible);
        f.controls.vx2Button({{"behavior", "SwitchPage"}, {"delay", 0}, {"value", "page-room"}});
        QCOMPARE(pages.size(), 1);
        QCOMPARE(pages.first().first().toStringList(), QStringList{"page-room"});
        f.controls.vx2Button({{"behavior", "HideWidget"}, {"delay", 30}, {"value", QVariantList{"lamp", "knob"}}});
        QCOMPARE(widgets.size(), 0); // after its delay
        QVERIFY(widgets.wait(2000));
        QCOMPARE(widgets.first().at(0).toJsonArray(), (QJsonArray{"lamp", "knob"}));
        QCOMPARE(widgets.first().at(1).toBool(), false);
        QVERIFY(f.sender.sent.isEmpty());
    }
};

KORA_TEST(TestControlSender)
KORA_TEST_MAIN(QCoreApplication)
#include "tst_controlsender.moc"
