#pragma once
#include <QString>

namespace kora {
// True for the renderer names of Mesa's CPU rasterisers ("llvmpipe", "softpipe", "swrast",
// "Software Rasterizer").
bool isSoftwareGlRenderer(const QString &renderer);
// Without a hardware OpenGL driver every frame is rasterised by the CPU over the whole
// window; Qt Quick's software renderer then redraws only what changed. Chooses it in that
// case, before the first window exists, unless QT_QUICK_BACKEND names a renderer.
void chooseSceneGraphBackend();
} // namespace kora
