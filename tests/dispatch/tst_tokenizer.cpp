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
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QStringList>("fields");
        QTest::newRow("name and fields") << "{GetWindows;1;a,b}" << QStringList{"GetWindows", "1", "a,b"};
        QTest::newRow("empty fields kept") << "{X;;b;}" << QStringList{"X", "", "b", ""};
        QTest::newRow("no braces") << "GetWindows;1" << QStringList{};
        QTest::newRow("not closed") << "{GetWindows;1" << QStringList{};
        QTest::newRow("trailing line feed") << "{GetWindows;1}\n" << QStringList{};
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
        QTest::newRow("empty text") << "" << semi << QStringList{} << true;
        QTest::newRow("braces hold separators") << "s1,A,{1;2;w;w},;s2,B,{1;0}," << semi
                                                << QStringList{"s1,A,{1;2;w;w},", "s2,B,{1;0},"} << true;
        QTest::newRow("nested") << "a{b;{c;d};e};f" << semi << QStringList{"a{b;{c;d};e}", "f"} << true;
        QTest::newRow("unclosed") << "a;{b;c" << semi << QStringList{"a", "{b;c"} << false;
        QTest::newRow("stray close, split goes on") << "a};b" << semi << QStringList{"a}", "b"} << false;
        QTest::newRow("close before open is no pair") << "}{;" << semi << QStringList{"}{;"} << false;
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


};

KORA_TEST(TestTokenizer)
#include "tst_tokenizer.moc"
