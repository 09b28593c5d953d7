#include "model/devicefile.h"

#include <QFile>
#include "support/testmain.h"

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

    void wholeFile()
    {
        DeviceModel m;
        QVERIFY(parseDeviceFile(sample(), m, nullptr));
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


};

KORA_TEST(TestDeviceFile)
#include "tst_devicefile.moc"
