// The page walk, hostile shapes, the cached design's choice, and the announcer.
#include "design/announcer.h"
#include "design/designbuild.h"
#include "support/design.h"
#include "support/testmain.h"

#include <QSignalSpy>

using namespace kora;
using namespace kora::design;
using designfixtures::labDesignFile;
using designfixtures::sequence;

namespace {

QStringList pageIdsOf(const QList<PageRecord> &pages)
{
    QStringList ids;
    for (const PageRecord &p : pages)
        ids.append(p.id);
    return ids;
}

// A design whose first page is the login page holding `loginItems`, its other pages given.
QByteArray designWith(const QString &pagesJson, const QString &loginItems = QString())
{
    return QString(R"({"version":"1.14.8.0928","ui":{"item":[
        {"class":"Page","property":[{"name":"uuid","value":"login"},{"name":"label","value":"LoginPage"}],"item":[%1]}%2]}})")
        .arg(loginItems, pagesJson.isEmpty() ? QString() : "," + pagesJson)
        .toUtf8();
}

QString page(const QString &uuid, const QString &items, const QString &pageClass = "Page")
{
    return QString(R"({"class":"%1","property":[{"name":"uuid","value":"%2"}],"item":[%3]})").arg(pageClass, uuid, items);
}

QString widget(const QString &widgetClass, const QString &uuid, const QString &extraProperties = QString(),
               const QString &items = QString())
{
    return QString(R"({"class":"%1","property":[{"name":"uuid","value":"%2"}%3],"item":[%4]})")
        .arg(widgetClass, uuid, extraProperties.isEmpty() ? QString() : "," + extraProperties, items);
}

// Page items with rectangle "r<k>" at group depth k, for k from 0 to levels - 1.
QString nestedGroups(int levels)
{
    QString json = widget("RectWidget", QString("r%1").arg(levels - 1));
    for (int level = levels - 2; level >= 0; --level)
        json = widget("RectWidget", QString("r%1").arg(level)) + "," + widget("Group", "g", QString(), json);
    return json;
}

Catalogue adminCatalogue() { return Catalogue{&designfixtures::labModel(), designfixtures::labUser("admin")}; }

} // namespace

class TestDesignBuild : public QObject
{
    Q_OBJECT
private slots:
    void labDesign()
    {
        const DesignBuild b = buildDesign(labDesignFile(), adminCatalogue());
        QVERIFY(b.parsed);
        QCOMPARE(pageIdsOf(b.pages), (QStringList{"page-wall-a", "page-wall-b", "page-room"}));
        QCOMPARE(b.walls.size(), 2);
        QCOMPARE(b.walls[1].id + " " + b.walls[1].pageId, QStringLiteral("2 page-wall-b"));
        QCOMPARE(b.listeners.size(), 1);
        QCOMPARE(b.listeners[0].name, QStringLiteral("hall-level"));
        const DesignBuild cut = buildDesign(labDesignFile().left(4000), adminCatalogue());
        QVERIFY(!cut.parsed && cut.announcements.isEmpty() && cut.walls.isEmpty());
        QVERIFY(!buildLoginPage("[1,2]").found);
        const LoginPage login = buildLoginPage(labDesignFile());
        QVERIFY(login.found && login.items.parsed);
        QCOMPARE(login.designSize, QSize(1920, 1080));
        QCOMPARE(login.items.announcements.size(), 17);

        // The pages in the order checked above: page-wall-a's announcements start at 0.
        const QStringList all = sequence(b.announcements);
        const int room = all.indexOf("Page:page-room");
        // The wall's caption and toolbar come before the wall itself, the list after it.
        QCOMPARE(all.mid(9, 10), (QStringList{"TreeView:tree-wall-a", "Text:wall-a-caption", "Rect:wall-a-toolbar-bg",
                                                "Button:wall-a-bt_clear", "Button:wall-a-bt_refresh", "Button:wall-a-bt_preset",
                                                "Button:wall-a-bt_line", "Button:wall-a-bt_osd", "Screen:wall-a",
                                                "Preview:list-wall-a"}));
        QCOMPARE(all.indexOf("Page:page-wall-b"), 24);
        // The room's matrix is inside a group: its texts and buttons in design order.
        QCOMPARE(all.size() - room, 52);
        QCOMPARE(all.mid(all.indexOf("Text:matrix-out-2", room), 5),
                 (QStringList{"Text:matrix-out-2", "Button:matrix-2-1", "Button:matrix-2-2", "Button:matrix-2-3",
                              "Button:matrix-2-4"}));
    }
    void walk_data()
    {
        columns<QByteArray, QStringList, QStringList, QString>({"design", "pages", "sequence", "pageIds"});
        QTest::newRow("nested groups land on their page")
            << designWith(page("p", widget("Group", "g1", QString(),
                                           widget("Group", "g2", QString(), widget("RectWidget", "r1")) + ","
                                               + widget("TextWidget", "t1"))
                                        + "," + widget("RectWidget", "r0"))
                          + "," + page("q", widget("ButtonWidget", "b")))
            << QStringList{"p", "q"} << QStringList{"Page:p", "Rect:r1", "Text:t1", "Rect:r0", "Page:q", "Button:b"}
            << "ppppqq";
        QTest::newRow("every class")
            << designWith(page("p", QStringList{widget("RectWidget", "a"), widget("VideoWallWidget", "b"),
                                                widget("ButtonWidget", "c"), widget("TextWidget", "d"),
                                                widget("DateWidget", "e"), widget("SignalListWidget", "f"),
                                                widget("SliderWidget", "g"), widget("TreeWidget", "h"),
                                                widget("InputBoxWidget", "i"), widget("DataDockerWidget", "j"),
                                                widget("DataDockerWidget", "k", R"({"name":"dataDockerType","value":2})"),
                                                widget("WebBrowserWidget", "l"), widget("StackWidget", "m")}
                                        .join(",")))
            << QStringList{"p"}
            << QStringList{"Page:p",   "Rect:a",     "Screen:b",   "Button:c",  "Text:d",   "Date:e", "Preview:f",
                           "Slider:g", "TreeView:h", "InputBox:i", "Monitor:j", "Docker:k", "Web:l",  "Stack:m"}
            << "pppppppppppppp";
        // Hostile shapes: what can be read is built, the rest is skipped.
        QTest::newRow("wall with odd children")
            << designWith(page("p", widget("VideoWallWidget", "w",
                                           R"({"name":"presetMap","value":[5,{"name":"x","value":"y"}]},{"name":"row","value":"2"})",
                                           R"(5,{"class":"FormWidget","item":5},{"class":"FormWidget","item":[7,{"class":"TableCell"}]},)"
                                           R"({"class":"Group","item":[5,{"class":"Group"}]},{"class":"TextWidget","property":3})")))
            << QStringList{"p"} << QStringList{"Page:p", "Text:", "Screen:w"} << "ppp";
    }
    void walk()
    {
        QFETCH(QByteArray, design);
        QFETCH(QStringList, pages);
        QFETCH(QStringList, sequence);
        QFETCH(QString, pageIds); // one letter per announcement: its page's first letter
        const DesignBuild b = buildDesign(design, adminCatalogue());
        QVERIFY(b.parsed);
        QCOMPARE(pageIdsOf(b.pages), pages);
        QCOMPARE(::sequence(b.announcements), sequence);
        QString ids;
        for (const Announcement &a : b.announcements)
            ids.append(a.pageId.left(1));
        QCOMPARE(ids, pageIds);
    }

