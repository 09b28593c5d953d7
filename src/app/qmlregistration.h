#pragma once
// Everything native that QML sees is registered here, in one place.
class QQmlApplicationEngine;
class ImServerApi;
class QNodeControl;
class MyImageProvider;

namespace kora {
void registerQmlTypes();
void exposeToQml(QQmlApplicationEngine &engine, ImServerApi *api, QNodeControl *nodes,
                 MyImageProvider *provider);
} // namespace kora
