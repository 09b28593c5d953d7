#include "log/categories.h"

Q_LOGGING_CATEGORY(lcApp, "kora.app", QtInfoMsg)
Q_LOGGING_CATEGORY(lcApi, "kora.api", QtInfoMsg)
Q_LOGGING_CATEGORY(lcSettings, "kora.settings", QtInfoMsg)
Q_LOGGING_CATEGORY(lcLink, "kora.link", QtInfoMsg)
Q_LOGGING_CATEGORY(lcDownload, "kora.download", QtInfoMsg)
Q_LOGGING_CATEGORY(lcDiscovery, "kora.discovery", QtInfoMsg)
Q_LOGGING_CATEGORY(lcVideo, "kora.video", QtInfoMsg)
Q_LOGGING_CATEGORY(lcLevels, "kora.levels", QtInfoMsg)
Q_LOGGING_CATEGORY(lcNodes, "kora.nodes", QtInfoMsg)
