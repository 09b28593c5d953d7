#include "fakeimapi.h"
#include "fakenodecontrol.h"
#include "video/snapshotview.h"

#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickImageProvider>
#include <QQuickItem>
#include <QtQuickTest>

// Snapshots in the tests are plain grey pictures.
class GreyProvider : public QQuickImageProvider
{
public:
    GreyProvider() : QQuickImageProvider(QQuickImageProvider::Image) {}
    QImage requestImage(const QString &, QSize *size, const QSize &) override
    {
        QImage image(16, 9, QImage::Format_RGB32);
        image.fill(Qt::gray);
        if (size)
            *size = image.size();
        return image;
    }
};

// The live video item as the pages use it, without video.
class FakeImageView : public QQuickItem
{
    Q_OBJECT
    Q_PROPERTY(int mPort MEMBER m_port)
    Q_PROPERTY(int m_cropWidth MEMBER m_cropWidth)
    Q_PROPERTY(int m_cropHeight MEMBER m_cropHeight)
    Q_PROPERTY(QString mMulticast MEMBER m_multicast)
    Q_PROPERTY(QString encoder MEMBER m_encoder)
public:
    Q_INVOKABLE void joinMulticast() {}
    Q_INVOKABLE void leaveMulticast() {}

private:
    int m_port = 0, m_cropWidth = 0, m_cropHeight = 0;
    QString m_multicast, m_encoder;
};

// Every test file sees a fake controller object as "ImApi" and a fake node control as
// "NodeControl" that record what the items call.
class Setup : public QObject
{
    Q_OBJECT
public slots:
    void qmlEngineAvailable(QQmlEngine *engine)
    {
        engine->rootContext()->setContextProperty(QStringLiteral("ImApi"), new FakeImApi(engine));
        engine->rootContext()->setContextProperty(QStringLiteral("NodeControl"), new FakeNodeControl(engine));
        qmlRegisterType<FakeImageView>("Custom.VX.ffmpeg", 1, 0, "XImageView");
        // Real snapshot tiles without pictures: the board says which signals they ask for.
        qmlRegisterType<SnapshotView>("Custom.VX.ffmpeg", 1, 0, "SnapshotView");
        engine->rootContext()->setContextProperty(QStringLiteral("SnapshotBoard"), &SnapshotBoard::instance());
        engine->addImageProvider(QStringLiteral("MyProvider"), new GreyProvider);
    }
};

QUICK_TEST_MAIN_WITH_SETUP(kora_qml, Setup)

#include "tst_qml.moc"
