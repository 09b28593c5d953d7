#include "controller/imserverapi.h"

#include <QtTest>

class TestLocalIp : public QObject
{
    Q_OBJECT
private slots:
    void choose_data()
    {
        QTest::addColumn<QStringList>("addresses");
        QTest::addColumn<QString>("chosen");
        QTest::newRow("only loopback and link-local") << QStringList{"127.0.0.1", "169.254.3.4", "::1"} << QString();
        QTest::newRow("last usable wins") << QStringList{"10.0.0.1", "127.0.0.1", "192.168.5.9"} << "192.168.5.9";
        QTest::newRow("ipv6 ignored") << QStringList{"10.0.0.1", "fe80::1", "fd00::2"} << "10.0.0.1";
        QTest::newRow("text rule, not a prefix rule") << QStringList{"10.127.0.5"} << QString();
        QTest::newRow("empty") << QStringList{} << QString();
    }
    void choose()
    {
        QFETCH(QStringList, addresses);
        QFETCH(QString, chosen);
        QList<QHostAddress> list;
        for (const QString &a : addresses)
            list.append(QHostAddress(a));
        QCOMPARE(kora::chooseLocalIp(list), chosen);
    }

    void keepTheStoredAddress_data()
    {
        QTest::addColumn<QString>("saved");
        QTest::addColumn<QString>("kept");
        QTest::newRow("still this machine's") << "10.0.0.1" << "10.0.0.1";
        QTest::newRow("a network left behind") << "10.77.5.2" << "192.168.5.9";
        QTest::newRow("none stored") << "" << "192.168.5.9";
        QTest::newRow("not an address") << "host" << "192.168.5.9";
        QTest::newRow("loopback, if stored so") << "127.0.0.1" << "127.0.0.1";
    }
    void keepTheStoredAddress()
    {
        QFETCH(QString, saved);
        QFETCH(QString, kept);
        const QList<QHostAddress> list{QHostAddress("10.0.0.1"), QHostAddress("127.0.0.1"), QHostAddress("192.168.5.9")};
        QCOMPARE(kora::keptLocalIp(saved, list), kept);
    }
};

QTEST_GUILESS_MAIN(TestLocalIp)
#include "tst_localip.moc"
