// The splitting rules of the controller's replies.
#include "dispatch/tokenizer.h"

#include "support/testmain.h"

using namespace kora::dispatch;

class TestTokenizer : public QObject
{
    Q_OBJECT
private slots:
    void replyFields_data()
    {
        columns<QString, QStringList>({"reply", "fields"});
        QTest::newRow("empty fields kept") << "{X;;b;}" << QStringList{"X", "", "b", ""};
        QTest::newRow("no braces") << "GetWindows;1" << QStringList{};
        QTest::newRow("not closed") << "{GetWindows;1" << QStringList{};
    }
    void replyFields()
    {
        QFETCH(QString, reply);
        QTEST(kora::dispatch::replyFields(reply), "fields");
    }

    void splitOutsideBraces_data()
    {
        columns<QString, QStringList, bool>({"text", "pieces", "balanced"});
        QTest::newRow("trailing separator adds no piece") << "a;b;" << QStringList{"a", "b"} << true;
        QTest::newRow("empty pieces between kept") << "a;;b" << QStringList{"a", "", "b"} << true;
        QTest::newRow("braces hold separators") << "s1,A,{1;2;w;w},;s2,B,{1;0}," << QStringList{"s1,A,{1;2;w;w},", "s2,B,{1;0},"} << true;
        QTest::newRow("nested") << "a{b;{c;d};e};f" << QStringList{"a{b;{c;d};e}", "f"} << true;
        QTest::newRow("unclosed") << "a;{b;c" << QStringList{"a", "{b;c"} << false;
        QTest::newRow("stray close, split goes on") << "a};b" << QStringList{"a}", "b"} << false;
        QTest::newRow("close before open is no pair") << "}{;" << QStringList{"}{;"} << false;
    }
    void splitOutsideBraces()
    {
        QFETCH(QString, text);
        QFETCH(bool, balanced);
        bool ok = !balanced;
        QTEST(kora::dispatch::splitOutsideBraces(text, ';', &ok), "pieces");
        QCOMPARE(ok, balanced);
    }

    // A state payload between quotes, before the reply's closing brace.
    void unquotePayload_data()
    {
        columns<QString, QString>({"text", "payload"});
        QTest::newRow("quoted") << "\"a;b\"}" << "a;b";
        QTest::newRow("empty quotes") << "\"\"}" << "";
        QTest::newRow("a lone quote is kept") << "\"}" << "\"}";
        QTest::newRow("unquoted") << "key}" << "key}";
    }
    void unquotePayload()
    {
        QFETCH(QString, text);
        QTEST(kora::dispatch::unquotePayload(text), "payload");
    }
};

KORA_TEST(TestTokenizer)
#include "tst_tokenizer.moc"
