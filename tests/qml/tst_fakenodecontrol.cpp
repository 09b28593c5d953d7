// The monitors' QML tests run against FakeNodeControl: everything it offers them must exist
// on QNodeControl with the same signature.
#include <QMetaMethod>
#include <QtTest>

#include "nodes/qnodequery.h"
#include "qml/fakenodecontrol.h"

class TestFakeNodeControl : public QObject
{
    Q_OBJECT
private slots:
    void methods_data()
    {
        QTest::addColumn<QByteArray>("signature");
        const QMetaObject &fake = FakeNodeControl::staticMetaObject;
        for (int i = fake.methodOffset(); i < fake.methodCount(); ++i) {
            const QByteArray signature = fake.method(i).methodSignature();
            if (signature != "reset()" && signature != "callsChanged()")
                QTest::newRow(signature.constData()) << signature;
        }
    }
    void methods()
    {
        QFETCH(QByteArray, signature);
        const QMetaObject &fake = FakeNodeControl::staticMetaObject;
        const QMetaObject &real = QNodeControl::staticMetaObject;
        const QMetaMethod mine = fake.method(fake.indexOfMethod(signature));
        const int index = real.indexOfMethod(signature);
        QVERIFY2(index >= 0, "QNodeControl has no such method");
        QCOMPARE(real.method(index).methodType(), mine.methodType());
        QCOMPARE(QByteArray(real.method(index).typeName()), QByteArray(mine.typeName()));
    }
};

QTEST_GUILESS_MAIN(TestFakeNodeControl)
#include "tst_fakenodecontrol.moc"
