// The page walk, the dispatcher, the login page and the choice of the cached design file.
#include "design/designbuild.h"
#include "design/widgetbuilders.h"
#include "model/devicefile.h"
#include "support/testfiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

using namespace kora;
using namespace kora::design;

namespace {

QByteArray labDesignFile()
{
    return readFile(SAMPLE_DIR "/lab/client0_1920_1080.jui");
}

QString targetName(Target target)
{
    static const char *const names[] = {"Page",     "Rect",   "Screen",  "Button", "Text",  "Date",
                                        "Preview",  "Slider", "TreeView", "InputBox", "Docker", "Monitor",
                                        "Web",      "Stack",  "LoginButton", "LoginInputBox"};
    return QString::fromLatin1(names[int(target)]);
}

// "Target:name" per announcement: pages by their id, widgets by their objectName.
QStringList sequence(const QList<Announcement> &announcements)
{
    QStringList out;
    for (const Announcement &a : announcements) {
        const QString name = a.target == Target::Page ? a.map.value("pageId").toString()
                                                      : a.map.value("objectName").toString();
        out.append(targetName(a.target) + ":" + name);
    }
    return out;
}

QStringList pageIdsOf(const QList<PageRecord> &pages)
{
    QStringList ids;
    for (const PageRecord &p : pages)
        ids.append(p.id);
    return ids;
}

// The announcements from the Page announcement of `pageId` up to the next page.
QList<Announcement> pageAnnouncements(const DesignBuild &build, const QString &pageId)
{
    QList<Announcement> out;
    bool inside = false;
    for (const Announcement &a : build.announcements) {
        if (a.target == Target::Page)
            inside = a.pageId == pageId;
        if (inside)
            out.append(a);
    }
    return out;
}

// A design whose first page is a placeholder login page and whose other pages are given.
QByteArray designWith(const QString &pagesJson)
{
    return QString(R"({"version":"1.14.8.0928","ui":{"item":[
        {"class":"Page","property":[{"name":"uuid","value":"login"},{"name":"label","value":"LoginPage"}],"item":[]}%1]}})")
        .arg(pagesJson.isEmpty() ? QString() : "," + pagesJson)
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

const DeviceModel &labModel()
{
    static const DeviceModel model = [] {
        DeviceModel m;
        parseDeviceFile(readFile(SAMPLE_DIR "/lab/device.json"), m, nullptr);
        return m;
    }();
    return model;
}

Catalogue adminCatalogue()
{
    return Catalogue{&labModel(), labModel().users.empty() ? nullptr : &labModel().users.front()};
}

QStringList repeated(const QString &text, int times)
{
    QStringList list;
    for (int i = 0; i < times; ++i)
        list.append(text);
    return list;
}

