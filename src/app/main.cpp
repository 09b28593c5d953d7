#include "app/client.h"
#include "app/qmlregistration.h"
#include "app/scenegraph.h"
#include "app/singleinstance.h"
#include "log/categories.h"
#include "log/logfile.h"
#include "log/trace.h"
#include "nodes/qnodequery.h"
#include "platform/netruntime.h"
#include "video/myimageprovider.h"
#include "video/previewstreams.h"
#include "video/snapshotview.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <QStandardPaths>
#include <QTextCodec>
#include <QtWebView/QtWebView>
#include <atomic>
#include <memory>

namespace {
// Sockets must be usable before any object that owns one is constructed.
const bool g_networking = kora::platform::startNetworking();

// One trace line when the first frame of the window is on screen, and one for the first
// frame after the pages set "firstPagePending": start-up and login are measured by them.
void traceFrames(QQmlApplicationEngine &engine)
{
    const auto roots = engine.rootObjects();
    auto *window = roots.isEmpty() ? nullptr : qobject_cast<QQuickWindow *>(roots.first());
    if (!window)
        return;
    // frameSwapped comes from the render thread; several may be queued before the first
    // is handled, so a flag rather than a disconnect keeps it to one line.
    auto done = std::make_shared<std::atomic<bool>>(false);
    QObject::connect(window, &QQuickWindow::frameSwapped, window, [done, window] {
        if (!done->exchange(true))
            KINFO(lcApp) << "first frame";
        if (window->property("firstPagePending").toBool()) {
            window->setProperty("firstPagePending", false);
            KINFO(lcApp) << "first page frame";
        }
    });
}

#ifdef KORA_USER_DATA
// The installed client keeps its data, image and log folders in the user's data folder
// (~/.local/share/kora), not in whatever folder it was started from. Every path the client
// uses is relative to the working directory, so moving there is the one switch. When the
// folder cannot be made the client stays where it was started, and says so.
void enterUserDataFolder()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (folder.isEmpty() || !QDir().mkpath(folder) || !QDir::setCurrent(folder))
        qWarning("kora: cannot use the data folder \"%s\"; staying in \"%s\"", qPrintable(folder),
                 qPrintable(QDir::currentPath()));
}
#endif
} // namespace

int main(int argc, char *argv[])
{
    Q_UNUSED(g_networking)
    QCoreApplication::addLibraryPath(QStringLiteral("./Lib"));
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QtWebView::initialize();
    auto app = std::make_unique<QApplication>(argc, argv);
#ifdef KORA_USER_DATA
    QCoreApplication::setApplicationName(QStringLiteral("kora"));
    enterUserDataFolder();
#endif

    SingleInstance instance(QStringLiteral("kora"));
    const SingleInstance::Result held = instance.acquire();
    if (held == SingleInstance::Result::AlreadyRunning) {
        QMessageBox box(QMessageBox::Critical, QObject::tr("Error"),
                        QObject::tr("The program is already running. Please close the other "
                                    "instance and try again."),
                        QMessageBox::Ok);
        box.exec();
        app.reset();
        return 0;
    }

    auto api = std::make_unique<kora::app::Client>();
    auto nodes = std::make_unique<QNodeControl>(QHostAddress(api->localIp()));
    if (api->enableLog())
        qInstallMessageHandler(kora::logfile::messageHandler);
    // Through the debug channel whatever the categories show: the log file starts with it.
    qDebug() << kora::tracePrefix(Q_FUNC_INFO, __LINE__) << "KROA.exe start!";
    if (held == SingleInstance::Result::RecoveredStale)
        KINFO(lcApp) << "removed the instance token of a client that did not exit";
    else if (held == SingleInstance::Result::Unavailable)
        KWARN(lcApp) << "single-instance check unavailable:" << instance.errorString();
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));

    kora::chooseSceneGraphBackend();
    auto *provider = new MyImageProvider(api->previewTable());
    SnapshotBoard::instance().setTable(api->previewTable());
    auto engine = std::make_unique<QQmlApplicationEngine>();
    kora::registerQmlTypes();
    kora::exposeToQml(*engine, api.get(), nodes.get(), provider);
    engine->load(QUrl(QStringLiteral("qrc:/main.qml")));
    if (engine->rootObjects().isEmpty()) {
        api->shutdown();
        nodes->shutdown();
        engine.reset();
        return -1;
    }
    traceFrames(*engine);

    const int rc = app->exec();
    // Worker threads stop before the engine's objects go away.
    api->shutdown();
    nodes->shutdown();
    engine.reset();
    PreviewStreams::instance().shutdown(); // the items are gone; their decoders stop, within a bound
    nodes.reset();
    api.reset();
    app.reset();
    return rc;
}
