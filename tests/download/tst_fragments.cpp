#include "download/fragments.h"

#include <QtEndian>
#include "support/testmain.h"

using kora::download::FragmentAssembler;
using Result = FragmentAssembler::Result;

namespace {
QByteArray fragment(quint32 total, quint32 sequence, const QByteArray &payload)
{
    QByteArray d(8, '\0');
    qToLittleEndian<quint32>(total, d.data());
    qToLittleEndian<quint32>(sequence, d.data() + 4);
    return d + payload;
}
} // namespace

class TestFragments : public QObject
{
    Q_OBJECT
private slots:
    void anyOrderAssemblesInSequence()
    {
        FragmentAssembler a;
        QCOMPARE(a.add(fragment(3, 2, "xy")), Result::Stored);
        QCOMPARE(a.add(fragment(3, 0, "abc")), Result::Stored);
        QVERIFY(!a.isComplete());
        QCOMPARE(a.missingList(), QByteArray("1"));
        QCOMPARE(a.add(fragment(3, 0, "abc")), Result::Duplicate);
        QCOMPARE(a.held(), 2u);
        QCOMPARE(a.add(fragment(3, 1, "def")), Result::Stored);
        QVERIFY(a.isComplete());
        QCOMPARE(a.progress(), 1.0f);
        QCOMPARE(a.take(), QByteArray("abcdefxy"));
        QCOMPARE(a.total(), 0u); // cleared for the next file
    }

    void burstEnd_data()
    {
        columns<QList<int>, bool, bool>({"sequence", "ended", "inOrder"});
        QTest::newRow("ascending with gaps, last in") << QList<int>{0, 2, 3} << true << false;
        QTest::newRow("last not yet in") << QList<int>{0, 1, 2} << false << true;
        QTest::newRow("a step back") << QList<int>{1, 0, 3} << false << false;
        QTest::newRow("a duplicate") << QList<int>{0, 1, 1, 2, 3} << true << false;
    }
    void burstEnd()
    {
        QFETCH(QList<int>, sequence);
        FragmentAssembler a;
        for (int n : sequence)
            a.add(fragment(4, quint32(n), n == 3 ? "z" : "abc"));
        QTEST(a.burstEnded(), "ended");
        QTEST(a.arrivedInOrder(), "inOrder");
    }

    // "before": a fragment stored first, or none.
    void refused_data()
    {
        columns<QByteArray, QByteArray, int>({"before", "datagram", "result"});
        QTest::newRow("shorter than the header") << fragment(2, 0, "ab") << QByteArray("1234567") << int(Result::Malformed);
        QTest::newRow("sequence beyond the total") << fragment(2, 0, "ab") << fragment(2, 2, "ab") << int(Result::OutOfRange);
        QTest::newRow("another total") << fragment(2, 0, "ab") << fragment(3, 1, "ab") << int(Result::OtherTotal);
        QTest::newRow("middle fragment of another size") << fragment(3, 0, "abc") << fragment(3, 1, "ab") << int(Result::WrongSize);
        QTest::newRow("last fragment larger") << fragment(3, 0, "abc") << fragment(3, 2, "abcd") << int(Result::WrongSize);
        QTest::newRow("middle fragment smaller than the last") << fragment(3, 2, "abcd") << fragment(3, 0, "abc") << int(Result::WrongSize);
        QTest::newRow("huge total") << fragment(2, 0, "ab") << fragment(0xffffffffu, 1, "ab") << int(Result::TooLarge);
        // No 4-billion-slot table, and no buffer beyond the byte bound.
        QTest::newRow("huge total first") << QByteArray() << fragment(0xffffffffu, 0, "x") << int(Result::TooLarge);
        QTest::newRow("zero total") << QByteArray() << fragment(0, 0, "x") << int(Result::TooLarge);
        QTest::newRow("more bytes than a file may have")
            << QByteArray() << fragment(kora::download::kMaxFragments, 0, QByteArray(513, 'p')) << int(Result::TooLarge);
    }
    void refused()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, datagram);
        FragmentAssembler a;
        if (!before.isEmpty())
            QCOMPARE(a.add(before), Result::Stored);
        QTEST(int(a.add(datagram)), "result");
        QCOMPARE(a.held(), before.isEmpty() ? 0u : 1u);
    }

    // An empty file, the largest total there may be, and a take before the end.
    void edges()
    {
        FragmentAssembler largest;
        QCOMPARE(largest.add(fragment(kora::download::kMaxFragments, 0, "x")), Result::Stored);
        FragmentAssembler a;
        QCOMPARE(a.add(fragment(1, 0, QByteArray())), Result::Stored);
        QVERIFY(a.isComplete());
        QCOMPARE(a.take(), QByteArray());
        QCOMPARE(a.add(fragment(2, 1, "z")), Result::Stored);
        QCOMPARE(a.take(), QByteArray()); // incomplete: nothing, and the fragment stays
        QCOMPARE(a.missingList(), QByteArray("0"));
    }
};

KORA_TEST(TestFragments)
#include "tst_fragments.moc"
