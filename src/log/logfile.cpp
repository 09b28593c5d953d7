#include "log/logfile.h"

#include <QFile>
#include <QMutex>
#include <QMutexLocker>
#include <atomic>
#include <cstdlib>

namespace kora::logfile {
namespace {

std::atomic<Clock> g_clock{nullptr};

QDateTime now()
{
    const Clock clock = g_clock.load();
    return clock ? clock() : QDateTime::currentDateTime();
}

QMutex &fileMutex()
{
    static QMutex mutex; // function-local static: thread-safe one-time initialisation
    return mutex;
}

const char *typePattern(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg: return "[Debug]\t%2";
    case QtWarningMsg: return "[Warning]\t%2";
    case QtCriticalMsg: return "[Critical]\t%2";
    case QtFatalMsg: return "[Fatal]\t%2";
    case QtInfoMsg: return "[Info]\t%2";
    }
    return "[Debug]\t%2";
}

} // namespace

QString formatLine(QtMsgType type, const QMessageLogContext &context, const QString &message,
                   const QTime &time)
{
    QString text = message;
    if (context.file && QByteArray(context.file).endsWith("qml")) {
        const QString function = QStringLiteral("Function:%1 %3")
                                     .arg(QString::fromUtf8(context.function ? context.function : ""))
                                     .arg(context.line);
        text = QStringLiteral("[%1 %2] %3")
                   .arg(time.toString(QStringLiteral("hh:mm:ss:zzz")), function, message);
    }
    // A single placeholder %2 in each pattern, as the file's readers expect.
    return QString::fromLatin1(typePattern(type)).replace(QLatin1String("%2"), text);
}

QString fileNameFor(const QDate &date)
{
    return QStringLiteral("log/") + date.toString(QStringLiteral("yyyy-MM-dd"))
           + QStringLiteral("-log.txt");
}

bool appendLine(const QString &line)
{
    const QByteArray bytes = line.toUtf8() + "\r\n";
    QMutexLocker lock(&fileMutex());
    QFile file(fileNameFor(now().date()));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    const bool ok = file.write(bytes) == bytes.size();
    file.close();
    return ok;
}

void messageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    appendLine(formatLine(type, context, message, now().time()));
    if (type == QtFatalMsg)
        std::abort();
}

void setClock(Clock clock)
{
    g_clock.store(clock);
}

} // namespace kora::logfile
