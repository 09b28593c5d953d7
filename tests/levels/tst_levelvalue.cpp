// Cutting values out of equipment replies as the designed template lays them out, and what a
// listener sends.
#include "levels/levelvalue.h"

#include "support/testmain.h"

using namespace kora::levels;

Q_DECLARE_METATYPE(Cut)
Q_DECLARE_METATYPE(Reading)

class TestLevelValue : public QObject
{
    Q_OBJECT
private slots:
    void cut_data()
    {
        columns<QString, QString, Cut>({"templ", "key", "cut"});
        QTest::newRow("key between one-character ends") << "L=$L;" << "$L" << Cut{2, 1};
        QTest::newRow("hex template") << "aa559001$Lcc" << "$L" << Cut{8, 2};
        QTest::newRow("key at the end") << "{AoData;1;$V" << "$V" << Cut{10, 0};
        QTest::newRow("first occurrence counts") << "$V=$V" << "$V" << Cut{0, 3};
        QTest::newRow("key missing: the whole reply") << "L=x;" << "$L" << Cut{0, 0};
        QTest::newRow("empty key: the whole reply") << "L=x;" << "" << Cut{0, 0};
    }
    void cut()
    {
        QFETCH(QString, templ);
        QFETCH(QString, key);
        QTEST(cutFor(templ, key), "cut");
    }

    void text_data()
    {
        columns<QByteArray, Cut, Reading>({"reply", "cut", "reading"});
        QTest::newRow("fraction truncated towards zero") << QByteArray("L=-12.7;") << Cut{2, 1} << Reading{-12, "-12.7"};
        QTest::newRow("not a number reads 0, text kept") << QByteArray("L=abc;") << Cut{2, 1} << Reading{0, "abc"};
        QTest::newRow("reply shorter than the template") << QByteArray("L;") << Cut{2, 1} << Reading{0, ""};
        QTest::newRow("beyond int reads 0") << QByteArray("L=1e12;") << Cut{2, 1} << Reading{0, "1e12"};
        QTest::newRow("whole reply") << QByteArray("-7") << Cut{0, 0} << Reading{-7, "-7"};
        QTest::newRow("Latin-1: a UTF-8 pair is two characters") << QByteArray("\xc2\xb5=5;") << Cut{3, 1} << Reading{5, "5"};
    }
    void text()
    {
        QFETCH(QByteArray, reply);
        QFETCH(Cut, cut);
        QTEST(readReply(reply, false, cut), "reading");
    }

    void hex_data()
    {
        columns<QByteArray, Cut, int>({"reply", "cut", "value"});
        // aa 55 90 01 LL HH cc with the template "aa559001$Lcc".
        QTest::newRow("FE FF is -2") << QByteArray::fromHex("aa559001 feff cc") << Cut{8, 2} << -2;
        QTest::newRow("little-endian positive") << QByteArray::fromHex("aa559001 3412 cc") << Cut{8, 2} << 0x1234;
        QTest::newRow("one byte is the high byte") << QByteArray::fromHex("aa559001 fe cc") << Cut{8, 2} << -512;
        QTest::newRow("only the low 16 bits count") << QByteArray::fromHex("010203feff") << Cut{0, 0} << -2;
        QTest::newRow("nothing left") << QByteArray::fromHex("aa55") << Cut{8, 2} << 0;
    }
    void hex()
    {
        QFETCH(QByteArray, reply);
        QFETCH(Cut, cut);
        QFETCH(int, value);
        QCOMPARE(readReply(reply, true, cut), (Reading{value, QString::number(value)}));
    }

    void payload_data()
    {
        columns<QString, bool, QByteArray>({"data", "hex", "payload"});
        QTest::newRow("hex request") << "AA 55 10 01 CC" << true << QByteArray::fromHex("aa551001cc");
        QTest::newRow("odd hex gets a leading 0") << "A BC" << true << QByteArray::fromHex("0abc");
        QTest::newRow("text request") << "{GetLevel;1}" << false << QByteArray("{GetLevel;1}");
        QVERIFY(isHexType("Hex") && !isHexType("ASCII")); // the type's letter case does not matter
    }
    void payload()
    {
        QFETCH(QString, data);
        QFETCH(bool, hex);
        QTEST(requestPayload(data, hex), "payload");
    }

    void priming_data()
    {
        columns<QString, QString>({"data", "priming"});
        QTest::newRow("field 1 set to 0") << "{GetAoData;1;3}" << "{GetAoData;0;3}";
        QTest::newRow("empty fields kept") << "{GetAoData;1;;3}" << "{GetAoData;0;;3}";
        QTest::newRow("no field 1 yet") << "{GetAoData;" << "{GetAoData;0";
        QTest::newRow("other query") << "{GetLevel;1;3}" << "";
    }
    void priming()
    {
        QFETCH(QString, data);
        QTEST(primingRequest(data), "priming");
    }
};

KORA_TEST(TestLevelValue)
KORA_TEST_MAIN(QCoreApplication)
#include "tst_levelvalue.moc"
