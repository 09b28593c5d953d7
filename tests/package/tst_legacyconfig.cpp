#include "package/legacyconfig.h"

#include <QtTest>

using namespace kora;
using namespace kora::package;

namespace {
// An older controller's configuration, CR LF as such controllers write it.
QString sample()
{
    const char *lines[] = {
        "Encrypt=1",
        "User{",
        "Name=admin",
        "Password=0A1B",
        "PageList=p1|p2||",
        "}",
        "User{",
        "Name=night",
        "Password=FFEE",
        "PageList=p2",
        "}",
        "PicFiles{",
        "bg.png|logo.png",
        "}",
        "Language{",
        "Login=登录",
        "a=b=c",
        "}",
        "TransmitNodes{",
        "1,0,0,0,10.0.0.20",
        "1,1,0,0,0.0.0.0",
        "2,0,0,0,10.0.0.24",
        "}",
        "InNodes{",
        "10.0.0.30-0,10.0.0.30,udp://224.1.0.30:36592,udp://224.1.0.30:36593,224.2.0.30:36595",
        "10.0.0.31-0,10.0.0.31,udp://224.1.0.31:36592,udp://224.1.0.31:36593,224.2.0.31:36595",
        "broken,line",
        "}",
        "MultiInNodes{",
        "Quad,10.0.0.30-0|10.0.0.31-0,10.0.0.99-0|10.0.0.30-0",
        "}",
        "SignalGroup{",
        "Name=Lobby",
        "SignalID=10.0.0.31-0,unknown,10.0.0.30-0",
        "MultiList=0,7,x",
        "}",
        "UI{",
        "UISize=1920x1080",
        "SysEn=3",
        "Page{",
        "ID=1",
        "Name=Main",
        "Text{",
        "Pos=10,10,100x20",
        "}",
        "}",
        "Page{",
        "ID=2",
        "Name=Other",
        "}",
        "}",
    };
    QStringList all;
    for (const char *l : lines)
        all.append(QString::fromUtf8(l));
    return all.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}
} // namespace

class TestLegacyConfig : public QObject
{
    Q_OBJECT
private slots:
    void readsEveryBlock()
    {
        const LegacyConfig c = parseLegacyConfig(sample());
        QVERIFY(c.encrypted);
        QCOMPARE(int(c.users.size()), 2);
        QCOMPARE(c.users[0].name, QString("admin"));
        QCOMPARE(c.users[0].password, QString("0A1B"));
        QCOMPARE(c.users[0].pageIds, QStringList({"p1", "p2"})); // empty parts skipped
        QCOMPARE(c.users[1].role, QString("night"));
        QCOMPARE(c.roles[1].pageList, QStringList({"p2"}));
        QCOMPARE(c.users[0].signalGroups, QStringList({"Lobby"})); // older projects: every group usable

        QCOMPARE(c.pictureNames, QStringList({"bg.png", "logo.png"}));
        QCOMPARE(c.translations.value("Login"), QString("登录"));
        QCOMPARE(c.translations.value("a"), QString("b=c"));

        QCOMPARE(int(c.outputs.size()), 2); // the 0.0.0.0 slot is no decoder
        QCOMPARE(c.outputs[1].address, QString("10.0.0.24"));
        QCOMPARE(c.outputs[1].wallId, QString("2"));

        QCOMPARE(int(c.signalList.size()), 2); // the short line is skipped
        QCOMPARE(c.signalList[1].ip, QString("10.0.0.31-0"));
        QCOMPARE(c.signalList[1].subUrl, QString("udp://224.1.0.31:36593"));
        QCOMPARE(c.signalList[1].snapshotUrl, QString("udp://224.2.0.31:36595"));

        QCOMPARE(int(c.multiSignals.size()), 1);
        const MultiSignalRecord &m = c.multiSignals[0];
        QCOMPARE(m.name, QString("Quad"));
        QCOMPARE(m.columns, 2);
        QCOMPARE(m.rows, 2);
        QCOMPARE(m.ids, QStringList({"10.0.0.30-0", "10.0.0.31-0", "0.0.0.0", "10.0.0.30-0"}));
        QCOMPARE(m.mainUrls.at(2), QString("url://"));
        QCOMPARE(m.subUrls.at(1), QString("udp://224.1.0.31:36593"));

        QCOMPARE(int(c.groups.size()), 1);
        QCOMPARE(c.groups[0].name, QString("Lobby"));
        QCOMPARE(c.groups[0].signalIndexes, QList<int>({1, 0})); // unknown ids dropped
        QCOMPARE(c.groups[0].multiSignalIndexes, QList<int>({0})); // out of range and non-numeric dropped
        QCOMPARE(c.groups[0].members.size(), 3);
        QCOMPARE(c.groups[0].members[2].type, 1);

        QVERIFY(c.hasUi);
        QCOMPARE(c.designSize, QSize(1920, 1080));
        QCOMPARE(c.sysEn, 3);
        QCOMPARE(int(c.pages.size()), 2);
        QCOMPARE(c.pages[0].id, QString("1"));
        QCOMPARE(c.pages[0].name, QString("Main"));
        QVERIFY(c.pages[0].text.contains("Pos=10,10,100x20"));
        QCOMPARE(c.pages[1].name, QString("Other"));
    }

    void oddValues_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("encrypted");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("pages");
        QTest::newRow("empty") << QString() << false << QSize() << 0;
        QTest::newRow("Encrypt other than 1") << "Encrypt=2\r\n" << false << QSize() << 0;
        QTest::newRow("Encrypt only nested is not read") << "X{\r\nEncrypt=1\r\n}\r\n" << false << QSize() << 0;
        QTest::newRow("malformed size") << "UI{\r\nUISize=1920*1080\r\n}\r\n" << false << QSize() << 0;
        QTest::newRow("zero size") << "UI{\r\nUISize=0x1080\r\n}\r\n" << false << QSize() << 0;
        QTest::newRow("unbalanced braces") << "UI{\r\nPage{\r\nID=1\r\n" << false << QSize() << 0;
        QTest::newRow("page without UI") << "Page{\r\nID=1\r\n}\r\n" << false << QSize() << 0;
    }
    void oddValues()
    {
        QFETCH(QString, text);
        QFETCH(bool, encrypted);
        QFETCH(QSize, size);
        QFETCH(int, pages);
        const LegacyConfig c = parseLegacyConfig(text);
        QCOMPARE(c.encrypted, encrypted);
        QCOMPARE(c.designSize, size);
        QCOMPARE(int(c.pages.size()), pages);
    }
};

QTEST_GUILESS_MAIN(TestLegacyConfig)
#include "tst_legacyconfig.moc"
