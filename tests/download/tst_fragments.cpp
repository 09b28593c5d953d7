#include "download/fragments.h"

#include <QtEndian>
#include <QtTest>
#include "support/table.h"

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
        QTest::newRow("in order, whole") << QList<int>{0, 1, 2, 3} << true << true;
        QTest::newRow("ascending with gaps, last in") << QList<int>{0, 2, 3} << true << false;
        QTest::newRow("last not yet in") << QList<int>{0, 1, 2} << false << true;
        QTest::newRow("a step back") << QList<int>{1, 0, 3} << false << false;
        QTest::newRow("a duplicate") << QList<int>{0, 1, 1, 3} << true << false;
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

    void refused_data()
    {
        columns<QByteArray, QByteArray, int>({"first", "second", "result"});
        QTest::newRow("shorter than the header") << fragment(2, 0, "ab") << QByteArray("1234567") << int(Result::Malformed);
        QTest::newRow("sequence beyond the total") << fragment(2, 0, "ab") << fragment(2, 2, "ab") << int(Result::OutOfRange);
        QTest::newRow("another total") << fragment(2, 0, "ab") << fragment(3, 1, "ab") << int(Result::OtherTotal);
        QTest::newRow("middle fragment of another size") << fragment(3, 0, "abc") << fragment(3, 1, "ab") << int(Result::WrongSize);
        QTest::newRow("last fragment larger") << fragment(3, 0, "abc") << fragment(3, 2, "abcd") << int(Result::WrongSize);
        QTest::newRow("huge total") << fragment(2, 0, "ab") << fragment(0xffffffffu, 1, "ab") << int(Result::TooLarge);
    }
    void refused()
    {
        QFETCH(QByteArray, first);
        QFETCH(QByteArray, second);
        FragmentAssembler a;
        QCOMPARE(a.add(first), Result::Stored);
        QTEST(int(a.add(second)), "result");
        QCOMPARE(a.held(), 1u);
    }

    void hugeOrZeroTotalAtTheStart()
    {
        FragmentAssembler a;
        QCOMPARE(a.add(fragment(0xffffffffu, 0, "x")), Result::TooLarge); // no 4-billion-slot table
        QCOMPARE(a.add(fragment(0, 0, "x")), Result::TooLarge);
        QCOMPARE(a.total(), 0u);
    }

    void memoryIsBounded()
    {
        FragmentAssembler a;
        const QByteArray payload(60000, 'p');
        const quint32 total = kora::download::kMaxFragments;
        quint32 n = 0;
        Result r = Result::Stored;
        while (r == Result::Stored && n < 20000)
            r = a.add(fragment(total, n++, payload));
        QCOMPARE(r, Result::TooLarge);
        QVERIFY(qint64(a.held()) * payload.size() <= kora::download::kMaxFileBytes);
    }

    void emptyFileAndIncompleteTake()
    {
        FragmentAssembler a;
        QCOMPARE(a.add(fragment(1, 0, QByteArray())), Result::Stored);
        QVERIFY(a.isComplete());
        QCOMPARE(a.take(), QByteArray());
        QCOMPARE(a.add(fragment(2, 1, "z")), Result::Stored);
        QCOMPARE(a.take(), QByteArray()); // incomplete: nothing, and the fragment stays
        QCOMPARE(a.missingList(), QByteArray("0"));
    }
};

QTEST_GUILESS_MAIN(TestFragments)
#include "tst_fragments.moc"
