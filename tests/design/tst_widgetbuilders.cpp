// A row: builder, node (lab design uuid or inline), path into the built map ("a/0/b", "#" the
// size) and the value there, compared with its type; no value: the path is absent.
#include "design/widgetbuilders.h"
#include "support/design.h"
#include "support/testmain.h"

using namespace kora;
using namespace kora::design;
using designfixtures::labModel;

namespace {

QJsonObject findNode(const QJsonObject &node, const QString &uuid)
{
    if (propertyValue(node, "uuid").toString() == uuid)
        return node;
    for (const QJsonValue &item : node.value("item").toArray()) {
        const QJsonObject found = findNode(item.toObject(), uuid);
        if (!found.isEmpty())
            return found;
    }
    return QJsonObject();
}

QJsonObject nodeFrom(const QString &source)
{
    if (source.startsWith('{'))
        return designfixtures::designNode(QJsonDocument::fromJson(source.toUtf8()).object());
    static const QJsonObject lab{
        {"item", QJsonDocument::fromJson(designfixtures::labDesignFile()).object().value("ui").toObject().value("item")}};
    return findNode(lab, source);
}

// The built map, with what the builder gives besides it under keys starting with "@".
QVariantMap buildView(const QString &builder, const QJsonObject &node)
{
    static const QHash<QString, QVariantMap (*)(const QJsonObject &)> plain{
        {"button", buildButton},     {"rect", buildRect},     {"text", buildText},
        {"inputBox", buildInputBox}, {"slider", buildSlider}, {"page", buildPageMap}};
    if (plain.contains(builder))
        return plain.value(builder)(node);
    if (builder == "signalList" || builder == "stack") {
        QList<QJsonArray> set;
        QVariantMap map = builder == "stack" ? buildStack(node, &set) : buildSignalList(node, &set);
        QJsonArray view;
        for (const QJsonArray &names : set)
            view.append(names);
        map.insert("@visibility", view.toVariantList());
        return map;
    }
    if (builder.startsWith("tree:"))
        return buildTreeView(node, Catalogue{&labModel(), designfixtures::labUser(builder.mid(5))});
    if (builder == "docker") {
        const DataDockerBuild docker = buildDataDocker(node);
        QVariantMap map = docker.map;
        map.insert("@docker", docker.target == Target::Docker);
        if (docker.listener)
            map.insert("@listener", QVariantMap{{"send", docker.listener->send}, {"recv", docker.listener->recv}});
        return map;
    }
    DesignBuild out;
    buildVideoWall(node, "page-x", out);
    QVariantMap map = out.announcements.last().map;
    map.insert("@announcements", designfixtures::sequence(out.announcements));
    QVariantList maps, docks;
    for (const Announcement &a : out.announcements)
        maps.append(a.map);
    map.insert("@announcement", maps);
    const WallRecord &wall = out.walls.last();
    for (const DockPreset &dock : wall.docks) {
        QVariantList windows{dock.name};
        for (const DockWindow &w : dock.windows)
            windows.append(QVariant(QVariantList{w.rect, w.chn, w.audio}));
        docks.append(QVariant(windows));
    }
    map.insert("@record", QVariantMap{{"layouts", QVariantList{wall.freeLayout, wall.fullScreen}},
                                      {"decoders", wall.decoderAddresses},
                                      {"cell3", wall.cellRects.value(3)},
                                      {"docks", docks}});
    return map;
}

bool lookUp(QVariant value, const QString &path, QVariant *result)
{
    for (const QString &segment : path.split('/')) {
        const bool isList = value.userType() == QMetaType::QVariantList || value.userType() == QMetaType::QStringList;
        const bool isMap = value.userType() == QMetaType::QVariantMap;
        if (segment == "#" && (isList || isMap))
            value = isList ? value.toList().size() : value.toMap().size();
        else if (isMap && value.toMap().contains(segment))
            value = value.toMap().value(segment);
        else if (isList && segment.toInt() >= 0 && segment.toInt() < value.toList().size())
            value = value.toList().at(segment.toInt());
        else
            return false;
    }
    *result = value;
    return true;
}

// QDebug names the type of every value, nested ones too.
QString typed(const QVariant &value)
{
    QString out;
    QDebug(&out) << value;
    return out;
}

QVariantMap states(const QVariant &normal, const QVariant &hover, const QVariant &pressed)
{
    return {{"normal", normal}, {"hover", hover}, {"pressed", pressed}};
}
QVariantMap stop(const QString &colour, double position) { return {{"QColor", colour}, {"qreal", position}}; }
QVariantMap area(int x, int y, int w, int h, const QString &audio)
{
    return {{"x", x}, {"y", y}, {"width", w}, {"height", h}, {"audio", audio}, {"chn", 0}};
}
QVariantMap member(const QString &text, int index, int type)
{
    return {{"text", text}, {"isoption", false}, {"index", index}, {"type", type}};
}

void row(const QString &builder, const QString &source, const QString &path, const QVariant &expected = {})
{
    const QString name = source.startsWith('{') ? source.mid(source.indexOf("\"p\""), 24) : source;
    QTest::newRow(qPrintable(name + " " + path)) << builder << source << path << expected;
}

const char *const kTwoStateButton = R"({"class":"ButtonWidget","p":[["text",{"normal":"A","pressed":"B","other":"C"}]]})";
const char *const kRepeatedButton = R"({"class":"ButtonWidget","p":[["label","first"],
    ["sWidgetGeometry",{"x":1,"y":2,"width":3,"height":4}],["label","second"],["sWidgetGeometry",7]]})";