bool nothingBuilt(const DesignBuild &b)
{
    return b.announcements.isEmpty() && b.pages.isEmpty() && b.walls.isEmpty() && b.visibilitySets.isEmpty()
        && b.listeners.isEmpty();
}

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
        for (const PageRecord &p : b.pages)
            QVERIFY(p.name.isEmpty());
        QStringList pageAnnouncements;
        for (const Announcement &a : b.announcements) {
            if (a.target == Target::Page)
                pageAnnouncements.append(a.pageId);
        }
        QCOMPARE(pageAnnouncements, pageIdsOf(b.pages));
        QCOMPARE(b.announcements.first().target, Target::Page);
        QCOMPARE(b.walls.size(), 2);
        QCOMPARE(b.walls[0].pageId, QStringLiteral("page-wall-a"));
        QCOMPARE(b.walls[1].pageId, QStringLiteral("page-wall-b"));
        QCOMPARE(b.walls[1].id, QStringLiteral("2"));
        QCOMPARE(b.listeners.size(), 1);
        QCOMPARE(b.listeners[0].name, QStringLiteral("hall-level"));
        QVERIFY(b.visibilitySets.isEmpty());
        for (const Announcement &a : b.announcements)
            QVERIFY2(a.pageId != kLoginPageId && a.pageId != "page-login", qPrintable(a.pageId));
    }

    void pageOrder_data()
    {
        QTest::addColumn<QString>("pageId");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("wall a") << "page-wall-a"
                                << QStringList{"Page:page-wall-a", "Rect:page-wall-a-header", "Text:page-wall-a-title",
                                               "Button:page-wall-a-nav-page-wall-a", "Button:page-wall-a-nav-page-wall-b",
                                               "Button:page-wall-a-nav-page-room", "Date:page-wall-a-clock",
                                               "Button:page-wall-a-logout", "InputBox:search-wall-a", "TreeView:tree-wall-a",
                                               "Text:wall-a-caption", "Rect:wall-a-toolbar-bg", "Button:wall-a-bt_clear",
                                               "Button:wall-a-bt_refresh", "Button:wall-a-bt_preset", "Button:wall-a-bt_line",
                                               "Button:wall-a-bt_osd", "Screen:wall-a", "Preview:list-wall-a",
                                               "Button:wall-a-dock-1", "Button:wall-a-dock-2", "Button:wall-a-dock-3",
                                               "Button:wall-a-clear", "Button:wall-a-subtitle"};
        QStringList room{"Page:page-room", "Rect:page-room-header", "Text:page-room-title",
                         "Button:page-room-nav-page-wall-a", "Button:page-room-nav-page-wall-b",
                         "Button:page-room-nav-page-room", "Date:page-room-clock", "Button:page-room-logout",
                         "Rect:room-av-bg", "Text:room-av-title", "Button:proj-on", "Button:proj-off", "Button:screen-down",
                         "Button:screen-up", "Button:lights", "Button:blinds", "Button:room-all-off", "Rect:room-audio-bg",
                         "Text:room-audio-title", "Text:volume-caption", "Slider:volume", "Text:gain-caption",
                         "Slider:mic-gain", "Docker:hall-level", "Button:mute", "Rect:matrix-bg", "Text:matrix-title"};
        for (int i = 1; i <= 4; ++i)
            room << QString("Text:matrix-in-%1").arg(i);
        for (int out = 1; out <= 4; ++out) {
            room << QString("Text:matrix-out-%1").arg(out);
            for (int in = 1; in <= 4; ++in)
                room << QString("Button:matrix-%1-%2").arg(out).arg(in);
        }
        room << "Button:matrix-clear";
        QTest::newRow("room, its matrix inside a group") << "page-room" << room;
    }
    void pageOrder()
    {
        QFETCH(QString, pageId);
        QFETCH(QStringList, expected);
        const QList<Announcement> announcements = pageAnnouncements(buildDesign(labDesignFile(), adminCatalogue()), pageId);
        QCOMPARE(sequence(announcements), expected);
        for (const Announcement &a : announcements)
            QCOMPARE(a.pageId, pageId);
    }

    void pageMap_data()
    {
        QTest::addColumn<QByteArray>("design");
        QTest::addColumn<QString>("pageId");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("expected"); // invalid: the key is absent
        const QByteArray lab = labDesignFile();
        const QString a = "page-wall-a";
        QTest::newRow("pageId") << lab << a << "pageId" << QVariant(QString("page-wall-a"));
        QTest::newRow("objectName") << lab << a << "objectName" << QVariant(QString("Wall A"));
        QTest::newRow("bkPic") << lab << a << "bkPic" << QVariant(QString("./image/bg_main.png"));
        QTest::newRow("isNoFilled") << lab << a << "isNoFilled" << QVariant(false);
        QTest::newRow("isMonoFilled") << lab << a << "isMonoFilled" << QVariant(false);
        QTest::newRow("clr") << lab << a << "clr" << QVariant(QString("#0b1e33"));
        QTest::newRow("isGradientFilled") << lab << a << "isGradientFilled" << QVariant(false);
        QTest::newRow("gradientType") << lab << a << "gradientType" << QVariant(0);
        QTest::newRow("gradientColor")
            << lab << a << "gradientColor"
            << QVariant(QVariantList{QVariantMap{{"QColor", "#0b1e33"}, {"qreal", 0.0}},
                                     QVariantMap{{"QColor", "#000000"}, {"qreal", 1.0}}});
        QTest::newRow("isImageFilled") << lab << a << "isImageFilled" << QVariant(true);
        QTest::newRow("isGlobalPage") << lab << a << "isGlobalPage" << QVariant(false);
        QTest::newRow("trans") << lab << a << "trans" << QVariant(100);
        for (const char *key : {"uuid", "label", "resolution", "imageFile", "monoColor", "opacity", "enableImageCrop",
                                "imageFilledMode", "isAntialiasing", "globalPos"})
            QTest::newRow(qPrintable(QString("no ") + key)) << lab << a << key << QVariant();
        const QByteArray global = designWith(
            R"({"class":"Page","property":[{"name":"uuid","value":"g"},{"name":"isGlobalPage","value":true},
                {"name":"opacity","value":40},{"name":"opacity","value":60}]})");
        QTest::newRow("global page") << global << "g" << "isGlobalPage" << QVariant(true);
        QTest::newRow("later property wins") << global << "g" << "trans" << QVariant(60);
        QTest::newRow("absent fill") << global << "g" << "isMonoFilled" << QVariant();
    }
    void pageMap()
    {
        QFETCH(QByteArray, design);
        QFETCH(QString, pageId);
        QFETCH(QString, key);
        QFETCH(QVariant, expected);
        const QList<Announcement> announcements = pageAnnouncements(buildDesign(design, Catalogue()), pageId);
        QVERIFY(!announcements.isEmpty());
        const QVariantMap map = announcements.first().map;
        if (!expected.isValid()) {
            QVERIFY2(!map.contains(key), qPrintable(map.value(key).toString()));
            return;
        }
        QVERIFY(map.contains(key));
        QCOMPARE(map.value(key).userType(), expected.userType());
        QCOMPARE(map.value(key), expected);
    }

    void pageWithoutUuid()
    {
        const DesignBuild b = buildDesign(
            designWith(R"({"class":"Page","property":[{"name":"objectName","value":"Anon"}],"item":[)"
                       + widget("RectWidget", "r") + "]}"),
            Catalogue());
        QCOMPARE(b.pages.size(), 1);
        QCOMPARE(b.pages[0].id, QString());
        QCOMPARE(sequence(b.announcements), (QStringList{"Page:", "Rect:r"}));
        QVERIFY(!b.announcements[0].map.contains("pageId"));
        QCOMPARE(b.announcements[1].pageId, QString());
    }

    void onlyLoginPage()
    {
        const DesignBuild b = buildDesign(designWith(QString()), Catalogue());
        QVERIFY(b.parsed);
        QVERIFY(nothingBuilt(b));
    }

    void walk_data()
    {
        QTest::addColumn<QByteArray>("design");
        QTest::addColumn<QStringList>("pages");
        QTest::addColumn<QStringList>("sequence");
        QTest::addColumn<QStringList>("widgetPageIds");
        QTest::newRow("nested groups land on their page")
            << designWith(page("p", widget("Group", "g1", QString(),
                                           widget("Group", "g2", QString(), widget("RectWidget", "r1")) + ","
                                               + widget("TextWidget", "t1"))
                                        + "," + widget("RectWidget", "r0"))
                          + "," + page("q", widget("ButtonWidget", "b")))
            << QStringList{"p", "q"} << QStringList{"Page:p", "Rect:r1", "Text:t1", "Rect:r0", "Page:q", "Button:b"}
            << QStringList{"p", "p", "p", "q"};
        QTest::newRow("pop-up page built like a page")
            << designWith(page("pop", widget("ButtonWidget", "b"), "PopUpPage"))
            << QStringList{"pop"} << QStringList{"Page:pop", "Button:b"} << QStringList{"pop"};
        QTest::newRow("any page class")
            << designWith(page("odd", widget("TextWidget", "t"), "Whatever"))
            << QStringList{"odd"} << QStringList{"Page:odd", "Text:t"} << QStringList{"odd"};
        QTest::newRow("children of other classes are left to their builders")
            << designWith(page("p", widget("FormWidget", "f", QString(), widget("RectWidget", "hidden")) + ","
                                        + widget("TableCell", "c") + "," + widget("LoginWidget", "l") + ","
                                        + widget("DataDocker", "d") + "," + widget("RectWidget", "r")))
            << QStringList{"p"} << QStringList{"Page:p", "Rect:r"} << QStringList{"p"};
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
            << QStringList{"Page:p",     "Rect:a",    "Screen:b",  "Button:c",   "Text:d",  "Date:e",    "Preview:f",
                           "Slider:g",   "TreeView:h", "InputBox:i", "Monitor:j", "Docker:k", "Web:l", "Stack:m"}
            << repeated("p", 13);
    }
    void walk()
    {
        QFETCH(QByteArray, design);
        QFETCH(QStringList, pages);
        QFETCH(QStringList, sequence);
        QFETCH(QStringList, widgetPageIds);
        const DesignBuild b = buildDesign(design, Catalogue());
        QVERIFY(b.parsed);
        QCOMPARE(pageIdsOf(b.pages), pages);
        QCOMPARE(::sequence(b.announcements), sequence);
        QStringList ids;
        for (const Announcement &a : b.announcements) {
            if (a.target != Target::Page)
                ids.append(a.pageId);
        }
        QCOMPARE(ids, widgetPageIds);
    }

    void visibilitySets()
    {
        const QString stack = widget("StackWidget", "s", R"({"name":"pages","value":[["a"],["b","c"],["d"]]})");
        const QString list = widget("SignalListWidget", "l", R"({"name":"pages","value":[["x"],["y"]]})");
        const QString docker = widget("DataDockerWidget", "d",
                                      R"({"name":"dataDockerType","value":2},{"name":"pages","value":[["m"]]})");
        const QString noSet = widget("StackWidget", "empty", R"({"name":"pages","value":[]})");
        const DesignBuild b = buildDesign(designWith(page("p", QStringList{stack, noSet, list, docker}.join(","))), Catalogue());
        QCOMPARE(b.visibilitySets.size(), 3);
        QCOMPARE(b.visibilitySets[0],
                 (QList<QJsonArray>{QJsonArray{"a"}, QJsonArray{"b", "c"}, QJsonArray{"d"}}));
        QCOMPARE(b.visibilitySets[1], (QList<QJsonArray>{QJsonArray{"x"}, QJsonArray{"y"}}));
        QCOMPARE(b.visibilitySets[2], (QList<QJsonArray>{QJsonArray{"m"}}));
        QCOMPARE(b.listeners.size(), 1);
        QCOMPARE(b.listeners[0].name, QStringLiteral("d"));
    }

    void parseError_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("truncated") << labDesignFile().left(4000);
        QTest::newRow("garbage") << QByteArray("not a design");
        QTest::newRow("array") << QByteArray("[1,2]");
        QTest::newRow("text") << QByteArray("\"client0\"");
        QTest::newRow("binary") << QByteArray("\x00\xff{\"ui\":", 8);
    }
    void parseError()
    {
        QFETCH(QByteArray, data);
        const DesignBuild b = buildDesign(data, adminCatalogue());
        QVERIFY(!b.parsed);
        QVERIFY(nothingBuilt(b));
        const LoginPage login = buildLoginPage(data);
        QVERIFY(!login.found);
        QVERIFY(!login.items.parsed);
        QVERIFY(login.look.isEmpty());
        QVERIFY(nothingBuilt(login.items));
    }

    void hostileShapes_data()
    {
        QTest::addColumn<QByteArray>("design");
        QTest::addColumn<QStringList>("pages");
        QTest::addColumn<QStringList>("sequence");
        const QString rect = widget("RectWidget", "r");
        QTest::newRow("ui not an object") << QByteArray(R"({"ui":5})") << QStringList() << QStringList();
        QTest::newRow("pages not an array") << QByteArray(R"({"ui":{"item":{"class":"Page"}}})") << QStringList()
                                            << QStringList();
        QTest::newRow("non-object pages") << designWith("5,\"x\",null,[]," + page("p", rect)) << QStringList{"p"}
                                          << QStringList{"Page:p", "Rect:r"};
        QTest::newRow("item not an array")
            << designWith(R"({"class":"Page","property":[{"name":"uuid","value":"p"}],"item":{"class":"RectWidget"}})")
            << QStringList{"p"} << QStringList{"Page:p"};
        QTest::newRow("property not an array")
            << designWith(R"({"class":"Page","property":{"uuid":"p"},"item":[)" + rect + "]}") << QStringList{""}
            << QStringList{"Page:", "Rect:r"};
        QTest::newRow("odd property entries")
            << designWith(R"({"class":"Page","property":[5,"x",null,{"name":7},{"value":"v"},{"name":"uuid","value":"p"}]})")
            << QStringList{"p"} << QStringList{"Page:p"};
        QTest::newRow("non-object widgets") << designWith(page("p", "5,\"x\",[],null,{\"class\":5}," + rect))
                                            << QStringList{"p"} << QStringList{"Page:p", "Rect:r"};
        QTest::newRow("wall with odd children")
            << designWith(page("p", widget("VideoWallWidget", "w",
                                           R"({"name":"presetMap","value":[5,{"name":"x","value":"y"}]},{"name":"row","value":"2"})",
                                           R"(5,{"class":"FormWidget","item":5},{"class":"FormWidget","item":[7,{"class":"TableCell"}]},)"
                                           R"({"class":"Group","item":[5,{"class":"Group"}]},{"class":"TextWidget","property":3})")))
            << QStringList{"p"} << QStringList{"Page:p", "Text:", "Screen:w"};
        QTest::newRow("odd composite values")
            << designWith(page("p", QStringList{widget("TreeWidget", "t", R"({"name":"topGroupNames","value":"x"})"),
                                                widget("DataDockerWidget", "d",
                                                       R"({"name":"dataDockerType","value":2},{"name":"eventAttrList","value":[7]})"),
                                                widget("SliderWidget", "s", QString(), "5,[]"),
                                                widget("SignalListWidget", "l", R"({"name":"pages","value":[5,[6]]})")}
                                        .join(",")))
            << QStringList{"p"} << QStringList{"Page:p", "TreeView:t", "Docker:d", "Slider:s", "Preview:l"};
    }
    void hostileShapes()
    {
        QFETCH(QByteArray, design);
        QFETCH(QStringList, pages);
        QFETCH(QStringList, sequence);
        const DesignBuild b = buildDesign(design, adminCatalogue());
        QVERIFY(b.parsed);
        QCOMPARE(pageIdsOf(b.pages), pages);
        QCOMPARE(::sequence(b.announcements), sequence);
    }

    void deepGroups_data()
    {
        QTest::addColumn<int>("levels");
        QTest::addColumn<int>("rectangles");
        QTest::newRow("within the bound") << 10 << 10;
        QTest::newRow("exactly the bound") << kMaxGroupDepth << kMaxGroupDepth;
        QTest::newRow("one beyond the bound") << kMaxGroupDepth + 1 << kMaxGroupDepth;
        QTest::newRow("far beyond the bound") << 100 << kMaxGroupDepth;
    }
    void deepGroups()
    {
        QFETCH(int, levels);
        QFETCH(int, rectangles);
        const int expected = rectangles;
        const DesignBuild b = buildDesign(designWith(page("p", nestedGroups(levels))), Catalogue());
        QVERIFY(b.parsed);
        QCOMPARE(b.announcements.size(), 1 + expected);
        for (int i = 1; i <= expected; ++i)
            QCOMPARE(b.announcements[i].map.value("objectName").toString(), QString("r%1").arg(i - 1));

        QByteArray login = designWith(QString()).replace(R"("item":[]})", QString("\"item\":[" + nestedGroups(levels) + "]}").toUtf8());
        const LoginPage page = buildLoginPage(login);
        QVERIFY(page.found);
        QCOMPARE(page.items.announcements.size(), expected);
    }

    void thousandGroups()
    {
        // In memory, where no parser limits the nesting.
        QJsonObject node{{"class", "RectWidget"}, {"property", QJsonArray{QJsonObject{{"name", "uuid"}, {"value", "deepest"}}}}};
        for (int level = 0; level < 1000; ++level)
            node = QJsonObject{{"class", "Group"}, {"item", QJsonArray{QJsonObject{{"class", "RectWidget"}}, node}}};
        DesignBuild out;
        dispatchWidgets(QJsonArray{node}, "p", Catalogue(), out);
        QCOMPARE(out.announcements.size(), kMaxGroupDepth - 1);

        // As a file: whether the parser takes it or not, nothing beyond the bound is built.
        const QByteArray file = designWith(page("p", nestedGroups(1000)));
        const DesignBuild b = buildDesign(file, Catalogue());
        QVERIFY(b.announcements.size() <= kMaxGroupDepth);
        const LoginPage login = buildLoginPage(file);
        QVERIFY(login.items.announcements.size() <= kMaxGroupDepth);
    }

    void loginPage()
    {
        const LoginPage login = buildLoginPage(labDesignFile());
        QVERIFY(login.found);
        QVERIFY(login.items.parsed);
        const QVariantMap look{
            {"bkPic", "./image/login_bg.png"},
            {"isMonoFilled", false},
            {"monoColor", "#0b1e33"},
            {"isGradientFilled", false},
            {"gradientType", 0},
            {"gradientColor", QVariantList{QVariantMap{{"QColor", "#0b1e33"}, {"qreal", 0.0}},
                                           QVariantMap{{"QColor", "#02060b"}, {"qreal", 1.0}}}}};
        QCOMPARE(login.look, look);
        QCOMPARE(login.designSize, QSize(1920, 1080));

        QStringList inputBoxes;
        QStringList buttons;
        for (const Announcement &a : login.items.announcements) {
            QCOMPARE(a.pageId, kLoginPageId);
            if (a.target == Target::LoginInputBox)
                inputBoxes.append(a.map.value("label").toString());
            if (a.target == Target::LoginButton)
                buttons.append(a.map.value("label").toString());
        }
        QCOMPARE(inputBoxes, (QStringList{"UserInputBox", "PasswordInputBox", "HostIPInputBox", "ServerIPInputBox",
                                          "DownloadInputBox"}));
        QCOMPARE(buttons, (QStringList{"RememberBtn", "YesBtn", "QuitBtn"}));
        QCOMPARE(sequence(login.items.announcements),
                 (QStringList{"Rect:login-box", "Text:login-title", "Text:login-cap-0", "LoginInputBox:login-UserInputBox",
                              "Text:login-cap-1", "LoginInputBox:login-PasswordInputBox", "Text:login-cap-2",
                              "LoginInputBox:login-HostIPInputBox", "Text:login-cap-3",
                              "LoginInputBox:login-ServerIPInputBox", "Text:login-cap-4",
                              "LoginInputBox:login-DownloadInputBox", "LoginButton:login-remember", "LoginButton:login-yes",
                              "LoginButton:login-quit", "Text:login-footer", "Rect:login-logo"}));
        // Built by the same builders as the pages' widgets.
        QCOMPARE(login.items.announcements[5].map.value("isPasswdMode"), QVariant(true));
        QCOMPARE(login.items.announcements[5].map.value("textMap").toMap().value("textSize").userType(), int(QMetaType::Int));
    }

    void serverAddressBox_data()
    {
        QTest::addColumn<QString>("hasServerDevice"); // JSON value, empty: absent
        QTest::addColumn<bool>("boxVisible");
        QTest::addColumn<bool>("expected");
        QTest::newRow("server device, box hidden in the design") << "true" << false << true;
        QTest::newRow("no server device") << "false" << true << false;
        QTest::newRow("not said") << "" << true << false;
        QTest::newRow("not a bool") << "\"yes\"" << true << false;
    }
    void serverAddressBox()
    {
        QFETCH(QString, hasServerDevice);
        QFETCH(bool, boxVisible);
        QFETCH(bool, expected);
        const QString visible = QString(R"({"name":"enableVisible","value":%1})").arg(boxVisible ? "true" : "false");
        const QString boxes = widget("InputBoxWidget", "server", R"({"name":"label","value":"ServerIPInputBox"},)" + visible)
            + "," + widget("InputBoxWidget", "user", R"({"name":"label","value":"UserInputBox"},)" + visible);
        const QString loginWidget = widget(
            "LoginWidget", "lw",
            hasServerDevice.isEmpty() ? QString() : QString(R"({"name":"hasServerDevice","value":%1})").arg(hasServerDevice),
            boxes);
        const QByteArray design = QString(R"({"ui":{"item":[{"class":"Page","property":[{"name":"label","value":"LoginPage"}],"item":[%1]}]}})")
                                      .arg(loginWidget)
                                      .toUtf8();
        const LoginPage login = buildLoginPage(design);
        QCOMPARE(sequence(login.items.announcements), (QStringList{"LoginInputBox:server", "LoginInputBox:user"}));
        QCOMPARE(login.items.announcements[0].map.value("enableVisible"), QVariant(expected));
        QCOMPARE(login.items.announcements[1].map.value("enableVisible"), QVariant(boxVisible));
    }

    void loginPagePlace_data()
    {
        QTest::addColumn<QByteArray>("design");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QSize>("designSize");
        QTest::newRow("no page labelled LoginPage")
            << QByteArray(R"({"ui":{"item":[{"class":"Page","property":[{"name":"label","value":"Wall"}]}]}})") << false
            << QSize();
        QTest::newRow("login page not first")
            << QByteArray(R"({"ui":{"item":[{"class":"Page"},{"class":"Page","property":[{"name":"label","value":"LoginPage"},
                {"name":"resolution","value":{"width":1080,"height":1920}}]}]}})")
            << true << QSize(1080, 1920);
        QTest::newRow("resolution not an object")
            << QByteArray(R"({"ui":{"item":[{"class":"Page","property":[{"name":"label","value":"LoginPage"},
                {"name":"resolution","value":"1920x1080"}]}]}})")
            << true << QSize();
        QTest::newRow("no pages") << QByteArray(R"({"version":"1"})") << false << QSize();
    }
    void loginPagePlace()
    {
        QFETCH(QByteArray, design);
        QFETCH(bool, found);
        QFETCH(QSize, designSize);
        const LoginPage login = buildLoginPage(design);
        QVERIFY(login.items.parsed);
        QCOMPARE(login.found, found);
        QCOMPARE(login.designSize, designSize);
        if (!found)
            QVERIFY(login.look.isEmpty());
    }

    void chooseJuiFile_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<double>("aspect");
        QTest::addColumn<int>("expected");
        const double wide = 16.0 / 9.0;
        QTest::newRow("landscape screen, portrait first")
            << QStringList{"client0_1080_1920.jui", "client0_1920_1080.jui"} << wide << 1;
        QTest::newRow("landscape screen, landscape first")
            << QStringList{"client0_1920_1080.jui", "client0_1080_1920.jui"} << wide << 0;
        QTest::newRow("lab offers")
            << QStringList{"client0_1280_1024.jui", "client0_1920_1080.jui", "client0_1080_1920.jui"} << wide << 1;
        QTest::newRow("portrait screen")
            << QStringList{"client0_1280_1024.jui", "client0_1920_1080.jui", "client0_1080_1920.jui"} << 9.0 / 16.0 << 2;
        QTest::newRow("5:4 screen")
            << QStringList{"client0_1920_1080.jui", "client0_1280_1024.jui"} << 1.25 << 1;
        QTest::newRow("tie keeps the first") << QStringList{"client0_1920_1080.jui", "client0_1280_720.jui"} << wide << 0;
        QTest::newRow("tie of the same size") << QStringList{"client1_1920_1080.jui", "client0_1920_1080.jui"} << wide << 0;
        QTest::newRow("malformed names skipped")
            << QStringList{"client.jui", "client0_x_y.jui", "client0_1920_0.jui", "client0_1920.jui", "client0_0_1080.jui",
                           "client0_-1920_1080.jui", "client0_inf_1.jui", "client0_1920_1080.txt", "device.json",
                           "client0_1080_1920.jui"}
            << wide << 9;
        QTest::newRow("fractional size") << QStringList{"client0_1080_1920.jui", "client0_1777.5_1000.jui"} << wide << 1;
        QTest::newRow("only malformed") << QStringList{"client.jui", "client0_1920_0.jui"} << wide << -1;
        QTest::newRow("none") << QStringList() << wide << -1;
    }
    void chooseJuiFile()
    {
        QFETCH(QStringList, names);
        QFETCH(double, aspect);
        QFETCH(int, expected);
        QCOMPARE(kora::design::chooseJuiFile(names, aspect), expected);
    }
};

QTEST_GUILESS_MAIN(TestDesignBuild)
#include "tst_designbuild.moc"
