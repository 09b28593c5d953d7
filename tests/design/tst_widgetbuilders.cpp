// The widget builders, key by key: representative widgets of the lab design and small nodes
// of our own for the edge cases. Every row names a builder, a node (a uuid of the lab design
// or an inline node), a path into the built map and the value expected there (or that the
// path is absent). Values are compared strictly: an int is not a bool, a QStringList not a
// QVariantList.
#include "design/widgetbuilders.h"
#include "model/devicefile.h"
#include "support/testfiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRect>
#include <QSize>
#include <QtTest>

using namespace kora;
using namespace kora::design;

namespace {

// Inline nodes in short form: {"class", "p": [[name, value], ...], "item": [nodes]}.
QJsonObject designNode(const QJsonObject &shorthand)
{
    QJsonObject node{{"class", shorthand.value("class")}};
    QJsonArray properties;
    for (const QJsonValue &pair : shorthand.value("p").toArray())
        properties.append(QJsonObject{{"name", pair.toArray().at(0)}, {"value", pair.toArray().at(1)}});
    node.insert("property", properties);
    QJsonArray items;
    for (const QJsonValue &item : shorthand.value("item").toArray())
        items.append(designNode(item.toObject()));
    node.insert("item", items);
    return node;
}

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

const QJsonObject &labDesign()
{
    static const QJsonObject root{
        {"item", QJsonDocument::fromJson(readFile(SAMPLE_DIR "/lab/client0_1920_1080.jui"))
                     .object().value("ui").toObject().value("item")}};
    return root;
}

// A source is either an inline node (starting with "{") or a uuid of the lab design.
QJsonObject nodeFrom(const QString &source)
{
    if (source.startsWith('{'))
        return designNode(QJsonDocument::fromJson(source.toUtf8()).object());
    return findNode(labDesign(), source);
}

// The lab device model with two starred signals: "Studio camera 2" (1) and "Lobby camera" (10).
const DeviceModel &labModel()
{
    static const DeviceModel model = [] {
        DeviceModel m;
        parseDeviceFile(readFile(SAMPLE_DIR "/lab/device.json"), m, nullptr);
        if (m.signalList.size() > 10) {
            m.signalList[1].star = true;
            m.signalList[10].star = true;
        }
        return m;
    }();
    return model;
}

const UserRecord *labUser(const QString &name)
{
    for (const UserRecord &user : labModel().users) {
        if (user.name == name)
            return &user;
    }
    return nullptr;
}

QString targetName(Target target)
{
    static const char *const names[] = {"Page",     "Rect",   "Screen",  "Button", "Text",  "Date",
                                        "Preview",  "Slider", "TreeView", "InputBox", "Docker", "Monitor",
                                        "Web",      "Stack",  "LoginButton", "LoginInputBox"};
    return QString::fromLatin1(names[int(target)]);
}

QVariant visibilityView(const QList<QJsonArray> &set)
{
    QVariantList view;
    for (const QJsonArray &names : set)
        view.append(QVariant(names.toVariantList()));
    return view;
}

QVariantMap wallRecordView(const WallRecord &wall)
{
    QVariantList rects;
    for (const QRect &r : wall.nodeRects)
        rects.append(r);
    QVariantList cellRects;
    for (const QRect &r : wall.cellRects)
        cellRects.append(r);
    QStringList names;
    QVariantList docks;
    for (const DockPreset &dock : wall.docks) {
        names.append(dock.name);
        QVariantList windows;
        for (const DockWindow &w : dock.windows)
            windows.append(QVariantMap{{"rect", w.rect}, {"chn", w.chn}, {"audio", w.audio}});
        docks.append(QVariant(windows));
    }
    return {{"id", wall.id},           {"pageId", wall.pageId},
            {"freeLayout", wall.freeLayout}, {"fullScreen", wall.fullScreen},
            {"virtualResolution", wall.virtualResolution}, {"decoders", wall.decoderAddresses},
            {"nodeRects", rects},      {"cellRects", cellRects}, {"docks", names},
            {"dock", docks},           {"description", wall.description}};
}

// The built map, with what the builder gives besides it under keys starting with "@".
QVariantMap buildView(const QString &builder, const QJsonObject &node)
{
    if (builder == "button")
        return buildButton(node);
    if (builder == "rect")
        return buildRect(node);
    if (builder == "text")
        return buildText(node);
    if (builder == "date")
        return buildDate(node);
    if (builder == "inputBox")
        return buildInputBox(node);
    if (builder == "slider")
        return buildSlider(node);
    if (builder == "web")
        return buildWeb(node);
    if (builder == "signalList" || builder == "stack") {
        QList<QJsonArray> set;
        QVariantMap map = builder == "stack" ? buildStack(node, &set) : buildSignalList(node, &set);
        map.insert("@visibility", visibilityView(set));
        return map;
    }
    if (builder.startsWith("tree:")) {
        const Catalogue catalogue{&labModel(), labUser(builder.mid(5))};
        QVariantMap map = buildTreeView(node, catalogue);
        QStringList titles;
        for (const QVariant &top : map.value("treeModel").toList())
            titles.append(top.toMap().value("text").toString());
        map.insert("@titles", titles);
        return map;
    }
    if (builder == "docker") {
        const DataDockerBuild docker = buildDataDocker(node);
        QVariantMap map = docker.map;
        map.insert("@target", targetName(docker.target));
        map.insert("@listeners", docker.listener ? 1 : 0);
        if (docker.listener) {
            map.insert("@listener", QVariantMap{{"name", docker.listener->name},
                                                {"send", docker.listener->send},
                                                {"recv", docker.listener->recv}});
        }
        map.insert("@visibility", visibilityView(docker.visibilitySet));
        return map;
    }
    if (builder == "wall") {
        DesignBuild out;
        buildVideoWall(node, "page-x", out);
        QVariantMap map = out.announcements.isEmpty() ? QVariantMap() : out.announcements.last().map;
        QStringList sequence;
        QStringList pageIds;
        QVariantList maps;
        for (const Announcement &a : out.announcements) {
            sequence.append(targetName(a.target) + ":" + a.map.value("objectName").toString());
            pageIds.append(a.pageId);
            maps.append(a.map);
        }
        map.insert("@announcements", sequence);
        map.insert("@pageIds", pageIds);
        map.insert("@announcement", maps);
        map.insert("@walls", int(out.walls.size()));
        if (!out.walls.isEmpty())
            map.insert("@record", wallRecordView(out.walls.last()));
        return map;
    }
    qFatal("unknown builder %s", qPrintable(builder));
    return {};
}

// A path of map keys and list indexes separated by "/"; "#" is the size of the list or map.
bool lookUp(QVariant value, const QString &path, QVariant *result)
{
    for (const QString &segment : path.split('/')) {
        const int type = value.userType();
        if (segment == "#") {
            if (type == QMetaType::QVariantMap)
                value = int(value.toMap().size());
            else if (type == QMetaType::QVariantList || type == QMetaType::QStringList)
                value = int(value.toList().size());
            else
                return false;
            continue;
        }
        if (type == QMetaType::QVariantMap) {
            const QVariantMap map = value.toMap();
            if (!map.contains(segment))
                return false;
            value = map.value(segment);
        } else if (type == QMetaType::QVariantList || type == QMetaType::QStringList) {
            const QVariantList list = value.toList();
            bool ok = false;
            const int index = segment.toInt(&ok);
            if (!ok || index < 0 || index >= list.size())
                return false;
            value = list.at(index);
        } else {
            return false;
        }
    }
    *result = value;
    return true;
}

bool sameVariant(const QVariant &a, const QVariant &b)
{
    if (a.userType() != b.userType())
        return false;
    if (a.userType() == QMetaType::QVariantMap) {
        const QVariantMap ma = a.toMap();
        const QVariantMap mb = b.toMap();
        if (ma.keys() != mb.keys())
            return false;
        for (auto it = ma.cbegin(); it != ma.cend(); ++it) {
            if (!sameVariant(it.value(), mb.value(it.key())))
                return false;
        }
        return true;
    }
    if (a.userType() == QMetaType::QVariantList) {
        const QVariantList la = a.toList();
        const QVariantList lb = b.toList();
        if (la.size() != lb.size())
            return false;
        for (int i = 0; i < la.size(); ++i) {
            if (!sameVariant(la.at(i), lb.at(i)))
                return false;
        }
        return true;
    }
    return a == b;
}

QString describe(const QVariant &v)
{
    switch (v.userType()) {
    case QMetaType::QVariantMap: {
        QStringList parts;
        const QVariantMap map = v.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            parts.append(it.key() + ": " + describe(it.value()));
        return "{" + parts.join(", ") + "}";
    }
    case QMetaType::QVariantList: {
        QStringList parts;
        for (const QVariant &e : v.toList())
            parts.append(describe(e));
        return "[" + parts.join(", ") + "]";
    }
    case QMetaType::QStringList:
        return "QStringList[" + v.toStringList().join(", ") + "]";
    case QMetaType::QRect: {
        const QRect r = v.toRect();
        return QString("QRect(%1,%2 %3x%4)").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
    }
    case QMetaType::QSize:
        return QString("QSize(%1,%2)").arg(v.toSize().width()).arg(v.toSize().height());
    case QMetaType::UnknownType:
        return "invalid";
    default:
        return QString("%1(%2)").arg(v.typeName(), v.toString());
    }
}

// ---- Expected values.

QVariantMap states(const QVariant &normal, const QVariant &hover, const QVariant &pressed)
{
    return {{"normal", normal}, {"hover", hover}, {"pressed", pressed}};
}

QVariantMap stop(const QString &colour, double position)
{
    return {{"QColor", colour}, {"qreal", position}};
}

QVariantMap area(int x, int y, int width, int height, const QString &audio, int chn)
{
    return {{"x", x}, {"y", y}, {"width", width}, {"height", height}, {"audio", audio}, {"chn", chn}};
}

QVariantMap window(const QRect &rect, int chn, const QString &audio)
{
    return {{"rect", rect}, {"chn", chn}, {"audio", audio}};
}

QVariantMap member(const QString &text, int index, int type)
{
    return {{"text", text}, {"isoption", false}, {"index", index}, {"type", type}};
}

void addColumns()
{
    QTest::addColumn<QString>("builder");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("present");
    QTest::addColumn<QVariant>("expected");
}

void row(const QString &label, const QString &builder, const QString &source, const QString &path,
         const QVariant &expected)
{
    QTest::newRow(qPrintable(label + " " + path)) << builder << source << path << true << expected;
}

void absent(const QString &label, const QString &builder, const QString &source, const QString &path)
{
    QTest::newRow(qPrintable(label + " no " + path)) << builder << source << path << false << QVariant();
}

void checkRow()
{
    QFETCH(QString, builder);
    QFETCH(QString, source);
    QFETCH(QString, path);
    QFETCH(bool, present);
    QFETCH(QVariant, expected);

    const QJsonObject node = nodeFrom(source);
    QVERIFY2(!node.isEmpty(), qPrintable("no node " + source));
    const QVariantMap built = buildView(builder, node);
    QVariant actual;
    const bool found = lookUp(built, path, &actual);
    if (!present) {
        QVERIFY2(!found, qPrintable("unexpected " + describe(actual)));
        return;
    }
    QVERIFY2(found, qPrintable(path + " missing; keys: " + QStringList(built.keys()).join(", ")));
    QVERIFY2(sameVariant(actual, expected), qPrintable("\n   got " + describe(actual) + "\nwanted " + describe(expected)));
}

// ---- Inline nodes.

const char *const kThreeStateButton =
    R"({"class":"ButtonWidget","p":[["uuid","b3"],["text",{"normal":"Off","hover":"Hover","pressed":"On"}]]})";
const char *const kTwoStateButton =
    R"({"class":"ButtonWidget","p":[["text",{"normal":"A","pressed":"B","other":"C"}]]})";
const char *const kPlainTextButton = R"({"class":"ButtonWidget","p":[["text","OK"],["imageFile","./image/a.png"]]})";
const char *const kRepeatedButton =
    R"({"class":"ButtonWidget","p":[["label","first"],["sWidgetGeometry",{"x":1,"y":2,"width":3,"height":4}],
        ["label","second"],["sWidgetGeometry",7]]})";