const char *const kWrongTypes = R"({"class":"ButtonWidget","p":[["textSize","big"],["autoLift","yes"],["eventAttrList",{"a":1}],
    ["text","plain"]]})";
const char *const kStopsRect = R"({"class":"RectWidget","p":[["gradientColor",[5,{"QColor":"#ffffff","qreal":0.5},{"qreal":1}]]]})";
// A 2 x 2 wall whose cells are listed out of order, with presets of every kind: flag bit 2
// wins over bit 4, a preset of two parts is skipped, runs of spaces separate like one.
const char *const kWall2x2 = R"json({"class":"VideoWallWidget","p":[["uuid","w"],["panelID","7"],["row",2],["column",2],
    ["presetMap",[{"name":"Preset 1","value":["0,0 960,540 6 192.168.1.20(0)","0,0 960,540","  960,0   960,540 4 10.0.0.5(2)"]},
                  {"name":"audio_normal","value":["0,0 1920,1080 0 192.168.1.21(1)"]}]]],
  "item":[{"class":"FormWidget","item":[
    {"class":"TableCell","p":[["cellPos",{"x":1,"y":1}],["virtualPos",{"x":960,"y":540}],["virtualRes",{"width":960,"height":540}],["deviceID","d3"]]},
    {"class":"TableCell","p":[["cellPos",{"x":0,"y":0}],["deviceID","d0"]]},
    {"class":"TableCell","p":[["cellPos",{"x":1,"y":0}],["deviceID","d1"]]},
    {"class":"TableCell","p":[["cellPos",{"x":0,"y":1}],["deviceID","d2"]]}]}]})json";
// Cells outside the grid (or absurdly far away) never reach the decoder list.
const char *const kWallStrayCells = R"({"class":"VideoWallWidget","p":[["panelID","8"],["row",2],["column",2]],
  "item":[{"class":"FormWidget","item":[{"class":"TableCell","p":[["cellPos",{"x":5,"y":0}],["deviceID","far right"]]},
    {"class":"TableCell","p":[["cellPos",{"x":0,"y":1000000000}],["deviceID","far down"]]},
    {"class":"TableCell","p":[["cellPos",{"x":-1,"y":0}],["deviceID","left"]]},
    {"class":"TableCell","p":[["cellPos",{"x":1,"y":1}],["deviceID","ok"]]}]}]})";
// A grid this wide once looped the window's thread for each column.
const char *const kWallHugeGrid = R"({"class":"VideoWallWidget","p":[["panelID","11"],["column",2147483647],["row",3]]})";
const char *const kWallNoGrid = R"({"class":"VideoWallWidget","p":[["panelID","9"]],"item":[{"class":"FormWidget","item":[
    {"class":"TableCell","p":[["cellPos",{"x":3,"y":0}],["deviceID","x"]]},
    {"class":"TableCell","p":[["cellPos",{"x":5000,"y":0}],["deviceID","beyond"]]}]}]})";
