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
    // What the real item reports once a second, set by the tests.
    Q_PROPERTY(QString waiting MEMBER m_waiting NOTIFY changed)
    Q_PROPERTY(int silentSeconds MEMBER m_silentSeconds NOTIFY changed)
    Q_PROPERTY(bool statistics MEMBER m_statistics NOTIFY changed)
    Q_PROPERTY(QVariantMap figures MEMBER m_figures NOTIFY changed)
public:
    Q_INVOKABLE void joinMulticast() {}
    Q_INVOKABLE void leaveMulticast() {}
signals:
    void changed();

private:
    int m_port = 0, m_cropWidth = 0, m_cropHeight = 0, m_silentSeconds = -1;
    QString m_multicast, m_encoder, m_waiting;
    bool m_statistics = false;
    QVariantMap m_figures;
};

// The snapshot board's records and clock in the tests' hands.
class SnapshotFeed : public QObject
{
    Q_OBJECT
public:
    SnapshotFeed()
    {
        SnapshotBoard::instance().setTable(m_table);
        SnapshotBoard::instance().setClock([this] { return m_now; });
    }
    // A picture arrives, or (false) the signal's reader finds it silent.
    Q_INVOKABLE void deliver(const QString &key, bool picture)
    {
        const auto record = m_table->add(key);
        QImage grey(16, 9, QImage::Format_RGB32);
        grey.fill(Qt::gray);
        if (picture)
            kora::video::PreviewTable::store(*record, grey);
        QMutexLocker locker(&record->lock);
        record->idleSeconds = picture ? 0 : kora::video::kIdleLimit;
    }
    Q_INVOKABLE void advance(int ms) { m_now += ms, SnapshotBoard::instance().tick(); }
    Q_INVOKABLE void reset() { m_table->clear(); }

private:
    std::shared_ptr<kora::video::PreviewTable> m_table = std::make_shared<kora::video::PreviewTable>();
    qint64 m_now = 1;
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
        engine->rootContext()->setContextProperty(QStringLiteral("Snapshots"), new SnapshotFeed);
        engine->addImageProvider(QStringLiteral("MyProvider"), new GreyProvider);
    }
};

QUICK_TEST_MAIN_WITH_SETUP(kora_qml, Setup)

#include "tst_qml.moc"
