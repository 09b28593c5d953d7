#include "app/qmlregistration.h"

#include "controller/imserverapi.h"
#include "nodes/qnodequery.h"
#include "video/ffmpegrtsp.h"
#include "video/myimageprovider.h"
#include "video/snapshotview.h"
#include "video/ximageview.h"

#include <QQmlApplicationEngine>
#include <QQmlContext>

namespace kora {

void registerQmlTypes()
{
    qmlRegisterType<XImageView>("Custom.VX.ffmpeg", 1, 0, "XImageView");
    qmlRegisterType<XRtspView>("Custom.VX.ffmpeg", 1, 0, "XRtspView");
    qmlRegisterType<SnapshotView>("Custom.VX.ffmpeg", 1, 0, "SnapshotView");
}

void exposeToQml(QQmlApplicationEngine &engine, ImServerApi *api, QNodeControl *nodes,
                 MyImageProvider *provider)
{
    engine.rootContext()->setContextProperty(QStringLiteral("ImApi"), api);
    engine.rootContext()->setContextProperty(QStringLiteral("NodeControl"), nodes);
    engine.addImageProvider(QStringLiteral("MyProvider"), provider); // the engine owns it
}

} // namespace kora