// A toolbar hidden as a whole: its buttons follow the group, not their own setting.
const char *const kWallToolbar = R"({"class":"VideoWallWidget","p":[["uuid","wt"],["panelID","5"]],
  "item":[{"class":"Group","p":[["enableVisible",false]],"item":[{"class":"RectWidget","p":[["uuid","bg"]]},
      {"class":"ButtonWidget","p":[["uuid","btn"],["enableVisible",true]]},{"class":"TextWidget","p":[["uuid","no"]]}]},
    {"class":"TextWidget","p":[["uuid","cap"]]}]})";
const char *const kListDirection1 = R"({"class":"SignalListWidget","p":[["direction",1],["pages",[["a","b"],["c"],"junk"]]],
  "item":[{"class":"ButtonWidget","p":[["sWidgetGeometry",{"x":0,"y":0,"width":12,"height":300}]]}]})";
const char *const kDockerType0 = R"({"class":"DataDockerWidget","p":[["dataDockerType",0],["eventAttrList",[{"delay":500}]]]})";
const char *const kStack = R"({"class":"StackWidget","p":[["pages",[["a"],["b","c"]]]]})";

} // namespace

class TestWidgetBuilders : public QObject
{
    Q_OBJECT
private slots:
    void builders_data()
    {
        columns<QString, QString, QString, QVariant>({"builder", "source", "path", "expected"});
        const QString b = "button";
        row(b, "proj-on", "globalPos", QRect(70, 200, 260, 70));
        row(b, "proj-on", "bkPic", states("./image/btn_normal.png", "./image/btn_normal.png", "./image/btn_pressed.png"));
        row(b, "proj-on", "gradientColor/hover", QVariantList{stop("#1c3d5e", 0.0), stop("#2f7fc1", 1.0)});
        // Whole JSON numbers in events are ints (ports and delays), the rest as written.
        row(b, "proj-on", "eventAttrList/0/value/port", 9000);
        for (const char *key : {"uuid", "sWidgetGeometry", "imageFile", "clr"})
            row(b, "proj-on", key);
        row(b, kTwoStateButton, "text", QVariantMap{{"normal", "A"}, {"pressed", "B"}});
        // Event values are read 32 objects deep; what lies deeper reads as nothing.
        const QString deep = R"({"class":"ButtonWidget","p":[["eventAttrList",[)" + QString(R"({"a":)").repeated(34) + "1"
                             + QString("}").repeated(34) + "]]]}";
        row(b, deep, "eventAttrList/0" + QString("/a").repeated(31) + "/#", 1);
        row(b, deep, "eventAttrList/0" + QString("/a").repeated(32), QVariant());
        // A later property wins, also when it reads as nothing.
        row(b, kRepeatedButton, "label", QString("second"));
        row(b, kRepeatedButton, "globalPos");
        row(b, kWrongTypes, "textSize", 0);
        row(b, kWrongTypes, "autoLift", false);
        row(b, kWrongTypes, "eventAttrList");
        row(b, kWrongTypes, "text");
        row("rect", "login-box", "#", 18);
        row("rect", kStopsRect, "gradientColor", QVariantList{stop("#ffffff", 0.5), stop("", 1.0)});
        row("text", "wall-a-caption", "px", 20);
        row("page", "page-wall-a", "pageId", QString("page-wall-a"));
        row("inputBox", "search-wall-a", "BKRect/#", 17);
        row("inputBox", "login-PasswordInputBox", "isPasswdMode", true);

        const QString l = "signalList";
        row(l, "list-wall-a", "winNum", 6);
        row(l, "list-wall-a", "linkedGroup", QStringList{"Studio", "Desktops", "Cameras"});
        // A horizontal list's scroll bar lies below it: its height is the thickness.
        row(l, "list-wall-a", "scrollW", 10);
        row(l, kListDirection1, "scrollW", 12);
        row(l, kListDirection1, "@visibility", QVariantList{QVariant(QVariantList{"a", "b"}), QVariant(QVariantList{"c"})});
        row("stack", kStack, "pages", QVariantList{QVariant(QVariantList{"a"}), QVariant(QVariantList{"b", "c"})});

        // The operator may not use "Cameras" and "会议室"; the favourites are the starred signals.
        row("tree:operator", "tree-wall-a", "treeModel/#", 4);
        row("tree:operator", "tree-wall-a", "treeModel/0/subnodes",
            QVariantList{member("Studio camera 2", 1, 0), member("Lobby camera", 10, 0)});
        row("tree:operator", "tree-wall-a", "treeModel/3/subnodes/1", member("Lobby split", 1, 1));
        row("tree:operator", "tree-wall-a", "treeModel/3/subnodes/#", 2);
        row("tree:admin", "tree-wall-a", "treeModel/4/text", QString("会议室"));
        row("tree:nobody", "tree-wall-a", "treeModel", QVariantList());

        row("docker", "hall-level", "@docker", true);
        row("docker", "hall-level", "@listener/send",
            QVariantMap{{"time", 1000}, {"ip", "{{NET}}.8"}, {"port", 9000}, {"type", "Hex"}, {"protocol", "Udp"},
                        {"data", "AA 55 10 01 CC"}, {"bit", "8"}, {"mode", ""}});
        row("docker", "hall-level", "@listener/recv/key", QString("$L"));
        row("docker", kDockerType0, "@docker", false);
        row("docker", kDockerType0, "@listener");
        row("slider", "volume", "textMap/text", QString("40"));
        row("slider", "volume", "buttonMap/globalPos", QRect(70, 661, 28, 48));

        const QString w = "wall";
        row(w, "wall-a", "id", QString("1"));
        row(w, "wall-a", "bkPic", QString("./image/wall_frame.png")); // the form's "normal" state
        row(w, "wall-a", "nodeRects/1", area(1920, 0, 1920, 1080, "{{NET}}.21"));
        row(w, "wall-a", "toolbar", QVariantMap{{"size", QSize(260, 400)}, {"enableVisible", true}});
        row(w, "wall-a", "@announcement/2/panel_id", QString("1"));
        row(w, "wall-a", "@record/layouts", QVariantList{1, 1});
        row(w, "wall-a", "@record/docks/1/1", QVariantList{QRect(0, 0, 2880, 2160), 2, "{{NET}}.20"});
        row(w, "wall-a", "@record/docks/1/2", QVariantList{QRect(2880, 0, 960, 720), 3, ""}); // no decoder
        row(w, kWall2x2, "@record/decoders", QStringList{"d0", "d1", "d2", "d3"});
        // By cell index, as the decoders: the first cell in design order is the last one.
        row(w, kWall2x2, "@record/cell3", QRect(960, 540, 960, 540));
        row(w, kWall2x2, "@record/docks",
            QVariantList{QVariant(QVariantList{"Preset 1", QVariantList{QRect(0, 0, 960, 540), 1, "192.168.1.20"},
                                               QVariantList{QRect(960, 0, 960, 540), 2, "10.0.0.5(2)"}})});
        row(w, kWall2x2, "audioNormal", QVariantList{area(0, 0, 1920, 1080, "192.168.1.21")});
        row(w, kWallStrayCells, "@record/decoders", QStringList{"", "", "", "ok"});
        row(w, kWallNoGrid, "@record/decoders", QStringList{"", "", "", "x"});
        row(w, kWallNoGrid, "splitSize");
        row(w, kWallHugeGrid, "splitSize", QSize(64, 3));
        row(w, kWallToolbar, "@announcements", QStringList{"Rect:bg", "Button:btn", "Text:cap", "Screen:wt"});
        row(w, kWallToolbar, "@announcement/1/enableVisible", false);
        row(w, kWallToolbar, "@announcement/0/enableVisible");
    }
    void builders()
    {
        QFETCH(QString, builder);
        QFETCH(QString, source);
        QFETCH(QString, path);
        QFETCH(QVariant, expected);
        const QJsonObject node = nodeFrom(source);
        QVERIFY2(!node.isEmpty(), qPrintable("no node " + source));
        const QVariantMap built = buildView(builder, node);
        QVariant actual;
        if (!lookUp(built, path, &actual))
            QVERIFY2(!expected.isValid(), qPrintable(path + " missing; keys: " + QStringList(built.keys()).join(", ")));
        else
            QCOMPARE(typed(actual), typed(expected));
    }
};
KORA_TEST(TestWidgetBuilders)
#include "tst_widgetbuilders.moc"
