#include "peers/walls.h"
