#include "log/logfile.h"
#include "log/throttle.h"
#include "log/trace.h"

#include <QDir>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>
#include "support/table.h"
#include "support/testfiles.h"

using namespace kora;

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
        columns<QString, QString>({"pretty", "name"});
        QTest::newRow("main") << "int main(int, char**)" << "main";
        QTest::newRow("member") << "void ImServerApi::initialization()" << "ImServerApi::initialization";
    }
    void qualifiedName()
    {
        QFETCH(QString, pretty);
        QTEST(qualifiedFunctionName(pretty.toLatin1().constData()), "name");
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
        const QByteArray content = readFile(logfile::fileNameFor(QDate::currentDate()));
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

private:
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestLog)
#include "tst_log.moc"