const char *const kWrongTypesButton =
    R"({"class":"ButtonWidget","p":[["textSize","big"],["autoLift","yes"],["label",5],["eventAttrList",{"action":"x"}]]})";
const char *const kOddRect =
    R"({"class":"RectWidget","p":[["borderWidth","wide"],["gradientColor","red"],["monoColor",["#fff"]]]})";
const char *const kStopsRect =
    R"({"class":"RectWidget","p":[["gradientColor",[5,{"QColor":"#ffffff","qreal":0.5},{"qreal":1}]]]})";

// A 2 x 2 wall whose cells are listed out of order, with presets of every kind.
const char *const kWall2x2 = R"json({"class":"VideoWallWidget","p":[["uuid","w"],["panelID","7"],["row",2],["column",2],
    ["presetMap",[{"name":"Preset 1","value":["0,0 960,540 2 192.168.1.20(0)","0,0 960,540","  960,0   960,540  4  "]},
                  {"name":"audio_normal","value":["0,0 1920,1080 0 192.168.1.21(1)"]},
                  {"name":"Preset 2","value":[]}]]],
  "item":[{"class":"FormWidget","item":[
    {"class":"TableCell","p":[["cellPos",{"x":1,"y":1}],["virtualPos",{"x":960,"y":540}],["virtualRes",{"width":960,"height":540}],["deviceID","d3"]]},
    {"class":"TableCell","p":[["cellPos",{"x":0,"y":0}],["virtualPos",{"x":0,"y":0}],["virtualRes",{"width":960,"height":540}],["deviceID","d0"]]},
    {"class":"TableCell","p":[["cellPos",{"x":1,"y":0}],["virtualPos",{"x":960,"y":0}],["virtualRes",{"width":960,"height":540}],["deviceID","d1"]]},
    {"class":"TableCell","p":[["cellPos",{"x":0,"y":1}],["virtualPos",{"x":0,"y":540}],["virtualRes",{"width":960,"height":540}],["deviceID","d2"]]}]}]})json";