    void thousandGroups()
    {
        // Pages and the login page nested exactly to the bound and one level beyond build the same.
        for (int levels : {kMaxGroupDepth, kMaxGroupDepth + 1}) {
            QCOMPARE(buildDesign(designWith(page("p", nestedGroups(levels))), Catalogue()).announcements.size(), 1 + kMaxGroupDepth);
            QCOMPARE(buildLoginPage(designWith(QString(), nestedGroups(levels))).items.announcements.size(), kMaxGroupDepth);
        }
    }

    void chooseJuiFile_data()
    {
        columns<QStringList, double, int>({"names", "aspect", "expected"});
        const double wide = 16.0 / 9.0;
        const QStringList lab{"client0_1280_1024.jui", "client0_1920_1080.jui", "client0_1080_1920.jui"};
        QTest::newRow("lab offers") << lab << wide << 1;
        QTest::newRow("portrait screen") << lab << 9.0 / 16.0 << 2;
        QTest::newRow("malformed names skipped")
            << QStringList{"client.jui", "client0_x_y.jui", "client0_1920_0.jui", "client0_1920.jui", "client0_0_1080.jui",
                           "client0_-1920_1080.jui", "client0_inf_1.jui", "client0_1920_1080.txt", "device.json",
                           "client0_1080_1920.jui"}
            << wide << 9;
    }
    void chooseJuiFile()
    {
        QFETCH(QStringList, names);
        QFETCH(double, aspect);
        QTEST(kora::design::chooseJuiFile(names, aspect), "expected");
    }
};
KORA_TEST(TestDesignBuild)

namespace {
Announcement item(Target target, const QString &name) { return {target, QStringLiteral("p1"), {{"name", name}}}; }

// Everything the walk emits, as one line each.
struct Recorder {
    explicit Recorder(Announcer &announcer)
    {
        QObject::connect(&announcer, &Announcer::announce,
                         [this](const Announcement &a) { events.append(a.map.value("name").toString()); });
        QObject::connect(&announcer, &Announcer::allAnnounced, [this] { events.append("all"); });
        QObject::connect(&announcer, &Announcer::visibility, [this](const QJsonArray &names, bool visible) {
            events.append(names.at(0).toString() + (visible ? " shown" : " hidden"));
        });
        QObject::connect(&announcer, &Announcer::finished, [this] { events.append("finished"); });
    }
    QStringList events;
};

const QList<Announcement> kDesign{item(Target::Page, "page"), item(Target::Screen, "wall A"), item(Target::Button, "button"),
                                  item(Target::Screen, "wall B"), item(Target::Text, "text")};
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
        r.events.clear();
        announcer.start({item(Target::Page, "page"), item(Target::Screen, "wall")}, {});
        QCOMPARE(r.events, (QStringList{"page", "wall", "all", "finished"})); // no pause after the last wall
    }

    // A walk ended during a wall's pause announces nothing more, nor resumes in the next walk.
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
KORA_TEST(TestAnnouncer)

KORA_TEST_MAIN(QCoreApplication)
#include "tst_designbuild.moc"
