// The splitting rules of the controller's replies.
#include "dispatch/tokenizer.h"

#include <QtTest>

using namespace kora::dispatch;

class TestTokenizer : public QObject
{
    Q_OBJECT
private slots:
    void replyFields_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QStringList>("fields");
        QTest::newRow("name and fields") << "{GetWindows;1;a,b}" << QStringList{"GetWindows", "1", "a,b"};
        QTest::newRow("empty fields kept") << "{X;;b;}" << QStringList{"X", "", "b", ""};
        QTest::newRow("name only") << "{SetWindows}" << QStringList{"SetWindows"};
        QTest::newRow("empty braces: one empty name") << "{}" << QStringList{""};
        QTest::newRow("no braces") << "GetWindows;1" << QStringList{};
        QTest::newRow("not closed") << "{GetWindows;1" << QStringList{};
        QTest::newRow("not opened") << "GetWindows;1}" << QStringList{};
        QTest::newRow("trailing line feed") << "{GetWindows;1}\n" << QStringList{};
        QTest::newRow("one brace") << "}" << QStringList{};
        QTest::newRow("empty") << "" << QStringList{};
    }
    void replyFields()
    {
        QFETCH(QString, reply);
        QFETCH(QStringList, fields);
        QCOMPARE(kora::dispatch::replyFields(reply), fields);
    }

    void splitOutsideBraces_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QChar>("separator");
        QTest::addColumn<QStringList>("pieces");
        QTest::addColumn<bool>("balanced");
        const QChar semi(';');
        QTest::newRow("plain") << "a;b;c" << semi << QStringList{"a", "b", "c"} << true;
        QTest::newRow("trailing separator adds no piece") << "a;b;" << semi << QStringList{"a", "b"} << true;
        QTest::newRow("empty pieces between kept") << "a;;b" << semi << QStringList{"a", "", "b"} << true;
        QTest::newRow("leading separator") << ";a" << semi << QStringList{"", "a"} << true;
        QTest::newRow("separator only") << ";" << semi << QStringList{""} << true;
        QTest::newRow("empty text") << "" << semi << QStringList{} << true;
        QTest::newRow("braces hold separators") << "s1,A,{1;2;w;w},;s2,B,{1;0}," << semi
                                                << QStringList{"s1,A,{1;2;w;w},", "s2,B,{1;0},"} << true;
        QTest::newRow("nested") << "a{b;{c;d};e};f" << semi << QStringList{"a{b;{c;d};e}", "f"} << true;
        QTest::newRow("two blocks in one piece") << "{a;b}{c;d};e" << semi << QStringList{"{a;b}{c;d}", "e"} << true;
        QTest::newRow("unclosed") << "a;{b;c" << semi << QStringList{"a", "{b;c"} << false;
        QTest::newRow("stray close, split goes on") << "a};b" << semi << QStringList{"a}", "b"} << false;
        QTest::newRow("close before open is no pair") << "}{;" << semi << QStringList{"}{;"} << false;
        QTest::newRow("other separator") << "a,{b,c},d" << QChar(',') << QStringList{"a", "{b,c}", "d"} << true;
    }
    void splitOutsideBraces()
    {
        QFETCH(QString, text);
        QFETCH(QChar, separator);
        QFETCH(QStringList, pieces);
        QFETCH(bool, balanced);
        bool ok = !balanced;
        QCOMPARE(kora::dispatch::splitOutsideBraces(text, separator, &ok), pieces);
        QCOMPARE(ok, balanced);
    }

    void unquotePayload_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("payload");
        QTest::newRow("quoted JSON and closing brace") << "\"{\"obj\":\"osd\"}\"}" << "{\"obj\":\"osd\"}";
        QTest::newRow("state key stays") << "S_u_5}" << "S_u_5}";
        QTest::newRow("three characters") << "\"\"}" << "";
        QTest::newRow("two characters stay") << "\"}" << "\"}";
        QTest::newRow("no closing quote") << "\"{\"a\":1}}" << "\"{\"a\":1}}";
        QTest::newRow("no opening quote") << "{\"a\":1}\"}" << "{\"a\":1}\"}";
        QTest::newRow("empty") << "" << "";
    }
    void unquotePayload()
    {
        QFETCH(QString, text);
        QFETCH(QString, payload);
        QCOMPARE(kora::dispatch::unquotePayload(text), payload);
    }

    void subValues_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QStringList>("values");
        QTest::newRow("window") << "10.0.0.31,udp://239.0.0.31:5000,0,0,1920,1080"
                                << QStringList{"10.0.0.31", "udp://239.0.0.31:5000", "0", "0", "1920", "1080"};
        QTest::newRow("empty values kept") << "a,,b," << QStringList{"a", "", "b", ""};
        QTest::newRow("no comma") << "abc" << QStringList{"abc"};
        QTest::newRow("empty field: one empty value") << "" << QStringList{""};
    }
    void subValues()
    {
        QFETCH(QString, field);
        QFETCH(QStringList, values);
        QCOMPARE(kora::dispatch::subValues(field), values);
    }

    void keyValueLines_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QVariantMap>("map");
        QTest::newRow("encoder report")
            << "[venc]\nname=Input 1\n\nip=10.0.0.30\n"
            << QVariantMap{{"[venc]", ""}, {"name", "Input 1"}, {"ip", "10.0.0.30"}};
        QTest::newRow("value ends at the second =") << "url=a=b=c" << QVariantMap{{"url", "a"}};
        QTest::newRow("empty key") << "=x" << QVariantMap{{"", "x"}};
        QTest::newRow("a later line wins") << "a=1\na=2" << QVariantMap{{"a", "2"}};
        QTest::newRow("nothing") << "\n\n" << QVariantMap{};
    }
    void keyValueLines()
    {
        QFETCH(QString, text);
        QFETCH(QVariantMap, map);
        QCOMPARE(kora::dispatch::keyValueLines(text), map);
    }
};

QTEST_GUILESS_MAIN(TestTokenizer)
#include "tst_tokenizer.moc"