// Cells outside the grid (or absurdly far away) never reach the decoder list.
const char *const kWallStrayCells = R"({"class":"VideoWallWidget","p":[["panelID","8"],["row",2],["column",2]],
  "item":[{"class":"FormWidget","item":[
    {"class":"TableCell","p":[["cellPos",{"x":5,"y":0}],["deviceID","far right"]]},
    {"class":"TableCell","p":[["cellPos",{"x":0,"y":1000000000}],["deviceID","far down"]]},
    {"class":"TableCell","p":[["cellPos",{"x":-1,"y":0}],["deviceID","left"]]},
    {"class":"TableCell","p":[["cellPos",{"x":1,"y":1}],["deviceID","ok"]]}]}]})";
// A toolbar hidden as a whole: its buttons follow the group, not their own setting.
const char *const kWallToolbar = R"({"class":"VideoWallWidget","p":[["uuid","wt"],["panelID","5"]],
  "item":[{"class":"Group","p":[["sWidgetGeometry",{"x":0,"y":0,"width":120,"height":40}],["enableVisible",false]],
           "item":[{"class":"RectWidget","p":[["uuid","bg"]]},{"class":"ButtonWidget","p":[["uuid","btn"],["enableVisible",true]]},
                   {"class":"TextWidget","p":[["uuid","not a toolbar item"]]}]},
          {"class":"TextWidget","p":[["uuid","cap"]]}]})";
const char *const kWallNegativeGrid = R"({"class":"VideoWallWidget","p":[["panelID","10"],["column",-2],["row",3]],
  "item":[{"class":"FormWidget","item":[
    {"class":"TableCell","p":[["cellPos",{"x":1,"y":5}],["deviceID","x"]]},
    {"class":"TableCell","p":[["cellPos",{"x":0,"y":2}],["deviceID","y"]]}]}]})";
const char *const kWallHugeGrid = R"({"class":"VideoWallWidget","p":[["panelID","11"],["column",2147483647],["row",3]]})";
const char *const kWallNoGrid = R"({"class":"VideoWallWidget","p":[["panelID","9"]],
  "item":[{"class":"FormWidget","item":[
    {"class":"TableCell","p":[["cellPos",{"x":3,"y":0}],["deviceID","x"]]},
    {"class":"TableCell","p":[["cellPos",{"x":5000,"y":0}],["deviceID","beyond"]]}]}]})";

const char *const kListDirection1 = R"({"class":"SignalListWidget","p":[["direction",1],["pages",[["a","b"],["c"],"junk"]]],
  "item":[{"class":"ButtonWidget","p":[["sWidgetGeometry",{"x":0,"y":0,"width":12,"height":300}]]}]})";
const char *const kListDirection0 = R"({"class":"SignalListWidget","p":[["direction",0]],
  "item":[{"class":"ButtonWidget","p":[["sWidgetGeometry",{"x":0,"y":0,"width":12,"height":300}]]}]})";
const char *const kListNoScrollBar = R"({"class":"SignalListWidget","p":[["direction",1]]})";
const char *const kTreeSkipped =
    R"({"class":"TreeWidget","p":[["topGroupNames",["input:kvmGroup/Studio","input:signalGroup/Studio",7]]]})";
const char *const kDockerType0 = R"({"class":"DataDockerWidget","p":[["uuid","mon"],["dataDockerType",0],
  ["eventAttrList",[{"delay":500,"value":{"send":{"ip":"10.0.0.1"}}}]]]})";
const char *const kDockerType2Bare = R"({"class":"DataDockerWidget","p":[["uuid","lvl"],["dataDockerType",2],
  ["pages",[["x"],["y"]]]]})";

const char *const kWeb = R"({"class":"WebBrowserWidget","p":[["uuid","web1"],["sWidgetGeometry",{"x":10,"y":20,"width":640,"height":480}],
  ["url","http://10.0.0.9/status"],["preloadEnable",true]]})";
const char *const kWebBare = R"({"class":"WebBrowserWidget","p":[["url",5]]})";
const char *const kStack = R"({"class":"StackWidget","p":[["uuid","st"],["pages",[["a"],["b","c"],["d"]]]]})";
const char *const kStackOddPages = R"({"class":"StackWidget","p":[["uuid","st2"],["pages","a"]]})";

} // namespace

