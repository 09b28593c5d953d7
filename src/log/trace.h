#pragma once
// Every diagnostic line of the client starts with the trace prefix
// "[hh:mm:ss:zzz Qualified::function line]", written through a logging category
// so a developer can silence a concern with QT_LOGGING_RULES.
#include <QLoggingCategory>
#include <QString>
#include <QTime>

namespace kora {

// "void ImServerApi::initialization()" -> "ImServerApi::initialization"
QString qualifiedFunctionName(const char *prettyFunction);

QString tracePrefix(const char *prettyFunction, int line, const QTime &now = QTime::currentTime());

} // namespace kora

#define KTRACE(category) qCDebug(category) << ::kora::tracePrefix(Q_FUNC_INFO, __LINE__)
#define KINFO(category) qCInfo(category) << ::kora::tracePrefix(Q_FUNC_INFO, __LINE__)
#define KWARN(category) qCWarning(category) << ::kora::tracePrefix(Q_FUNC_INFO, __LINE__)
