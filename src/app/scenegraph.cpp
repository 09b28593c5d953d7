#include "app/scenegraph.h"

#include "log/categories.h"
#include "log/trace.h"

#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QQuickWindow>
#include <QSGRendererInterface>

namespace kora {

bool isSoftwareGlRenderer(const QString &renderer)
{
    for (const char *name : {"llvmpipe", "softpipe", "swrast", "Software Rasterizer"}) {
        if (renderer.contains(QLatin1String(name), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

void chooseSceneGraphBackend()
{
    if (!qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND"))
        return;
    QOpenGLContext context;
    QOffscreenSurface surface;
    surface.create();
    QString renderer;
    if (context.create() && context.makeCurrent(&surface)) {
        renderer = QString::fromLatin1(reinterpret_cast<const char *>(context.functions()->glGetString(GL_RENDERER)));
        context.doneCurrent();
    }
    if (renderer.isEmpty() || isSoftwareGlRenderer(renderer)) {
        QQuickWindow::setSceneGraphBackend(QSGRendererInterface::Software);
        KINFO(lcApp) << "OpenGL renderer" << renderer << "is no hardware driver: Qt Quick draws in software";
    } else {
        KINFO(lcApp) << "OpenGL renderer" << renderer;
    }
}

} // namespace kora
