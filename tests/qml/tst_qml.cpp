#include "fakeimapi.h"

#include <QQmlContext>
#include <QQmlEngine>
#include <QtQuickTest>

// Every test file sees a fake controller object as "ImApi" that records what the items call.
class Setup : public QObject
{
    Q_OBJECT
public slots:
    void qmlEngineAvailable(QQmlEngine *engine)
    {
        engine->rootContext()->setContextProperty(QStringLiteral("ImApi"), new FakeImApi(engine));
    }
};

QUICK_TEST_MAIN_WITH_SETUP(kora_qml, Setup)

#include "tst_qml.moc"
