// The baseline of the start-up benchmark: the smallest Qt Quick program that shows one
// full-screen window with one text, and reports its first frame as the client does.
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <cstdio>

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    QQmlApplicationEngine engine;
    engine.load(QUrl(QStringLiteral("qrc:/baseline.qml")));
    if (engine.rootObjects().isEmpty())
        return -1;
    auto *window = qobject_cast<QQuickWindow *>(engine.rootObjects().first());
    QObject::connect(window, &QQuickWindow::frameSwapped, window, [] {
        static bool once = false;
        if (!once) {
            once = true;
            std::fprintf(stderr, "first frame\n");
            std::fflush(stderr);
        }
    });
    return app.exec();
}
