// The QML tests run the pages against FakeImApi; this keeps the fake honest. Everything the
// fake offers the pages (invokables, signals, properties) must exist on ImServerApi with the
// same signature, so a page that passes its QML test does not call something the real
// controller lacks. The rows come from the fake's meta-object, so a new member of the fake is
// checked without touching this file.
#include <QMetaMethod>
#include <QMetaObject>
#include <QMetaProperty>
#include <QSet>
#include <QtTest>

#include "controller/imserverapi.h"
#include "qml/fakeimapi.h"

namespace {

// Members that exist only to record and steer the fake; the pages never touch them.
const QSet<QByteArray> kTestOnlyMethods = {"reset()", "named(QString)", "callsChanged()"};
const QSet<QByteArray> kTestOnlyProperties = {
    "calls", "permitted", "signalPermitted", "docks", "dockWindows", "matrixPreset", "signalList", "mosaics", "groups",
    "covered", "favouritesOn", "starred", "hostFiles", "hostIps", "pages", "cycleGroups", "cycleAnswer",
};

const QMetaObject &fake() { return FakeImApi::staticMetaObject; }
const QMetaObject &real() { return ImServerApi::staticMetaObject; }

} // namespace

class TestFakeApi : public QObject
{
    Q_OBJECT
private slots:
    void members_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<bool>("isProperty");
        for (int i = fake().methodOffset(); i < fake().methodCount(); ++i) {
            const QByteArray signature = fake().method(i).methodSignature();
            if (!kTestOnlyMethods.contains(signature))
                QTest::newRow(signature.constData()) << signature << false;
        }
        for (int i = fake().propertyOffset(); i < fake().propertyCount(); ++i) {
            const QByteArray name = fake().property(i).name();
            if (!kTestOnlyProperties.contains(name))
                QTest::newRow(name.constData()) << name << true;
        }
    }
    void members()
    {
        QFETCH(QByteArray, name);
        QFETCH(bool, isProperty);
        if (isProperty) {
            const QMetaProperty mine = fake().property(fake().indexOfProperty(name));
            const int index = real().indexOfProperty(name);
            QVERIFY2(index >= 0, "the controller has no such property");
            const QMetaProperty theirs = real().property(index);
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
        const QMetaMethod mine = fake().method(fake().indexOfMethod(name));
        const int index = real().indexOfMethod(name);
        QVERIFY2(index >= 0, "the controller has no such method");
        const QMetaMethod theirs = real().method(index);
        QCOMPARE(QByteArray(theirs.typeName()), QByteArray(mine.typeName()));
        if (mine.methodType() == QMetaMethod::Signal) {
            QCOMPARE(theirs.methodType(), QMetaMethod::Signal);
        } else {
            QVERIFY2(theirs.methodType() == QMetaMethod::Method || theirs.methodType() == QMetaMethod::Slot,
                     "on the controller it is not invokable from QML");
            QCOMPARE(theirs.access(), QMetaMethod::Public);
        }
    }

    // The exceptions above name real members of the fake and nothing the controller has, so
    // they cannot quietly hide a member of the controller's surface.
    void testOnlyMembersAreTheFakesOwn()
    {
        for (const QByteArray &name : kTestOnlyProperties) {
            QVERIFY2(fake().indexOfProperty(name) >= fake().propertyOffset(), name.constData());
            QVERIFY2(real().indexOfProperty(name) < 0, name.constData());
        }
        for (const QByteArray &signature : kTestOnlyMethods) {
            QVERIFY2(fake().indexOfMethod(signature) >= fake().methodOffset(), signature.constData());
            const QByteArray bare = signature.left(signature.indexOf('('));
            for (int i = real().methodOffset(); i < real().methodCount(); ++i)
                QVERIFY2(real().method(i).name() != bare, real().method(i).methodSignature().constData());
        }
    }

    // A property QML reads in a binding must tell when it changes, or the binding goes stale.
    void realPropertiesNotifyOrStayConstant()
    {
        for (int i = real().propertyOffset(); i < real().propertyCount(); ++i) {
            const QMetaProperty p = real().property(i);
            QVERIFY2(p.isConstant() ? !p.isWritable() : p.hasNotifySignal(), p.name());
        }
    }
};

QTEST_GUILESS_MAIN(TestFakeApi)
#include "tst_fakeapi.moc"
