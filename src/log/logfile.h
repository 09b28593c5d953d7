#pragma once
// The daily log file: "log/yyyy-MM-dd-log.txt" under the working directory, one line per
// message, CR LF, opened, appended and closed under one lock so threads never interleave.
#include <QDateTime>
#include <QString>
#include <QtGlobal>

namespace kora::logfile {

using Clock = QDateTime (*)();

// "[Debug]\t..." etc.; QML messages (file name ending in "qml") get the time/function wrapper.
QString formatLine(QtMsgType type, const QMessageLogContext &context, const QString &message,
                   const QTime &now);

// "log/2026-12-06-log.txt"
QString fileNameFor(const QDate &date);

// Appends one formatted line plus CR LF to the file of the clock's current date.
// Returns false when the file cannot be opened; the message is then lost.
bool appendLine(const QString &line);

// The handler passed to qInstallMessageHandler. Aborts after writing a fatal message.
void messageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message);

// Tests replace the clock to cross midnight; nullptr restores the system clock.
void setClock(Clock clock);

} // namespace kora::logfile
