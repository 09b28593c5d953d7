// The wall peers of the engine and their control commands.
#include "engine.h"
#include "peers/walls.h"

namespace lab {

void Engine::addWallPeers()
{
}

QJsonObject Engine::wallControl(const QJsonObject &)
{
    return {};
}

} // namespace lab