class TestWidgetBuilders : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY2(!labDesign().value("item").toArray().isEmpty(), "lab design missing");
        QVERIFY2(labModel().signalList.size() == 15, "lab device file missing");
    }

    void basicWidgets_data()
    {
        addColumns();
        const QString b = "button";
        row("proj-on", b, "proj-on", "objectName", QString("proj-on"));
        row("proj-on", b, "proj-on", "globalPos", QRect(70, 200, 260, 70));
        row("proj-on", b, "proj-on", "label", QString("projector"));
        row("proj-on", b, "proj-on", "enableVisible", true);
        row("proj-on", b, "proj-on", "text", states("Projector on", "Projector on", "Projector on"));
        row("proj-on", b, "proj-on", "fontFamily", QString("微软雅黑"));
        row("proj-on", b, "proj-on", "textColor", states("#e8f0f8", "#e8f0f8", "#ffffff"));
        row("proj-on", b, "proj-on", "textSize", 18);
        row("proj-on", b, "proj-on", "buttonGroup", -1);
        row("proj-on", b, "proj-on", "autoLift", true);
        row("proj-on", b, "proj-on", "initialTrigger", false);
        row("proj-on", b, "proj-on", "bkPic", states("./image/btn_normal.png", "./image/btn_normal.png", "./image/btn_pressed.png"));
        row("proj-on", b, "proj-on", "egWidth", 1);
        row("proj-on", b, "proj-on", "borderStyle", 1);
        row("proj-on", b, "proj-on", "egClr", QString("#3f6f9a"));
        row("proj-on", b, "proj-on", "trans", 100);
        row("proj-on", b, "proj-on", "isIncorner", true);
        row("proj-on", b, "proj-on", "cornerBottomRight", 6);
        row("proj-on", b, "proj-on", "isMonoFilled", states(true, true, true));
        row("proj-on", b, "proj-on", "monoColor", states("#1c3d5e", "#1c3d5e", "#2f7fc1"));
        row("proj-on", b, "proj-on", "isGradientFilled", states(false, false, false));
        row("proj-on", b, "proj-on", "gradientType", states(0, 0, 0));
        row("proj-on", b, "proj-on", "gradientColor/hover", QVariantList{stop("#1c3d5e", 0.0), stop("#2f7fc1", 1.0)});
        row("proj-on", b, "proj-on", "usingPolyState", 0);
        row("proj-on", b, "proj-on", "eventAttrList",
            QVariantList{QVariantMap{{"action", "Clicked"}, {"behavior", "SendData"}, {"delay", 0}, {"loop", 0},
                                     {"value", QVariantMap{{"bit", "8"}, {"data", "AA 55 01 01 00 01 CC"},
                                                           {"ip", "{{NET}}.8"}, {"mode", ""}, {"port", 9000},
                                                           {"protocol", "Udp"}, {"type", "Hex"},
                                                           {"wildcard", QVariantMap()}}}}});
        row("proj-on", b, "proj-on", "textAlignHorizontal", 4);
        row("proj-on", b, "proj-on", "textAlignVertical", 128);
        row("proj-on", b, "proj-on", "isBold", false);
        row("proj-on", b, "proj-on", "isUnderline", false);
        row("proj-on", b, "proj-on", "rotate", 0);
        row("proj-on", b, "proj-on", "autoRepeat", false);
        row("proj-on", b, "proj-on", "autoRepeatInv", 100);
        for (const char *key : {"uuid", "sWidgetGeometry", "imageFile", "borderWidth", "borderColor", "opacity", "clr", "family"})
            absent("proj-on", b, "proj-on", key);
        row("nav", b, "page-wall-a-nav-page-wall-b", "eventAttrList/0/behavior", QString("SwitchPage"));
        row("nav", b, "page-wall-a-nav-page-wall-b", "eventAttrList/0/value", QString("page-wall-b"));
        row("lights", b, "lights", "eventAttrList/#", 2);
        row("lights", b, "lights", "eventAttrList/1/action", QString("ButtonRelease"));
        row("three states", b, kThreeStateButton, "text", states("Off", "Hover", "On"));
        row("two states", b, kTwoStateButton, "text", QVariantMap{{"normal", "A"}, {"pressed", "B"}});
        absent("plain text", b, kPlainTextButton, "text");
        absent("plain text", b, kPlainTextButton, "bkPic");
        row("repeated", b, kRepeatedButton, "label", QString("second"));
        absent("repeated", b, kRepeatedButton, "globalPos");
        row("wrong types", b, kWrongTypesButton, "textSize", 0);
        row("wrong types", b, kWrongTypesButton, "autoLift", false);
        row("wrong types", b, kWrongTypesButton, "label", QString());
        absent("wrong types", b, kWrongTypesButton, "eventAttrList");

        const QString r = "rect";
        row("login-box", r, "login-box", "objectName", QString("login-box"));
        row("login-box", r, "login-box", "globalPos", QRect(660, 300, 600, 520));
        row("login-box", r, "login-box", "bkPic", QString("./image/border.png"));
        row("login-box", r, "login-box", "egWidth", 2);
        row("login-box", r, "login-box", "egClr", QString("#2e5a84"));
        row("login-box", r, "login-box", "borderStyle", 1);
        row("login-box", r, "login-box", "isIncorner", true);
        row("login-box", r, "login-box", "cornerTopLeft", 12);
        row("login-box", r, "login-box", "trans", 92);
        row("login-box", r, "login-box", "isMonoFilled", true);
        row("login-box", r, "login-box", "clr", QString("#102a44"));
        row("login-box", r, "login-box", "isGradientFilled", false);
        row("login-box", r, "login-box", "gradientType", 0);
        row("login-box", r, "login-box", "gradientRotate", 90);
        row("login-box", r, "login-box", "gradientColor", QVariantList{stop("#102a44", 0.0), stop("#102a44", 1.0)});
        row("login-box", r, "login-box", "#", 18);
        absent("login-box", r, "login-box", "monoColor");
        absent("login-box", r, "login-box", "imageFile");
        row("odd rect", r, kOddRect, "egWidth", 0);
        absent("odd rect", r, kOddRect, "gradientColor");
        row("odd rect", r, kOddRect, "clr", QString());
        row("stops", r, kStopsRect, "gradientColor", QVariantList{stop("#ffffff", 0.5), stop("", 1.0)});

        const QString t = "text";
        row("caption", t, "wall-a-caption", "objectName", QString("wall-a-caption"));
        row("caption", t, "wall-a-caption", "globalPos", QRect(340, 126, 1280, 40));
        row("caption", t, "wall-a-caption", "text", QString("Wall A (2 × 2)"));
        row("caption", t, "wall-a-caption", "enableVisible", true);
        row("caption", t, "wall-a-caption", "family", QString("微软雅黑"));
        row("caption", t, "wall-a-caption", "clr", QString("#e8f0f8"));
        row("caption", t, "wall-a-caption", "px", 20);
        row("caption", t, "wall-a-caption", "alignHor", 4);
        row("caption", t, "wall-a-caption", "alignVer", 128);
        row("caption", t, "wall-a-caption", "isItalic", false);
        row("caption", t, "wall-a-caption", "rotate", 0);
        row("caption", t, "wall-a-caption", "textSpacing", 0);
        for (const char *key : {"fontFamily", "textColor", "textSize", "textAlignHorizontal", "panel_id"})
            absent("caption", t, "wall-a-caption", key);

        const QString d = "date";
        row("clock", d, "page-wall-a-clock", "objectName", QString("page-wall-a-clock"));
        row("clock", d, "page-wall-a-clock", "text", QString(""));
        row("clock", d, "page-wall-a-clock", "dateFormat", QString("yyyy-MM-dd hh:mm:ss"));
        row("clock", d, "page-wall-a-clock", "family", QString("微软雅黑"));
        row("clock", d, "page-wall-a-clock", "clr", QString("#cfe3f7"));
        row("clock", d, "page-wall-a-clock", "px", 22);
        row("clock", d, "page-wall-a-clock", "alignHor", 2);
        row("clock", d, "page-wall-a-clock", "alignVer", 128);
        row("clock", d, "page-wall-a-clock", "#", 9);

        const QString i = "inputBox";
        const QString s = "search-wall-a";
        row("search", i, s, "label", QString("SearchBox"));
        row("search", i, s, "globalPos", QRect(20, 110, 300, 44));
        row("search", i, s, "enableVisible", true);
        row("search", i, s, "isPasswdMode", false);
        row("search", i, s, "isSearchMode", true);
        row("search", i, s, "trans", 100);
        row("search", i, s, "bkPic", QString(""));
        row("search", i, s, "borderStyle", 1);
        row("search", i, s, "egWidth", 1);
        row("search", i, s, "egClr", QString("#4c7fae"));
        row("search", i, s, "cornerTopRight", 4);
        row("search", i, s, "isNoFilled", false);
        row("search", i, s, "monoColor", QString("#0d1b2a"));
        row("search", i, s, "gradientColor", QVariantList{stop("#0d1b2a", 0.0), stop("#0d1b2a", 1.0)});
        row("search", i, s, "linkedWidget", QString("list-wall-a"));
        row("search", i, s, "family", QString("微软雅黑"));
        row("search", i, s, "textColor", QString("#e8f0f8"));
        row("search", i, s, "textSize", 18);
        row("search", i, s, "textAlignHorizontal", 1);
        row("search", i, s, "textAlignVertical", 128);
        row("search", i, s, "isBold", false);
        row("search", i, s, "BKRect/globalPos", QRect(20, 110, 300, 44));
        row("search", i, s, "BKRect/egClr", QString("#4c7fae"));
        row("search", i, s, "BKRect/monoColor", QString("#0d1b2a"));
        row("search", i, s, "BKRect/cornerBottomLeft", 4);
        row("search", i, s, "BKRect/isNoFilled", false);
        absent("search", i, s, "BKRect/family");
        absent("search", i, s, "BKRect/label");
        absent("search", i, s, "BKRect/objectName");
        row("search", i, s, "textMap",
            QVariantMap{{"family", "微软雅黑"}, {"textColor", "#e8f0f8"}, {"textSize", 18}, {"textAlignHorizontal", 1},
                        {"textAlignVertical", 128}, {"isBold", false}, {"isItalic", false}, {"isUnderline", false}});
        absent("search", i, s, "clr");
        absent("search", i, s, "px");
        row("password", i, "login-PasswordInputBox", "isPasswdMode", true);
        row("password", i, "login-PasswordInputBox", "label", QString("PasswordInputBox"));
    }
    void basicWidgets() { checkRow(); }

    void walls_data()
    {
        addColumns();
        const QString w = "wall";
        const QString a = "wall-a";
        row("wall-a", w, a, "id", QString("1"));
        row("wall-a", w, a, "objectName", QString("wall-a"));
        row("wall-a", w, a, "globalPos", QRect(340, 170, 1280, 720));
        row("wall-a", w, a, "fullEn", true);
        row("wall-a", w, a, "sceneEn", true);
        row("wall-a", w, a, "isKvmVWall", false);
        row("wall-a", w, a, "freeEn", true);
        row("wall-a", w, a, "dockEn", true);
        row("wall-a", w, a, "publishEn", false);
        row("wall-a", w, a, "osdEn", true);
        row("wall-a", w, a, "isShowToolbar", true);
        row("wall-a", w, a, "stream", 4);
        row("wall-a", w, a, "splitSize", QSize(2, 2));
        row("wall-a", w, a, "size", QSize(3840, 2160));
        row("wall-a", w, a, "bkPic", QString("./image/wall_frame.png"));
        row("wall-a", w, a, "egWidth", 2);
        row("wall-a", w, a, "egClr", QString("#3f6f9a"));
        row("wall-a", w, a, "trans", 100);
        row("wall-a", w, a, "isNoFilled", false);
        row("wall-a", w, a, "isMonoFilled", true);
        row("wall-a", w, a, "isImageFilled", false);
        row("wall-a", w, a, "isGradientFilled", false);
        row("wall-a", w, a, "gradientType", 0);
        row("wall-a", w, a, "gradientColor", QVariantList{stop("#101820", 0.0), stop("#101820", 1.0)});
        row("wall-a", w, a, "clr", QString("#101820"));
        row("wall-a", w, a, "nodeRects/#", 4);
        row("wall-a", w, a, "nodeRects/1", area(1920, 0, 1920, 1080, "{{NET}}.21", 0));
        row("wall-a", w, a, "audioNormal/#", 4);
        row("wall-a", w, a, "audioNormal/3", area(1920, 1080, 1920, 1080, "{{NET}}.23", 0));
        row("wall-a", w, a, "toolbar", QVariantMap{{"size", QSize(260, 400)}, {"enableVisible", true}});
        for (const char *key : {"panelID", "presetMap", "vResolution", "row", "column", "monoColor", "imageFile"})
            absent("wall-a", w, a, key);
        row("wall-a", w, a, "@announcements",
            QStringList{"Text:wall-a-caption", "Rect:wall-a-toolbar-bg", "Button:wall-a-bt_clear",
                        "Button:wall-a-bt_refresh", "Button:wall-a-bt_preset", "Button:wall-a-bt_line",
                        "Button:wall-a-bt_osd", "Screen:wall-a"});
        row("wall-a", w, a, "@pageIds", QStringList{"page-x", "page-x", "page-x", "page-x", "page-x", "page-x", "page-x", "page-x"});
        row("wall-a", w, a, "@announcement/0/panel_id", QString("1"));
        row("wall-a", w, a, "@announcement/0/px", 20);
        row("wall-a", w, a, "@announcement/1/panel_id", QString("1"));
        row("wall-a", w, a, "@announcement/2/panel_id", QString("1"));
        row("wall-a", w, a, "@announcement/2/enableVisible", true);
        absent("wall-a", w, a, "@announcement/1/enableVisible");
        row("wall-a", w, a, "@walls", 1);
        row("wall-a", w, a, "@record/id", QString("1"));
        row("wall-a", w, a, "@record/pageId", QString("page-x"));
        row("wall-a", w, a, "@record/freeLayout", 1);
        row("wall-a", w, a, "@record/fullScreen", 1);
        row("wall-a", w, a, "@record/virtualResolution", QSize(3840, 2160));
        row("wall-a", w, a, "@record/decoders", QStringList{"{{NET}}.20", "{{NET}}.21", "{{NET}}.22", "{{NET}}.23"});
        row("wall-a", w, a, "@record/nodeRects/3", QRect(1920, 1080, 1920, 1080));
        row("wall-a", w, a, "@record/docks", QStringList{"Quad", "Main + 3", "Single"});
        row("wall-a", w, a, "@record/dock/1/#", 4);
        row("wall-a", w, a, "@record/dock/1/0", window(QRect(0, 0, 2880, 2160), 2, "{{NET}}.20"));
        row("wall-a", w, a, "@record/dock/1/1", window(QRect(2880, 0, 960, 720), 3, ""));
        row("wall-a", w, a, "@record/dock/0/3", window(QRect(1920, 1080, 1920, 1080), 1, "{{NET}}.23"));
        row("wall-a", w, a, "@record/description/id", QString("1"));
        row("wall-a", w, a, "@record/description/name", QString("Wall A (2 × 2)"));
        row("wall-a", w, a, "@record/description/size", QSize(3840, 2160));
        row("wall-a", w, a, "@record/description/splitSize", QSize(2, 2));

        row("2x2", w, kWall2x2, "splitSize", QSize(2, 2));
        row("2x2", w, kWall2x2, "@record/decoders", QStringList{"d0", "d1", "d2", "d3"});
        row("2x2", w, kWall2x2, "nodeRects/0", area(960, 540, 960, 540, "d3", 0));
        row("2x2", w, kWall2x2, "@record/nodeRects/2", QRect(960, 0, 960, 540));
        // By cell index, as the decoders: the first cell in design order is the last one.
        row("2x2", w, kWall2x2, "@record/cellRects/3", QRect(960, 540, 960, 540));
        row("2x2", w, kWall2x2, "@record/docks", QStringList{"Preset 1", "Preset 2"});
        row("2x2", w, kWall2x2, "@record/dock/0",
            QVariantList{window(QRect(0, 0, 960, 540), 1, "192.168.1.20"), window(QRect(960, 0, 960, 540), 2, "")});
        row("2x2", w, kWall2x2, "@record/dock/1/#", 0);
        row("2x2", w, kWall2x2, "audioNormal", QVariantList{area(0, 0, 1920, 1080, "192.168.1.21", 0)});
        row("2x2", w, kWall2x2, "@announcements", QStringList{"Screen:w"});
        row("2x2", w, kWall2x2, "@record/freeLayout", 0);
        row("2x2", w, kWall2x2, "@record/virtualResolution", QSize());
        row("2x2", w, kWall2x2, "@record/description",
            QVariantMap{{"name", ""}, {"id", "7"}, {"mode", ""}, {"size", QSize()}, {"splitSize", QSize(2, 2)}, {"globalPos", QRect()}});
        for (const char *key : {"globalPos", "toolbar", "size", "fullEn"})
            absent("2x2", w, kWall2x2, key);
        row("stray cells", w, kWallStrayCells, "@record/decoders", QStringList{"", "", "", "ok"});
        row("stray cells", w, kWallStrayCells, "nodeRects/#", 4);
        row("toolbar", w, kWallToolbar, "@announcements", QStringList{"Rect:bg", "Button:btn", "Text:cap", "Screen:wt"});
        row("toolbar", w, kWallToolbar, "@announcement/1/enableVisible", false);
        row("toolbar", w, kWallToolbar, "@announcement/1/panel_id", QString("5"));
        row("toolbar", w, kWallToolbar, "@announcement/2/panel_id", QString("5"));
        absent("toolbar", w, kWallToolbar, "@announcement/0/enableVisible");
        row("toolbar", w, kWallToolbar, "toolbar", QVariantMap{{"size", QSize(120, 40)}, {"enableVisible", false}});
        absent("toolbar", w, kWallToolbar, "nodeRects");
        row("no grid", w, kWallNoGrid, "@record/decoders", QStringList{"", "", "", "x"});
        absent("no grid", w, kWallNoGrid, "splitSize");
        row("negative grid", w, kWallNegativeGrid, "@record/decoders", QStringList{"y", "x"});
        row("negative grid", w, kWallNegativeGrid, "splitSize", QSize(-2, 3));
        row("huge grid", w, kWallHugeGrid, "splitSize", QSize(64, 3));
        absent("no grid", w, kWallNoGrid, "audioNormal");
    }
    void walls() { checkRow(); }

    void presetTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QRect>("rect");
        QTest::addColumn<int>("chn");
        QTest::addColumn<QString>("audio");
        QTest::newRow("chn 1, channel cut") << "0,0 960,540 2 192.168.1.20(0)" << true << QRect(0, 0, 960, 540) << 1 << "192.168.1.20";
        QTest::newRow("chn 2, channel 1 cut") << "1920,0 1920,1080 4 10.0.0.21(1)" << true << QRect(1920, 0, 1920, 1080) << 2 << "10.0.0.21";
        QTest::newRow("chn 3, no device") << "0,1080 1920,1080 8" << true << QRect(0, 1080, 1920, 1080) << 3 << "";
        QTest::newRow("chn 0") << "0,0 100,100 0 dev" << true << QRect(0, 0, 100, 100) << 0 << "dev";
        QTest::newRow("bit 2 before bit 4") << "0,0 100,100 6" << true << QRect(0, 0, 100, 100) << 1 << "";
        QTest::newRow("bit 4 before bit 8") << "0,0 100,100 12" << true << QRect(0, 0, 100, 100) << 2 << "";
        QTest::newRow("extra spaces") << "  10,20   30,40   2  " << true << QRect(10, 20, 30, 40) << 1 << "";
        QTest::newRow("other channel kept") << "0,0 1,1 2 10.0.0.5(2)" << true << QRect(0, 0, 1, 1) << 1 << "10.0.0.5(2)";
        QTest::newRow("not numbers") << "a,b c,d x" << true << QRect(0, 0, 0, 0) << 0 << "";
        QTest::newRow("two parts") << "0,0 960,540" << false << QRect() << 0 << "";
        QTest::newRow("empty") << "" << false << QRect() << 0 << "";
        QTest::newRow("spaces only") << "   " << false << QRect() << 0 << "";
    }
    void presetTexts()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        const std::optional<DockWindow> w = parsePresetWindow(text);
        QCOMPARE(w.has_value(), valid);
        if (!valid)
            return;
        QFETCH(QRect, rect);
        QFETCH(int, chn);
        QFETCH(QString, audio);
        QCOMPARE(w->rect, rect);
        QCOMPARE(w->chn, chn);
        QCOMPARE(w->audio, audio);
    }

    void dataWidgets_data()
    {
        addColumns();
        const QString l = "signalList";
        const QString a = "list-wall-a";
        row("list-a", l, a, "objectName", QString("list-wall-a"));
        row("list-a", l, a, "globalPos", QRect(340, 900, 1560, 160));
        row("list-a", l, a, "winNum", 6);
        row("list-a", l, a, "direction", 0);
        row("list-a", l, a, "space", 8);
        row("list-a", l, a, "isShowScrollbar", true);
        row("list-a", l, a, "isShowTextLable", true);
        row("list-a", l, a, "alignHor", 4);
        row("list-a", l, a, "alignVer", 64);
        row("list-a", l, a, "fontFamily", QString("微软雅黑"));
        row("list-a", l, a, "textSize", 16);
        row("list-a", l, a, "textColor", QString("#e8f0f8"));
        row("list-a", l, a, "isItalic", false);
        row("list-a", l, a, "linkedGroup", QStringList{"Studio", "Desktops", "Cameras"});
        row("list-a", l, a, "isDragSlide", true);
        row("list-a", l, a, "isEnableDoubleClick", true);
        row("list-a", l, a, "isEnableLogoSetting", true);
        row("list-a", l, a, "isEnableSignalControl", true);
        row("list-a", l, a, "isEnableSignalClipping", true);
        row("list-a", l, a, "isEnableSignalMark", true);
        row("list-a", l, a, "bkPic", QString(""));
        row("list-a", l, a, "egWidth", 0);
        row("list-a", l, a, "egClr", QString("#2e5a84"));
        row("list-a", l, a, "trans", 100);
        row("list-a", l, a, "isMonoFilled", true);
        row("list-a", l, a, "clr", QString("#0a1826"));
        row("list-a", l, a, "gradientColor/#", 2);
        for (const char *key : {"perPageCount", "monoColor", "family", "px", "textAlignHorizontal"})
            absent("list-a", l, a, key);
        row("list-a", l, a, "scrollMap/objectName", QString("list-wall-a-scroll"));
        row("list-a", l, a, "scrollMap/globalPos", QRect(340, 1050, 1560, 10));
        row("list-a", l, a, "scrollMap/bkPic", states("./image/scroll.png", "./image/scroll.png", "./image/scroll.png"));
        row("list-a", l, a, "scrollMap/text", states("", "", ""));
        row("list-a", l, a, "scrollMap/textColor/pressed", QString("#ffffff"));
        row("list-a", l, a, "scrollMap/egWidth", 1);
        row("list-a", l, a, "scrollMap/egClr", QString("#3f6f9a"));
        row("list-a", l, a, "scrollMap/trans", 100);
        row("list-a", l, a, "scrollMap/isMonoFilled/normal", true);
        row("list-a", l, a, "scrollMap/monoColor/pressed", QString("#4c8fd0"));
        row("list-a", l, a, "scrollMap/gradientColor/normal/1", stop("#4c8fd0", 1.0));
        for (const char *key : {"scrollMap/label", "scrollMap/eventAttrList", "scrollMap/textSize", "scrollMap/cornerTopLeft"})
            absent("list-a", l, a, key);
        row("list-a", l, a, "scrollW", 10);
        row("list-a", l, a, "bkRect/objectName", QString("list-wall-a-cell"));
        row("list-a", l, a, "bkRect/globalPos", QRect(340, 900, 250, 170));
        row("list-a", l, a, "bkRect/bkPic", QString("./image/tile.png"));
        row("list-a", l, a, "bkRect/clr", QString("#13293f"));
        row("list-a", l, a, "bkRect/egWidth", 1);
        row("list-a", l, a, "@visibility/#", 0);
        row("list-b", l, "list-wall-b", "linkedGroup", QStringList{"Mosaics", "会议室", "收藏"});
        row("list-b", l, "list-wall-b", "direction", 1);
        row("vertical list", l, kListDirection1, "scrollW", 12);
        row("vertical list", l, kListDirection1, "@visibility",
            QVariantList{QVariant(QVariantList{"a", "b"}), QVariant(QVariantList{"c"})});
        row("horizontal list", l, kListDirection0, "scrollW", 300);
        absent("bare list", l, kListNoScrollBar, "scrollW");
        absent("bare list", l, kListNoScrollBar, "scrollMap");

        const QString op = "tree:operator";
        const QString tree = "tree-wall-a";
        row("tree", op, tree, "objectName", QString("tree-wall-a"));
        row("tree", op, tree, "globalPos", QRect(20, 164, 300, 896));
        row("tree", op, tree, "rotateDir", 0);
        row("tree", op, tree, "bkPic", QString(""));
        row("tree", op, tree, "egWidth", 1);
        row("tree", op, tree, "egClr", QString("#2e5a84"));
        row("tree", op, tree, "trans", 95);
        row("tree", op, tree, "isNoFilled", false);
        row("tree", op, tree, "isMonoFilled", true);
        row("tree", op, tree, "clr", QString("#0f2236"));
        row("tree", op, tree, "gradientType", 0);
        row("tree", op, tree, "family", QString("微软雅黑"));
        row("tree", op, tree, "textColor", QString("#dbe7f3"));
        row("tree", op, tree, "px", 18);
        row("tree", op, tree, "alignHor", 1);
        row("tree", op, tree, "alignVer", 128);
        row("tree", op, tree, "selectedFGColor", QString("#ffffff"));
        row("tree", op, tree, "selectedBGColor", QString("#2f7fc1"));
        row("tree", op, tree, "collapseImgFile", QString("./image/icons/collapse.png"));
        row("tree", op, tree, "expandImgFile", QString("./image/icons/expand.png"));
        for (const char *key : {"topGroupNames", "monoColor", "textSize", "fontFamily"})
            absent("tree", op, tree, key);
        // The operator may not use "Cameras" and "会议室"; "seat:kvmGroup/Seats" names no signal group.
        row("operator tree", op, tree, "@titles", QStringList{"收藏", "Studio", "Desktops", "Mosaics"});
        row("operator tree", op, tree, "treeModel/0",
            QVariantMap{{"text", "收藏"}, {"istitle", true},
                        {"subnodes", QVariantList{member("Studio camera 2", 1, 0), member("Lobby camera", 10, 0)}}});
        row("operator tree", op, tree, "treeModel/1/subnodes/#", 4);
        row("operator tree", op, tree, "treeModel/1/subnodes/0", member("Studio camera 1", 0, 0));
        row("operator tree", op, tree, "treeModel/3/subnodes",
            QVariantList{member("Studio quad", 0, 1), member("Lobby split", 1, 1)});
        row("admin tree", "tree:admin", tree, "@titles",
            QStringList{"收藏", "Studio", "Desktops", "Cameras", "会议室", "Mosaics"});
        row("admin tree", "tree:admin", tree, "treeModel/3/subnodes/4", member("Dock camera-IPC", 14, 0));
        row("admin tree", "tree:admin", tree, "treeModel/4/subnodes/1", member("会议室 笔记本", 13, 0));
        row("no user", "tree:nobody", tree, "treeModel", QVariantList());
        row("kvm entry", "tree:admin", kTreeSkipped, "@titles", QStringList{"Studio"});

        const QString d = "docker";
        const QString h = "hall-level";
        row("hall-level", d, h, "objectName", QString("hall-level"));
        row("hall-level", d, h, "globalPos", QRect(420, 780, 460, 240));
        row("hall-level", d, h, "dataDockerType", 2);
        row("hall-level", d, h, "dataMinValue", -60);
        row("hall-level", d, h, "dataMaxValue", 0);
        row("hall-level", d, h, "isShowLable", true);
        row("hall-level", d, h, "eventAttrList/0/delay", 1000);
        row("hall-level", d, h, "eventAttrList/0/value/recv/wildcard", QVariantList{"$L"});
        row("hall-level", d, h, "textMap",
            QVariantMap{{"objectName", "hall-level-text"}, {"globalPos", QRect(420, 780, 460, 40)},
                        {"text", "Hall level (dB)"}, {"fontFamily", "微软雅黑"}, {"textClr", "#e8f0f8"},
                        {"textSize", 18}, {"alignHor", 4}, {"alignVer", 128}});
        row("hall-level", d, h, "bkRectMap/objectName", QString("hall-level-bk"));
        row("hall-level", d, h, "bkRectMap/gradientRotate", 90);
        row("hall-level", d, h, "bkRectMap/isGradientFilled", true);
        row("hall-level", d, h, "bkRectMap/gradientColor/1", stop("#d8b020", 0.7));
        absent("hall-level", d, h, "send");
        row("hall-level", d, h, "@target", QString("Docker"));
        row("hall-level", d, h, "@listeners", 1);
        row("hall-level", d, h, "@listener/name", QString("hall-level"));
        row("hall-level", d, h, "@listener/send",
            QVariantMap{{"time", 1000}, {"ip", "{{NET}}.8"}, {"port", 9000}, {"type", "Hex"}, {"protocol", "Udp"},
                        {"data", "AA 55 10 01 CC"}, {"bit", "8"}, {"mode", ""}});
        row("hall-level", d, h, "@listener/recv",
            QVariantMap{{"ip", "{{NET}}.8"}, {"port", 9010}, {"type", "HEX"}, {"protocol", "Udp"},
                        {"data", "aa559001$Lcc"}, {"bit", "8"}, {"mode", ""}, {"precision", 0}, {"key", "$L"},
                        {"percentage", false}});
        row("type 0", d, kDockerType0, "@target", QString("Monitor"));
        row("type 0", d, kDockerType0, "@listeners", 0);
        row("type 0", d, kDockerType0, "eventAttrList/0/delay", 500);
        row("type 2 bare", d, kDockerType2Bare, "@target", QString("Docker"));
        row("type 2 bare", d, kDockerType2Bare, "@listeners", 1);
        row("type 2 bare", d, kDockerType2Bare, "@listener/name", QString("lvl"));
        row("type 2 bare", d, kDockerType2Bare, "@listener/send/time", 0);
        row("type 2 bare", d, kDockerType2Bare, "@listener/recv/key", QString());
        row("type 2 bare", d, kDockerType2Bare, "@visibility",
            QVariantList{QVariant(QVariantList{"x"}), QVariant(QVariantList{"y"})});

        const QString s = "slider";
        row("volume", s, "volume", "objectName", QString("volume"));
        row("volume", s, "volume", "globalPos", QRect(70, 650, 700, 70));
        row("volume", s, "volume", "showTextLable", true);
        row("volume", s, "volume", "minValue", 0);
        row("volume", s, "volume", "maxValue", 100);
        row("volume", s, "volume", "defaultValue", 40);
        row("volume", s, "volume", "stepValue", 1);
        row("volume", s, "volume", "sliderType", 0);
        row("volume", s, "volume", "startAngle", 270);
        row("volume", s, "volume", "endAngle", 270);
        row("volume", s, "volume", "rotateDir", 0);
        row("volume", s, "volume", "eventAttrList/0/value/wildcard/$V", QString("volume"));
        row("volume", s, "volume", "eventAttrList/0/value/port", 9000);
        row("volume", s, "volume", "textMap/objectName", QString("volume-value"));
        row("volume", s, "volume", "textMap/text", QString("40"));
        row("volume", s, "volume", "textMap/family", QString("微软雅黑"));
        row("volume", s, "volume", "textMap/px", 20);
        row("volume", s, "volume", "textMap/alignHor", 4);
        row("volume", s, "volume", "textMap/alignVer", 128);
        row("volume", s, "volume", "buttonMap/objectName", QString("volume-handle"));
        row("volume", s, "volume", "buttonMap/label", QString("handle"));
        row("volume", s, "volume", "buttonMap/globalPos", QRect(70, 661, 28, 48));
        row("volume", s, "volume", "buttonMap/bkPic/normal", QString("./image/handle.png"));
        row("volume", s, "volume", "bkRectMap/objectName", QString("volume-track"));
        row("volume", s, "volume", "bkRectMap/clr", QString("#1f3c59"));
        row("volume", s, "volume", "bkRectMap/cornerTopLeft", 6);
        absent("volume", s, "volume", "text");
        row("knob", s, "mic-gain", "sliderType", 2);
        row("knob", s, "mic-gain", "startAngle", 225);
        row("knob", s, "mic-gain", "endAngle", 315);
        row("knob", s, "mic-gain", "maxValue", 60);
        row("knob", s, "mic-gain", "bkRectMap/bkPic", QString("./image/knob.png"));
    }
    void dataWidgets() { checkRow(); }

    void webAndStack_data()
    {
        addColumns();
        row("web", "web", kWeb, "objectName", QString("web1"));
        row("web", "web", kWeb, "globalPos", QRect(10, 20, 640, 480));
        row("web", "web", kWeb, "url", QString("http://10.0.0.9/status"));
        row("web", "web", kWeb, "preloadEnable", true);
        row("web", "web", kWeb, "#", 4);
        row("bare web", "web", kWebBare, "url", QString());
        absent("bare web", "web", kWebBare, "preloadEnable");
        const QVariantList three{QVariant(QVariantList{"a"}), QVariant(QVariantList{"b", "c"}), QVariant(QVariantList{"d"})};
        row("stack", "stack", kStack, "objectName", QString("st"));
        row("stack", "stack", kStack, "pages", three);
        row("stack", "stack", kStack, "@visibility", three);
        absent("odd stack", "stack", kStackOddPages, "pages");
        row("odd stack", "stack", kStackOddPages, "@visibility/#", 0);
    }
    void webAndStack() { checkRow(); }
};

QTEST_GUILESS_MAIN(TestWidgetBuilders)
#include "tst_widgetbuilders.moc"
