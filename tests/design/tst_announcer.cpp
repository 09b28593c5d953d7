// The walk that hands a built design to the pages: order, the pause after a wall, and a walk
// that a new login ends.
#include "design/announcer.h"

#include <QSignalSpy>
#include <QtTest>

using kora::design::Announcement;
using kora::design::Announcer;
using kora::design::Target;

namespace {
Announcement item(Target target, const QString &name)
{
    return {target, QStringLiteral("p1"), {{QStringLiteral("name"), name}}};
}

// Everything the walk emits, as one line each.
struct Recorder {
    explicit Recorder(Announcer &announcer)
    {
        QObject::connect(&announcer, &Announcer::announce, [this](const Announcement &a) {
            events.append(a.map.value(QStringLiteral("name")).toString());
        });
        QObject::connect(&announcer, &Announcer::allAnnounced, [this] { events.append(QStringLiteral("all")); });
        QObject::connect(&announcer, &Announcer::visibility, [this](const QJsonArray &names, bool visible) {
            events.append(names.at(0).toString() + (visible ? QStringLiteral(" shown") : QStringLiteral(" hidden")));
        });
        QObject::connect(&announcer, &Announcer::finished, [this] { events.append(QStringLiteral("finished")); });
    }
    QStringList events;
};

const QList<Announcement> kDesign{item(Target::Page, "page"), item(Target::Screen, "wall A"),
                                  item(Target::Button, "button"), item(Target::Screen, "wall B"),
                                  item(Target::Text, "text")};
const QList<QList<QJsonArray>> kSets{{QJsonArray{"x"}, QJsonArray{"y"}}, {QJsonArray{"z"}}};
} // namespace

class TestAnnouncer : public QObject
{
    Q_OBJECT
private slots:
    void wallsPauseTheWalkAndTheSetsComeLast()
    {
        Announcer announcer;
        Recorder r(announcer);
        QSignalSpy finished(&announcer, &Announcer::finished);
        announcer.start(kDesign, kSets);
        // The page host gets the wall before anything after it.
        QCOMPARE(r.events, (QStringList{"page", "wall A"}));
        QVERIFY(announcer.running());
        QVERIFY(finished.wait(5000));
        QCOMPARE(r.events, (QStringList{"page", "wall A", "button", "wall B", "text", "all", "x shown", "y hidden",
                                        "z shown", "finished"}));
        QVERIFY(!announcer.running());
    }

    void aWallAtTheEndNeedsNoPause()
    {
        Announcer announcer;
        Recorder r(announcer);
        announcer.start({item(Target::Page, "page"), item(Target::Screen, "wall")}, {});
        QCOMPARE(r.events, (QStringList{"page", "wall", "all", "finished"}));
    }

    // A walk ended during a wall's pause announces nothing more, and its pause does not go
    // on with the walk that follows. The next walk's own pause, started later, is the mark
    // that the first one's has run out.
    void anEndedWalkStaysEnded_data()
    {
        QTest::addColumn<bool>("stopFirst");
        QTest::newRow("stopped, then a new walk") << true;
        QTest::newRow("replaced by a new walk") << false;
    }
    void anEndedWalkStaysEnded()
    {
        QFETCH(bool, stopFirst);
        Announcer announcer;
        Recorder r(announcer);
        QSignalSpy finished(&announcer, &Announcer::finished);
        announcer.start(kDesign, kSets);
        if (stopFirst) {
            announcer.stop();
            QVERIFY(!announcer.running());
        }
        announcer.start({item(Target::Page, "next"), item(Target::Screen, "next wall"), item(Target::Text, "next text")}, {});
        QVERIFY(finished.wait(5000));
        QCOMPARE(r.events, (QStringList{"page", "wall A", "next", "next wall", "next text", "all", "finished"}));
    }
};

QTEST_GUILESS_MAIN(TestAnnouncer)
#include "tst_announcer.moc"
