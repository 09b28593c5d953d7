#include "package/packagereaders.h"

#include <QtEndian>
#include <QtTest>

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
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<float>("aspect");
        QTest::addColumn<QSize>("size");
        QTest::newRow("16:9 display takes 1920x1080") << descriptor({{1080, 1920}, {1920, 1080}}) << 16.f / 9 << QSize(1920, 1080);
        QTest::newRow("portrait display") << descriptor({{1920, 1080}, {1080, 1920}}) << 9.f / 16 << QSize(1080, 1920);
        QTest::newRow("4:3 display, closest") << descriptor({{1920, 1080}, {1280, 1024}}) << 4.f / 3 << QSize(1280, 1024);
        QTest::newRow("tie keeps the earlier") << descriptor({{1280, 720}, {1920, 1080}}) << 16.f / 9 << QSize(1280, 720);
        QTest::newRow("zero height skipped") << descriptor({{1920, 0}, {1024, 768}}) << 16.f / 9 << QSize(1024, 768);
        QTest::newRow("none") << descriptor({}) << 1.f << QSize();
        QTest::newRow("not JSON") << QByteArray("{client.ui") << 1.f << QSize();
    }
    void designSize()
    {
        QFETCH(QByteArray, json);
        QFETCH(float, aspect);
        QFETCH(QSize, size);
        QCOMPARE(chooseDesignSize(json, aspect), size);
    }

    void pictureContainer_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("count");
        QTest::newRow("empty") << QByteArray() << 0;
        QTest::newRow("two") << record("abc") + record("") << 2;
        QTest::newRow("last runs past the end") << record("abc") + record("defg").left(6) << 1;
        QTest::newRow("huge length reads as zero") << QByteArray::fromHex("ffffffff") + record("x") << 2;
        QTest::newRow("trailing bytes") << record("abc") + "zz" << 1;
    }
    void pictureContainer()
    {
        QFETCH(QByteArray, data);
        QFETCH(int, count);
        QCOMPARE(cutPictureContainer(data).size(), count);
    }

    void blockValues()
    {
        const QString text = QStringLiteral("Encrypt=1\r\nx=y=z\r\nUser{\r\nName=admin\r\n}\r\nName=outer\r\n");
        QCOMPARE(blockValue(text, "Encrypt"), QStringLiteral("1"));
        QCOMPARE(blockValue(text, "x"), QStringLiteral("y"));
        QCOMPARE(blockValue(text, "Name"), QStringLiteral("outer")); // the nested one is not at depth 0
        QCOMPARE(blockValue(QStringLiteral("User{\r\nPassword=p\r\n}\r\n"), "Password"), QString());
        QCOMPARE(blockValue(text, "missing"), QString());
    }
};

QTEST_GUILESS_MAIN(TestPackage)
#include "tst_package.moc"
