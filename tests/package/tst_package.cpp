#include "model/devicefile.h"
#include "package/legacyconfig.h"
#include "package/packagereaders.h"

#include <QtEndian>
#include "support/testfiles.h"
#include "support/testmain.h"

using namespace kora;
using namespace kora::package;

namespace {
QByteArray descriptor(const QList<QSize> &sizes)
{
    QByteArray list;
    for (const QSize &s : sizes) {
        if (!list.isEmpty())
            list += ',';
        list += "{\"file\":\"x\",\"resolution\":{\"w\":" + QByteArray::number(s.width()) + ",\"h\":" + QByteArray::number(s.height()) + "}}";
    }
    return "{\"version\":\"1\",\"client.ui\":[" + list + "]}";
}
QByteArray record(const QByteArray &bytes)
{
    QByteArray length(4, '\0');
    qToLittleEndian<quint32>(quint32(bytes.size()), length.data());
    return length + bytes;
}
} // namespace

class TestPackage : public QObject
{
    Q_OBJECT
private slots:
    void designSize_data()
    {
        columns<QByteArray, float, QSize>({"json", "aspect", "size"});
        QTest::newRow("16:9 display takes 1920x1080") << descriptor({{1080, 1920}, {1920, 1080}}) << 16.f / 9 << QSize(1920, 1080);
        QTest::newRow("4:3 display, closest") << descriptor({{1920, 1080}, {1280, 1024}}) << 4.f / 3 << QSize(1280, 1024);
        QTest::newRow("not JSON") << QByteArray("{client.ui") << 1.f << QSize();
    }
    void designSize()
    {
        QFETCH(QByteArray, json);
        QFETCH(float, aspect);
        QTEST(chooseDesignSize(json, aspect), "size");
    }

    void pictureContainer_data()
    {
        columns<QByteArray, int>({"data", "count"});
        QTest::newRow("two") << record("abc") + record("") << 2;
        QTest::newRow("last runs past the end") << record("abc") + record("defg").left(6) << 1;
        QTest::newRow("huge length reads as zero") << QByteArray::fromHex("ffffffff") + record("x") << 2;
    }
    void pictureContainer()
    {
        QFETCH(QByteArray, data);
        QTEST(cutPictureContainer(data).size(), "count");
    }

    void deviceFile()
    {
        DeviceModel m;
        QVERIFY(parseDeviceFile(readFile(SAMPLE_DIR "/device_sample.json"), m, nullptr));
        QCOMPARE(m.outputs.size(), size_t(2));
        QCOMPARE(m.outputs[0].wallId, QStringLiteral("1")); // "-1" replaced by the later entry
        QCOMPARE(m.outputs[1].wallId, QStringLiteral("1")); // the first real wall wins
        QCOMPARE(m.signalList.size(), size_t(3));
        QCOMPARE(m.signalList[1].ip, QStringLiteral("10.0.0.30-1"));
        QCOMPARE(m.signalList[2].ip, QStringLiteral("10.0.0.5-IPC"));
        QCOMPARE(m.signalList[2].platform, QStringLiteral("onvif"));
        QCOMPARE(m.multiSignals.size(), size_t(1));
        QCOMPARE(m.multiSignals[0].ids, (QStringList{"10.0.0.30-0", "", "10.0.0.30-1"})); // an unknown id adds nothing
        QVERIFY(m.hasFavourites);
        QCOMPARE(m.groups[0].signalIndexes, (QList<int>{2, 1}));
        QCOMPARE(m.groups[0].multiSignalIndexes, (QList<int>{0}));
        QCOMPARE(m.groups[0].members.size(), 3);
        QCOMPARE(m.users[0].pageIds, (QStringList{"p1", "p2"}));
        QCOMPARE(m.users[0].signalGroups, (QStringList{"收藏"}));
        QVERIFY(m.users[1].pageIds.isEmpty());
    }

    // An older controller's configuration, CR LF as such controllers write it: every block.
    void legacyConfig()
    {
        const QStringList lines{
            "Encrypt=1", "User{", "Name=admin", "Password=0A1B", "PageList=p1|p2||", "}", "PicFiles{", "bg.png|logo.png", "}",
            "Language{", "a=b=c", "}", "TransmitNodes{", "1,0,0,0,10.0.0.20", "1,1,0,0,0.0.0.0", "2,0,0,0,10.0.0.24", "}",
            "InNodes{", "10.0.0.30-0,10.0.0.30,udp://224.1.0.30:1,udp://224.1.0.30:2,224.2.0.30:3",
            "10.0.0.31-0,10.0.0.31,udp://224.1.0.31:1,udp://224.1.0.31:2,224.2.0.31:3", "broken,line", "}",
            "MultiInNodes{", "Quad,10.0.0.30-0|10.0.0.31-0,10.0.0.99-0|10.0.0.30-0", "}",
            "SignalGroup{", "Name=Lobby", "SignalID=10.0.0.31-0,unknown,10.0.0.30-0", "MultiList=0,7,x", "}",
            "UI{", "UISize=1920x1080", "Page{", "ID=1", "Name=Main", "}", "}"};
        const LegacyConfig c = parseLegacyConfig(lines.join("\r\n") + "\r\n");
        QVERIFY(c.encrypted);
        QCOMPARE(c.users[0].pageIds, QStringList({"p1", "p2"})); // empty parts skipped
        QCOMPARE(c.users[0].signalGroups, QStringList({"Lobby"})); // older projects: every group usable
        QCOMPARE(c.pictureNames, QStringList({"bg.png", "logo.png"}));
        QCOMPARE(c.translations.value("a"), QString("b=c"));
        QCOMPARE(int(c.outputs.size()), 2); // the 0.0.0.0 slot is no decoder
        QCOMPARE(c.outputs[1].wallId, QString("2"));
        QCOMPARE(int(c.signalList.size()), 2); // the short line is skipped
        QCOMPARE(c.signalList[1].snapshotUrl, QString("udp://224.2.0.31:3"));
        const MultiSignalRecord &m = c.multiSignals.at(0);
        QCOMPARE(QSize(m.columns, m.rows), QSize(2, 2));
        QCOMPARE(m.ids, QStringList({"10.0.0.30-0", "10.0.0.31-0", "0.0.0.0", "10.0.0.30-0"})); // unknown: a placeholder
        QCOMPARE(m.mainUrls.at(2), QString("url://"));
        QCOMPARE(c.groups[0].signalIndexes, QList<int>({1, 0})); // unknown ids dropped
        QCOMPARE(c.groups[0].multiSignalIndexes, QList<int>({0})); // out of range and non-numeric dropped
        QCOMPARE(c.designSize, QSize(1920, 1080));
        QCOMPARE(c.pages.at(0).name, QString("Main"));
    }
};

KORA_TEST(TestPackage)
KORA_TEST_MAIN(QCoreApplication)
#include "tst_package.moc"
