// The QML tests run the pages against FakeImApi and FakeNodeControl; this keeps the fakes
// honest. Everything a fake offers the pages (invokables, signals, properties) must exist on
// ImServerApi or QNodeControl with the same signature, so a page that passes its QML test does
// not call something the real object lacks. The rows come from the fakes' meta-objects, so a
// new member of a fake is checked without touching this file.
#include <QMetaMethod>
#include <QMetaObject>
#include <QMetaProperty>
#include <QSet>
#include <QtTest>

#include "controller/imserverapi.h"
#include "nodes/qnodequery.h"
#include "qml/fakeimapi.h"
#include "qml/fakenodecontrol.h"
#include "support/table.h"

namespace {

// Members that exist only to record and steer the fake; the pages never touch them.
const QSet<QByteArray> kTestOnlyMethods = {"reset()", "named(QString)", "callsChanged()", "silence(QStringList)", "setTcpDown(QStringList)"};
const QSet<QByteArray> kTestOnlyProperties = {
    "calls", "permitted", "signalPermitted", "signalList", "mosaics", "groups", "cycleGroups", "cycleAnswer",
};

// Each fake with the object it stands in for.
const QList<QPair<const QMetaObject *, const QMetaObject *>> kPairs = {
    {&FakeImApi::staticMetaObject, &ImServerApi::staticMetaObject},
    {&FakeNodeControl::staticMetaObject, &QNodeControl::staticMetaObject},
};

} // namespace

class TestFakeApi : public QObject
{
    Q_OBJECT
private slots:
    void members_data()
    {
        columns<int, QByteArray, bool>({"pair", "name", "isProperty"});
        for (int pair = 0; pair < kPairs.size(); ++pair) {
            const QMetaObject &fake = *kPairs[pair].first;
            for (int i = fake.methodOffset(); i < fake.methodCount(); ++i) {
                const QByteArray signature = fake.method(i).methodSignature();
                if (!kTestOnlyMethods.contains(signature))
                    QTest::newRow(signature.constData()) << pair << signature << false;
            }
            for (int i = fake.propertyOffset(); i < fake.propertyCount(); ++i) {
                const QByteArray name = fake.property(i).name();
                if (!kTestOnlyProperties.contains(name))
                    QTest::newRow(name.constData()) << pair << name << true;
            }
        }
    }
    void members()
    {
        QFETCH(int, pair);
        QFETCH(QByteArray, name);
        QFETCH(bool, isProperty);
        const QMetaObject &fake = *kPairs[pair].first, &real = *kPairs[pair].second;
        if (isProperty) {
            const QMetaProperty mine = fake.property(fake.indexOfProperty(name));
            const int index = real.indexOfProperty(name);
            QVERIFY2(index >= 0, "the controller has no such property");
            const QMetaProperty theirs = real.property(index);
            QCOMPARE(QByteArray(theirs.typeName()), QByteArray(mine.typeName()));
            // A page that assigns it under test must be able to assign it for real, and
            // bindings must see the same changes.
            QVERIFY2(!mine.isWritable() || theirs.isWritable(), "writable on the fake only");
            QCOMPARE(mine.hasNotifySignal(), theirs.hasNotifySignal());
            if (theirs.hasNotifySignal())
                QCOMPARE(mine.notifySignal().methodSignature(), theirs.notifySignal().methodSignature());
            QCOMPARE(mine.isConstant(), theirs.isConstant());
            return;
        }
        const QMetaMethod mine = fake.method(fake.indexOfMethod(name));
        const int index = real.indexOfMethod(name);
        QVERIFY2(index >= 0, "the controller has no such method");
        const QMetaMethod theirs = real.method(index);
        QCOMPARE(QByteArray(theirs.typeName()), QByteArray(mine.typeName()));
        if (mine.methodType() == QMetaMethod::Signal) {
            QCOMPARE(theirs.methodType(), QMetaMethod::Signal);
        } else {
            QVERIFY2(theirs.methodType() == QMetaMethod::Method || theirs.methodType() == QMetaMethod::Slot,
                     "on the controller it is not invokable from QML");
            QCOMPARE(theirs.access(), QMetaMethod::Public);
        }
    }

    // A property QML reads in a binding must tell when it changes, or the binding goes stale.
    void realPropertiesNotifyOrStayConstant()
    {
        const QMetaObject &real = ImServerApi::staticMetaObject;
        for (int i = real.propertyOffset(); i < real.propertyCount(); ++i) {
            const QMetaProperty p = real.property(i);
            QVERIFY2(p.isConstant() ? !p.isWritable() : p.hasNotifySignal(), p.name());
        }
    }
};

QTEST_GUILESS_MAIN(TestFakeApi)
#include "tst_fakeapi.moc"
