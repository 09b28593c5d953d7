#pragma once
// The walls of the simulated installation (being written).
#include "peer.h"
#include <QList>
namespace lab {
class WallSystem {};
struct WallConfig { QString id; QList<QHostAddress> nodes; int rows = 2; int columns = 2; int width = 1920; int height = 1080; };
}
