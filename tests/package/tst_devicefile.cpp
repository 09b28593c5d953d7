#include "model/devicefile.h"

#include <QFile>
#include <QtTest>

using namespace kora;

namespace {
QByteArray sample()
{
    QFile file(QStringLiteral(SAMPLE_DIR "/device_sample.json"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

class TestDeviceFile : public QObject
{
    Q_OBJECT
private slots:
    void ids_data()
    {
        QTest::addColumn<QString>("ip");
        QTest::addColumn<QString>("id");
        QTest::newRow("channel 0") << "192.168.15.45(0)" << "192.168.15.45-0";
        QTest::newRow("channel 1") << "192.168.15.45(1)" << "192.168.15.45-1";
        QTest::newRow("plain") << "10.0.0.5" << "10.0.0.5";
    }
    void ids()
    {
        QFETCH(QString, ip);
        QFETCH(QString, id);
        QCOMPARE(signalIdFromIp(ip), id);
    }

    void wholeFile()
    {
        DeviceModel m;
        QVERIFY(parseDeviceFile(sample(), m, nullptr));
        QCOMPARE(m.outputs.size(), size_t(2));
        QCOMPARE(m.outputs[0].address, QStringLiteral("10.0.0.20"));
        QCOMPARE(m.outputs[0].wallId, QStringLiteral("1")); // "-1" replaced by the later entry
        QCOMPARE(m.outputs[1].wallId, QStringLiteral("1")); // the first real wall wins
        QCOMPARE(m.signalList.size(), size_t(3));
        QCOMPARE(m.signalList[1].ip, QStringLiteral("10.0.0.30-1"));
        QCOMPARE(m.signalList[1].name, QStringLiteral("PC 1 second"));
        QCOMPARE(m.signalList[2].ip, QStringLiteral("10.0.0.5-IPC"));
        QCOMPARE(m.signalList[2].platform, QStringLiteral("onvif"));
        QCOMPARE(m.multiSignals.size(), size_t(1));
        QCOMPARE(m.multiSignals[0].columns, 2);
        QCOMPARE(m.multiSignals[0].rows, 2);
        QCOMPARE(m.multiSignals[0].ids, (QStringList{"10.0.0.30-0", "", "10.0.0.30-1"})); // an unknown id adds nothing
        QVERIFY(m.hasFavourites);
        QCOMPARE(m.groups[0].signalIndexes, (QList<int>{2, 1}));
        QCOMPARE(m.groups[0].multiSignalIndexes, (QList<int>{0}));
        QCOMPARE(m.groups[0].members.size(), 3);
        QCOMPARE(m.users[0].role, QStringLiteral("op"));
        QCOMPARE(m.users[0].pageIds, (QStringList{"p1", "p2"}));
        QCOMPARE(m.users[0].signalGroups, (QStringList{"收藏"}));
        QVERIFY(m.users[1].role.isEmpty());
        QVERIFY(m.users[1].pageIds.isEmpty());
    }

    void notAnObject_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("array") << QByteArray("[1,2]");
        QTest::newRow("truncated") << sample().left(100);
    }
    void notAnObject()
    {
        QFETCH(QByteArray, data);
        DeviceModel m;
        QString error;
        QVERIFY(!parseDeviceFile(data, m, &error));
        QVERIFY(m.users.empty());
    }

    void passwords()
    {
        // 16 characters: a whole block of padding, 32 bytes, 44 characters of Base64.
        QCOMPARE(encodeDevicePassword(QString(16, 'a')).size(), 44);
        QCOMPARE(encodeDevicePassword("x").size(), 24);
        QVERIFY(encodeDevicePassword("x") != encodeDevicePassword("y"));
    }
};

QTEST_GUILESS_MAIN(TestDeviceFile)
#include "tst_devicefile.moc"
