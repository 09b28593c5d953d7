// The wall peers of the engine and their control commands.
#include "engine.h"
#include "media/media.h"
#include "peers/walls.h"

#include <QJsonArray>

namespace lab {

void Engine::addWallPeers()
{
    m_walls = std::make_unique<WallSystem>(m_config.wallConfigs());
    for (auto &decoder : makeDecoderPeers(*m_walls))
        addPeer(std::move(decoder));
    if (!m_config.controllerEnabled)
        return;
    // The controller's signal resources are the encoders' inputs.
    QList<SignalResource> resources;
    for (int i = 0; i < m_config.encoderCount; ++i) {
        const QString n = QString::number(i + 1);
        const int host = m_config.firstEncoder + i;
        resources.append({n, QStringLiteral("Input ") + n, QStringLiteral("udp://239.10.1.%1:5000").arg(n),
                          QStringLiteral("udp://239.10.2.%1:5000").arg(n),
                          m_config.address(host).toString() + QStringLiteral(":19997"), QStringLiteral("Inputs"),
                          m_config.isStreamingEncoder(host) ? host : 0, quint16(m_config.streamPort(host) + 4)});
    }
    // Signals on a wall get their snapshots pushed to the client that put them there.
    auto push = [this](int host, const QHostAddress &to, quint16 port) { m_media->push(host, to, port); };
    addPeer(std::make_unique<ControllerPeer>(*m_walls, m_config.address(m_config.controller), resources, push));
}

QJsonObject Engine::wallControl(const QJsonObject &command)
{
    const QString cmd = command.value(QStringLiteral("cmd")).toString();
    const QString wall = command.value(QStringLiteral("wall")).toString();
    if (cmd == QLatin1String("walls"))
        return QJsonObject{{"ok", true}, {"state", m_walls->snapshot()}};
    if (cmd == QLatin1String("setWindows")) {
        // Another client or the controller changed a wall: the next GetWindows shows it.
        QStringList items;
        for (const QJsonValue &item : command.value(QStringLiteral("windows")).toArray())
            items.append(item.toString());
        if (!m_walls->setWindows(wall, items))
            return QJsonObject{{"ok", false}, {"error", QStringLiteral("no wall %1 or a bad window item").arg(wall)}};
        return QJsonObject{{"ok", true}, {"windows", m_walls->windowsText(wall)}};
    }
    return {};
}

} // namespace lab
