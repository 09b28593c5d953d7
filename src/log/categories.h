#pragma once
// One logging category per concern; the log handler writes them all to the daily file.
// Each shows Info and above unless QT_LOGGING_RULES says otherwise ("kora.link.debug=true"):
// KINFO is the course of a run (start, login, package, pages), KTRACE the detail of every
// datagram and call, which costs one flag test while it is off.
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcApp)
Q_DECLARE_LOGGING_CATEGORY(lcApi)
Q_DECLARE_LOGGING_CATEGORY(lcSettings)
Q_DECLARE_LOGGING_CATEGORY(lcLink)
Q_DECLARE_LOGGING_CATEGORY(lcDownload)
Q_DECLARE_LOGGING_CATEGORY(lcDiscovery)
Q_DECLARE_LOGGING_CATEGORY(lcVideo)
Q_DECLARE_LOGGING_CATEGORY(lcLevels)
Q_DECLARE_LOGGING_CATEGORY(lcNodes)
