#include "log/logfile.h"
#include "log/throttle.h"
#include "log/trace.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

using namespace kora;

namespace {
QDateTime g_fakeNow;
QDateTime fakeClock() { return g_fakeNow; }

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

class TestLog : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        QDir::setCurrent(m_dir.path());
        QDir(m_dir.path() + "/log").removeRecursively();
        QDir().mkpath(m_dir.path() + "/log");
        logfile::setClock(nullptr);
    }
    void cleanup() { logfile::setClock(nullptr); }

    void qualifiedName_data()
    {
        QTest::addColumn<QString>("pretty");
        QTest::addColumn<QString>("name");
        QTest::newRow("main") << "int main(int, char**)" << "main";
        QTest::newRow("member") << "void ImServerApi::initialization()" << "ImServerApi::initialization";
        QTest::newRow("constructor") << "ImServerApi::ImServerApi(QObject*)" << "ImServerApi::ImServerApi";
        QTest::newRow("pointer return") << "QObject* Foo::bar(int)" << "Foo::bar";
        QTest::newRow("reference return") << "const QString& Foo::name() const" << "Foo::name";
        QTest::newRow("template return") << "std::map<int, int> A::b(std::pair<int, int>)" << "A::b";
        QTest::newRow("namespace") << "QString kora::tracePrefix(const char*, int)" << "kora::tracePrefix";
        QTest::newRow("lambda") << "ImServerApi::ImServerApi(QObject*)::<lambda()>" << "ImServerApi::ImServerApi";
        QTest::newRow("call operator") << "void Functor::operator()(int)" << "Functor::operator()";
    }
    void qualifiedName()
    {
        QFETCH(QString, pretty);
        QFETCH(QString, name);
        QCOMPARE(qualifiedFunctionName(pretty.toLatin1().constData()), name);
    }

    void prefixOfThisFunction()
    {
        const QString prefix = tracePrefix(Q_FUNC_INFO, 42, QTime(7, 5, 3, 9));
        QCOMPARE(prefix, QStringLiteral("[07:05:03:009 TestLog::prefixOfThisFunction 42]"));
    }

    void lineFormats_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("expected");
        const QString native = QStringLiteral("\"[10:00:00:000 main 5]\" KROA.exe start!");
        QTest::newRow("debug") << int(QtDebugMsg) << QByteArray("main.cpp") << "[Debug]\t" + native;
        QTest::newRow("warning") << int(QtWarningMsg) << QByteArray("main.cpp") << "[Warning]\t" + native;
        QTest::newRow("critical") << int(QtCriticalMsg) << QByteArray("x.cpp") << "[Critical]\t" + native;
        QTest::newRow("info") << int(QtInfoMsg) << QByteArray() << "[Info]\t" + native;
        QTest::newRow("fatal") << int(QtFatalMsg) << QByteArray("x.cpp") << "[Fatal]\t" + native;
        QTest::newRow("qml") << int(QtDebugMsg) << QByteArray("qrc:/main.qml")
                             << "[Debug]\t[23:59:58:123 Function:onClicked 17] " + native;
        // A native text that itself contains "%2" must come through unchanged.
    }
    void lineFormats()
    {
        QFETCH(int, type);
        QFETCH(QByteArray, file);
        QFETCH(QString, expected);
        const QMessageLogContext context(file.isEmpty() ? nullptr : file.constData(), 17,
                                         "onClicked", "default");
        const QString text = QStringLiteral("\"[10:00:00:000 main 5]\" KROA.exe start!");
        QCOMPARE(logfile::formatLine(QtMsgType(type), context, text, QTime(23, 59, 58, 123)), expected);
    }

    void placeholderInMessageIsKept()
    {
        const QMessageLogContext context("a.cpp", 1, "f", "default");
        QCOMPARE(logfile::formatLine(QtDebugMsg, context, QStringLiteral("50%2 %1 done"), QTime()),
                 QStringLiteral("[Debug]\t50%2 %1 done"));
    }

    void fileName() { QCOMPARE(logfile::fileNameFor(QDate(2026, 1, 2)), QStringLiteral("log/2026-01-02-log.txt")); }

    void crlfAndMidnightRollOver()
    {
        logfile::setClock(fakeClock);
        g_fakeNow = QDateTime(QDate(2026, 12, 6), QTime(23, 59, 59, 999));
        QVERIFY(logfile::appendLine(QStringLiteral("before")));
        g_fakeNow = QDateTime(QDate(2026, 12, 7), QTime(0, 0, 0, 0));
        QVERIFY(logfile::appendLine(QStringLiteral("after")));
        QVERIFY(logfile::appendLine(QStringLiteral("später")));
        QCOMPARE(readAll("log/2026-12-06-log.txt"), QByteArray("before\r\n"));
        QCOMPARE(readAll("log/2026-12-07-log.txt"), QByteArray("after\r\n") + QString("später\r\n").toUtf8());
    }

    void handlerWritesTheWholeLine()
    {
        logfile::setClock(fakeClock);
        g_fakeNow = QDateTime(QDate(2026, 3, 1), QTime(8, 0));
        const QMessageLogContext context("main.cpp", 3, "main", "default");
        logfile::messageHandler(QtWarningMsg, context, QStringLiteral("hello"));
        QCOMPARE(readAll("log/2026-03-01-log.txt"), QByteArray("[Warning]\thello\r\n"));
    }

    void missingFolderLosesTheLineQuietly()
    {
        QDir("log").removeRecursively();
        QVERIFY(!logfile::appendLine(QStringLiteral("lost")));
    }

    void threadsNeverInterleave()
    {
        constexpr int kThreads = 6;
        constexpr int kLines = 300;
        QList<QThread *> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.append(QThread::create([t] {
                const QString line = QString(200, QChar('a' + t));
                for (int i = 0; i < kLines; ++i)
                    logfile::appendLine(line);
            }));
            threads.last()->start();
        }
        for (QThread *thread : threads) {
            QVERIFY(thread->wait(30000));
            delete thread;
        }
        const QByteArray content = readAll(logfile::fileNameFor(QDate::currentDate()));
        const QList<QByteArray> lines = content.split('\n');
        QCOMPARE(lines.size(), kThreads * kLines + 1);
        QVERIFY(lines.last().isEmpty());
        for (int i = 0; i < lines.size() - 1; ++i) {
            const QByteArray &line = lines.at(i);
            QCOMPARE(line.size(), 201);
            QVERIFY(line.endsWith('\r'));
            QCOMPARE(line.count(line.at(0)), 200);
        }
    }

private:
    QTemporaryDir m_dir;

    // One line per kind and interval; the next line says how many were held back.
    void throttle()
    {
        kora::LogThrottle t(5000);
        int skipped = -1;
        QVERIFY(t.allow("gap", 1000, &skipped));
        QCOMPARE(skipped, 0);
        QVERIFY(!t.allow("gap", 1100, nullptr));
        QVERIFY(!t.allow("gap", 5999, nullptr));
        QVERIFY(t.allow("jpeg", 1200, nullptr)); // kinds are apart
        QVERIFY(t.allow("gap", 6000, &skipped));
        QCOMPARE(skipped, 2);
        QVERIFY(!t.allow("gap", 6001, nullptr));
        QCOMPARE(t.count("gap"), quint64(5));
        QCOMPARE(t.count("none"), quint64(0));
    }
};

QTEST_GUILESS_MAIN(TestLog)
#include "tst_log.moc"
