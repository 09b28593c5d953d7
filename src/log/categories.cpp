#include "log/categories.h"

Q_LOGGING_CATEGORY(lcApp, "kora.app")
Q_LOGGING_CATEGORY(lcApi, "kora.api")
Q_LOGGING_CATEGORY(lcSettings, "kora.settings")
Q_LOGGING_CATEGORY(lcLink, "kora.link")
Q_LOGGING_CATEGORY(lcDownload, "kora.download")
Q_LOGGING_CATEGORY(lcDiscovery, "kora.discovery")
Q_LOGGING_CATEGORY(lcVideo, "kora.video")
Q_LOGGING_CATEGORY(lcLevels, "kora.levels")
Q_LOGGING_CATEGORY(lcNodes, "kora.nodes")
