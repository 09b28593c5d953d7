// Replies on the command socket and the actions they give, one table per reply family.
#include "dispatch/replies.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QtTest>

using namespace kora::dispatch;
using Actions = QList<Action>;
using Presets = QMap<QString, QStringList>;

Q_DECLARE_METATYPE(Actions)
Q_DECLARE_METATYPE(Presets)

namespace {

const char *const Own = "10.0.0.1";      // the client
const char *const Decoder1 = "10.0.0.20"; // wall 1
const char *const Decoder2 = "10.0.0.24"; // wall 2, listed as "10.0.0.24-1"
const char *const Stranger = "10.0.0.99";

const std::vector<kora::SignalRecord> &signalList()
{
    static const std::vector<kora::SignalRecord> list{
        {"Input 1", "10.0.0.30", false, "udp://239.10.1.1:5000", "udp://239.10.2.1:5000", "", ""},
    };
    return list;
}

Context context()
{
    Context c;
    c.signalList = &signalList();
    c.walls = {{"1", {"10.0.0.20", "10.0.0.21"}}, {"2", {"10.0.0.24-1"}}};
    c.selPanel = "1";
    c.localIp = Own;
    return c;
}

Presets presets()
{
    return {{"mx", {"Morning*&_0_1", "Evening*&_1_0"}}, {"my", {}}};
}

Action act(Kind kind, const QString &wallId = {})
{
    Action a;
    a.kind = kind;
    a.wallId = wallId;
    return a;
}

Action withMap(Kind kind, const QVariantMap &map, const QString &wallId = {})
{
    Action a = act(kind, wallId);
    a.map = map;
    return a;
}

Action withText(Kind kind, const QString &text, const QString &wallId = {})
{
    Action a = act(kind, wallId);
    a.text = text;
    return a;
}

Action withList(Kind kind, const QVariantList &list, const QString &wallId = {})
{
    Action a = act(kind, wallId);
    a.list = list;
    return a;
}

Action withObject(Kind kind, const char *json)
{
    Action a = act(kind);
    a.object = QJsonDocument::fromJson(json).object();
    Q_ASSERT(!a.object.isEmpty());
    return a;
}

QVariantMap window(const QString &src, const QString &url, const QString &x, const QString &y, const QString &w,
                   const QString &h, const QString &id = {})
{
    QVariantMap m{{"src_ip", src}, {"url", url}, {"x", x}, {"y", y}, {"w", w}, {"h", h}, {"type", id.isNull() ? 0 : 1}};
    if (!id.isNull()) {
        m.insert("id", id);
        m.insert("index", id.section('_', 0, 0));
    }
    return m;
}

// Window of the known signal 10.0.0.30: both of its streams.
QVariantMap known(QVariantMap m)
{
    m.insert("url", "udp://239.10.1.1:5000");
    m.insert("url2", "udp://239.10.2.1:5000");
    return m;
}

Action block(const QString &wallId, const QVariantMap &map) { return withMap(Kind::AddBlock, map, wallId); }

Action scenes(const QString &wallId, const QStringList &ids, const QStringList &names)
{
    Action a = act(Kind::AddScenes, wallId);
    a.ids = ids;
    a.names = names;
    return a;
}

QVariantMap entry(const QString &id, const QString &name = {}, const QString &url0 = {}, const QString &url1 = {},
                  const QString &snapUrl = {}, const QString &path = {})
{
    return {{"id", id}, {"name", name}, {"url0", url0}, {"url1", url1}, {"snapUrl", snapUrl}, {"path", path}};
}

QString describe(const Action &a)
{
    QStringList parts{kindName(a.kind)};
    if (!a.wallId.isEmpty())
        parts << "wall=" + a.wallId;
    if (!a.map.isEmpty())
        parts << "map=" + QString::fromUtf8(QJsonDocument(QJsonObject::fromVariantMap(a.map)).toJson(QJsonDocument::Compact));
    if (!a.list.isEmpty())
        parts << "list=" + QString::fromUtf8(QJsonDocument(QJsonArray::fromVariantList(a.list)).toJson(QJsonDocument::Compact));
    if (!a.ids.isEmpty() || !a.names.isEmpty())
        parts << "ids=" + a.ids.join('|') << "names=" + a.names.join('|');
    if (!a.text.isEmpty())
        parts << "text=" + a.text;
    if (!a.object.isEmpty())
        parts << "object=" + QString::fromUtf8(QJsonDocument(a.object).toJson(QJsonDocument::Compact));
    if (!a.raw.isEmpty())
        parts << "raw=" + QString::fromLatin1(a.raw.toHex());
    return parts.join(' ');
}

QStringList describe(const Actions &actions)
{
    QStringList out;
    for (const Action &a : actions)
        out << describe(a);
    return out;
}

void addColumns()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<QString>("sender");
    QTest::addColumn<Actions>("expected");
}

void row(const char *name, const QByteArray &datagram, const Actions &expected, const QString &sender = Decoder1)
{
    QTest::newRow(name) << datagram << sender << expected;
}

// Runs the row against the usual context; returns the state afterwards.
Presets check()
{
    QFETCH(QByteArray, datagram);
    QFETCH(QString, sender);
    QFETCH(Actions, expected);
    State state{presets()};
    const Actions got = dispatchDatagram(datagram, sender, context(), state);
    // The descriptions show where lists differ; the comparison also tells 0 from "0".
    [&] { QCOMPARE(describe(got), describe(expected)); }();
    if (QTest::currentTestFailed())
        return state.matrixPresets;
    [&] { QVERIFY(got == expected); }();
    return state.matrixPresets;
}

QByteArray repeated(const QByteArray &head, const QByteArray &item, int count, const QByteArray &tail = "}")
{
    QByteArray out = head;
    for (int i = 0; i < count; ++i)
        out += ';' + item;
    return out + tail;
}

} // namespace

// The slots are defined after the class: moc loses its place in raw strings that hold an
// odd number of quotes, and it has read the class by then.
class TestReplies : public QObject
{
    Q_OBJECT
private slots:
    void getWindows_data();
    void getWindows();
    void getSceneNames_data();
    void getSceneNames();
    void acknowledgements_data();
    void acknowledgements();
    void callScene_data();
    void callScene();
    void getScenes_data();
    void getScenes();
    void status_data();
    void status();
    void clocks_data();
    void clocks();
    void encoderReport_data();
    void encoderReport();
    void jsonResponses_data();
    void jsonResponses();
    void otherReplies_data();
    void otherReplies();
    void garbage_data();
    void garbage();
    // The helpers the scene code calls directly.
    void windowDescription_data();
    void windowDescription();
};

void TestReplies::getWindows_data()
{
    addColumns();
    const QByteArray winA = "10.0.0.31,udp://239.0.0.31:5000,0,0,1920,1080";
    const QVariantMap mapA = window("10.0.0.31", "udp://239.0.0.31:5000", "0", "0", "1920", "1080");
    row("normal wall", "{GetWindows;1;" + winA + "}", {act(Kind::ClearBlock, "1"), block("1", mapA)});
    row("6 values: type 0, 7 values: type 1 with id and index",
        "{GetWindows;1;" + winA + ";10.0.0.32,udp://u,960,0,960,540,3_2;10.0.0.33,udp://v,0,540,960,540,7}",
        {act(Kind::ClearBlock, "1"), block("1", mapA),
         block("1", window("10.0.0.32", "udp://u", "960", "0", "960", "540", "3_2")),
         block("1", window("10.0.0.33", "udp://v", "0", "540", "960", "540", "7"))});
    row("more than 7 values: the rest is not read", "{GetWindows;1;10.0.0.32,udp://u,1,2,3,4,5_1,x,y}",
        {act(Kind::ClearBlock, "1"), block("1", window("10.0.0.32", "udp://u", "1", "2", "3", "4", "5_1"))});
    row("a known signal shows both of its streams", "{GetWindows;1;10.0.0.30,udp://239.0.0.99:1,0,0,960,540}",
        {act(Kind::ClearBlock, "1"), block("1", known(window("10.0.0.30", "", "0", "0", "960", "540")))});
    row("100 from a node of wall 2 (listed with a suffix)", "{GetWindows;100;" + winA + "}",
        {act(Kind::ClearBlock, "2"), block("2", mapA)}, Decoder2);
    row("100 from an IPv4-mapped sender of wall 1", "{GetWindows;100;" + winA + "}",
        {act(Kind::ClearBlock, "1"), block("1", mapA)}, "::ffff:10.0.0.21");
    row("100 from a node of no wall stays 100", "{GetWindows;100;" + winA + "}",
        {act(Kind::ClearBlock, "100"), block("100", mapA)}, Stranger);
    row("no windows", "{GetWindows;1;}", {act(Kind::ClearBlock, "1")});
    row("no window field", "{GetWindows;1}", {act(Kind::ClearBlock, "1")});
    row("fewer than 6 values skipped, the rest shown", "{GetWindows;1;10.0.0.32,udp://u,0,0,960;" + winA + "}",
        {act(Kind::ClearBlock, "1"), block("1", mapA)});
    row("non-numeric geometry skipped", "{GetWindows;1;10.0.0.32,udp://u,0,zero,960,540;" + winA + ";a,b,0,0,inf,1}",
        {act(Kind::ClearBlock, "1"), block("1", mapA)});
    row("decimal geometry kept as sent", "{GetWindows;1;10.0.0.32,udp://u,0.5,-10,960,540}",
        {act(Kind::ClearBlock, "1"), block("1", window("10.0.0.32", "udp://u", "0.5", "-10", "960", "540"))});
    row("unknown wall", "{GetWindows;9;" + winA + "}", {});
    row("no wall id", "{GetWindows}", {});
    row("empty wall id", "{GetWindows;;" + winA + "}", {});

    const QByteArray small = "a,u,0,0,1,1";
    Actions most{act(Kind::ClearBlock, "1")};
    for (int i = 0; i < kMaxWindowsPerReply; ++i)
        most << block("1", window("a", "u", "0", "0", "1", "1"));
    row("4096 windows", repeated("{GetWindows;1", small, kMaxWindowsPerReply), most);
    row("4097 windows refused", repeated("{GetWindows;1", small, kMaxWindowsPerReply + 1), {});
}

void TestReplies::getWindows()
{
    check();
}

void TestReplies::getSceneNames_data()
{
    addColumns();
    row("two scenes", "{GetSceneNames;1;s1,Morning;s2,Evening}", {scenes("1", {"s1", "s2"}, {"Morning", "Evening"})});
    row("GBK name", "{GetSceneNames;1;s1,\xbb\xe1\xd2\xe9}", {scenes("1", {"s1"}, {QStringLiteral("会议")})});
    row("no scenes", "{GetSceneNames;1}", {scenes("1", {}, {})});
    row("empty field", "{GetSceneNames;1;}", {scenes("1", {}, {})});
    row("a field without name skipped", "{GetSceneNames;1;s1;s2,B;,C}", {scenes("1", {"s2"}, {"B"})});
    row("empty name kept", "{GetSceneNames;1;s1,}", {scenes("1", {"s1"}, {""})});
    row("unknown wall", "{GetSceneNames;7;s1,A}", {});
    QStringList ids, names;
    for (int i = 0; i < kMaxScenesPerMessage; ++i) {
        ids << "s";
        names << "n";
    }
    row("1024 scenes", repeated("{GetSceneNames;1", "s,n", kMaxScenesPerMessage), {scenes("1", ids, names)});
    row("1025 scenes refused", repeated("{GetSceneNames;1", "s,n", kMaxScenesPerMessage + 1), {});
}

void TestReplies::getSceneNames()
{
    check();
}

void TestReplies::acknowledgements_data()
{
    addColumns();
    for (const char *name : {"SetWindows", "ResizeWindows", "ReurlWindows", "RecropWindows"}) {
        row(name, QByteArray("{") + name + ";2}", {act(Kind::GetWindowsSoon, "2")});
        row(qPrintable(QString("%1, unknown wall").arg(name)), QByteArray("{") + name + ";5}", {});
    }
    row("SetWindows without wall id", "{SetWindows}", {});
    row("SaveScene", "{SaveScene;1}", {act(Kind::GetScenesSoon, "1")});
    row("SaveScene, unknown wall", "{SaveScene;3}", {});
    row("KvmSignalChange", "{KvmSignalChange;10.0.0.40}", {act(Kind::SendGetWindows100, "10.0.0.40")});
    row("KvmSignalChange, suffix cut", "{KvmSignalChange;10.0.0.40-2}", {act(Kind::SendGetWindows100, "10.0.0.40")});
    row("KvmSignalChange, no address", "{KvmSignalChange;seat}", {});
    row("KvmSignalChange, group address", "{KvmSignalChange;224.168.1.1}", {});
    row("KvmSignalChange, broadcast", "{KvmSignalChange;255.255.255.255}", {});
    row("KvmSignalChange, no field", "{KvmSignalChange}", {});
}

void TestReplies::acknowledgements()
{
    check();
}

void TestReplies::callScene_data()
{
    addColumns();
    row("3 fields: the scene, then the windows", "{CallScene;1;s1}",
        {withText(Kind::RefreshScene, "s1", "1"), act(Kind::GetWindowsSoon, "1")});
    row("2 fields: only the windows", "{CallScene;1}", {act(Kind::GetWindowsSoon, "1")});
    row("4 fields: only the windows", "{CallScene;1;s1;x}", {act(Kind::GetWindowsSoon, "1")});
    row("empty scene id: only the windows", "{CallScene;1;}", {act(Kind::GetWindowsSoon, "1")});
    row("unknown wall", "{CallScene;4;s1}", {});
}

void TestReplies::callScene()
{
    check();
}

void TestReplies::getScenes_data()
{
    addColumns();
    row("two scenes with windows",
        "{GetScenes;1;s1,Morning,{1;2;10.0.0.31,udp://a,0,0,960,540;10.0.0.30,udp://x,960,0,960,540,3_1},;"
        "s2,Evening,{1;1;10.0.0.32,udp://c,0,0,1920,1080},}",
        {withObject(Kind::ScenesMsg, R"({"panel_id":"1","scene_array":[
            {"scene_id":"s1","scene_name":"Morning","scene_blocks":[
                {"src_ip":"10.0.0.31","url":"udp://a","x":"0","y":"0","w":"960","h":"540","type":0},
                {"src_ip":"10.0.0.30","url":"udp://239.10.1.1:5000","url2":"udp://239.10.2.1:5000",
                 "x":"960","y":"0","w":"960","h":"540","type":1,"id":"3_1","index":"3"}]},
            {"scene_id":"s2","scene_name":"Evening","scene_blocks":[
                {"src_ip":"10.0.0.32","url":"udp://c","x":"0","y":"0","w":"1920","h":"1080","type":0}]}]})")});
    row("last scene without trailing comma: its brace is no part of a window",
        "{GetScenes;2;s1,A,{2;1;10.0.0.31,udp://a,0,0,960,540}}",
        {withObject(Kind::ScenesMsg, R"({"panel_id":"2","scene_array":[{"scene_id":"s1","scene_name":"A","scene_blocks":[
            {"src_ip":"10.0.0.31","url":"udp://a","x":"0","y":"0","w":"960","h":"540","type":0}]}]})")});
    row("GBK name, scene without windows", "{GetScenes;1;s1,\xbb\xe1\xd2\xe9,{1;0},}",
        {withObject(Kind::ScenesMsg, "{\"panel_id\":\"1\",\"scene_array\":[{\"scene_id\":\"s1\",\"scene_name\":\""
                                     "\xe4\xbc\x9a\xe8\xae\xae\",\"scene_blocks\":[]}]}")});
    row("scene without layout", "{GetScenes;1;s1,A}",
        {withObject(Kind::ScenesMsg, R"({"panel_id":"1","scene_array":[{"scene_id":"s1","scene_name":"A","scene_blocks":[]}]})")});
    row("no scenes", "{GetScenes;1}", {withObject(Kind::ScenesMsg, R"({"panel_id":"1","scene_array":[]})")});
    row("a piece without comma or id skipped, empty pieces ignored", "{GetScenes;1;junk;;,B,{1;0},;s1,A,{1;0},}",
        {withObject(Kind::ScenesMsg, R"({"panel_id":"1","scene_array":[{"scene_id":"s1","scene_name":"A","scene_blocks":[]}]})")});
    row("malformed windows skipped", "{GetScenes;1;s1,A,{1;3;a,b,0;10.0.0.31,udp://a,0,0,x,1;10.0.0.31,udp://a,0,0,1,1},}",
        {withObject(Kind::ScenesMsg, R"({"panel_id":"1","scene_array":[{"scene_id":"s1","scene_name":"A","scene_blocks":[
            {"src_ip":"10.0.0.31","url":"udp://a","x":"0","y":"0","w":"1","h":"1","type":0}]}]})")});
    row("unclosed brace", "{GetScenes;1;s1,A,{1;1;10.0.0.31,udp://a,0,0,1,1;s2,B,{1;0},}", {});
    row("stray closing brace", "{GetScenes;1;s1,A},B,{1;0},}", {});
    row("unknown wall", "{GetScenes;8;s1,A,{1;0},}", {});

    QJsonArray many;
    for (int i = 0; i < kMaxScenesPerMessage; ++i)
        many.append(QJsonObject{{"scene_id", "s"}, {"scene_name", "n"}, {"scene_blocks", QJsonArray{}}});
    Action all = act(Kind::ScenesMsg);
    all.object = {{"panel_id", "1"}, {"scene_array", many}};
    row("1024 scenes", repeated("{GetScenes;1", "s,n,{1;0},", kMaxScenesPerMessage), {all});
    row("1025 scenes refused", repeated("{GetScenes;1", "s,n,{1;0},", kMaxScenesPerMessage + 1), {});
    const QByteArray half = repeated("s,n,{1;2", "a,u,0,0,1,1", kMaxWindowsPerReply / 2, "},");
    row("4097 windows over two scenes refused", "{GetScenes;1;" + half + ";" + half + ";s,n,{1;1;a,u,0,0,1,1},}", {});
}

void TestReplies::getScenes()
{
    check();
}

void TestReplies::status_data()
{
    addColumns();
    QTest::addColumn<Presets>("presetsAfter");
    const auto statusRow = [](const char *name, const QByteArray &datagram, const Actions &expected,
                              const Presets &after = presets()) {
        QTest::newRow(name) << datagram << QString(Decoder1) << expected << after;
    };
    const QVariantMap slider{{"uuid", "sl1"}, {"value", "42.5"}};
    statusRow("SetStatus S_", "{SetStatus;S_sl1_42.5}", {withMap(Kind::RefreshSlider, slider)});
    statusRow("GetClientInfo S_", "{GetClientInfo;S_sl1_42.5}", {withMap(Kind::RefreshSlider, slider)});
    statusRow("SetStatus B_", "{SetStatus;B_b1_1}", {withMap(Kind::RefreshButtonAct, {{"uuid", "b1"}, {"value", "1"}})});
    statusRow("GetClientInfo B_", "{GetClientInfo;B_b1_0}", {withMap(Kind::RefreshButton, {{"uuid", "b1"}, {"value", "0"}})});
    statusRow("S_ without value", "{SetStatus;S_sl1}", {});
    statusRow("B_ without uuid", "{GetClientInfo;B__1}", {});
    statusRow("no key", "{SetStatus}", {});
    statusRow("unknown key type", "{SetStatus;X_a_1}", {});

    statusRow("SetStatus M_: the stored presets", "{SetStatus;M_mx_0_-1}",
              {withMap(Kind::RefreshMatrix, {{"uuid", "mx"}, {"value", QStringList{"0", "-1"}},
                                             {"preset", QStringList{"Morning", "Evening"}}})});
    Presets replaced = presets();
    replaced["mx"] = QStringList{"Day*&_1_-1", "Night*&_0_0"};
    statusRow("GetClientInfo M_ with presets replaces them", "{GetClientInfo;M_mx_1_-1&*Day*&_1_-1&*Night*&_0_0}",
              {withMap(Kind::RefreshMatrix, {{"uuid", "mx"}, {"value", QStringList{"1", "-1"}},
                                             {"preset", QStringList{"Day", "Night"}}})},
              replaced);
    Presets none = presets();
    none["mx"] = QStringList{};
    statusRow("GetClientInfo M_ without presets empties them", "{GetClientInfo;M_mx_0_0}",
              {withMap(Kind::RefreshMatrix, {{"uuid", "mx"}, {"value", QStringList{"0", "0"}}, {"preset", QStringList{}}})},
              none);
    Presets chinese = presets();
    chinese["my"] = QStringList{QStringLiteral("早*&_0")};
    statusRow("GetClientInfo M_ with a UTF-8 preset name", "{GetClientInfo;M_my_0&*\xe6\x97\xa9*&_0}",
              {withMap(Kind::RefreshMatrix, {{"uuid", "my"}, {"value", QStringList{"0"}}, {"preset", QStringList{QStringLiteral("早")}}})},
              chinese);
    statusRow("M_ of an unknown matrix changes nothing", "{GetClientInfo;M_zz_0&*A*&_0}", {});
    statusRow("M_ without uuid", "{SetStatus;M_}", {});
    statusRow("SetStatus O_ goes to the trace", "{SetStatus;O_x_1}", {withText(Kind::Trace, "O_x_1")});
    statusRow("GetClientInfo O_ is ignored", "{GetClientInfo;O_x_1}", {});

    const QString osdText = "{\n    \"enable\": true,\n    \"obj\": \"osd\",\n    \"string\": \"Hi\",\n    \"uuid\": \"1\"\n}\n";
    const QByteArray osd = R"("{"obj":"osd","uuid":"1","enable":true,"string":"Hi"}")";
    statusRow("SetStatus osd", "{SetStatus;" + osd + "}", {withText(Kind::RefreshOsd, osdText)});
    statusRow("GetClientInfo osd", "{GetClientInfo;" + osd + "}", {withText(Kind::RefreshOsd, osdText)});
    statusRow("osd without quotes is no JSON", R"({SetStatus;{"obj":"osd","uuid":"1"}})", {});

    const QByteArray cycle = R"({"obj":"cycle","uuid":"1","time":"10","memb":["1700000000_dock=1","s2"]})";
    statusRow("GetClientInfo cycle", "{GetClientInfo;\"" + cycle + "\"}", {withObject(Kind::RefreshCycle, cycle)});
    statusRow("SetStatus cycle is ignored", "{SetStatus;\"" + cycle + "\"}", {});

    const QVariantMap day{{"name", "Day"}, {"hotkey", "F1"}, {"id", "g1"}, {"time", 10},
                          {"sceneIds", QStringList{"s1", "s2"}}, {"sceneNames", QStringList{"A", "B"}}};
    const QVariantMap old{{"name", "Old"}, {"hotkey", ""}, {"id", "Old"}, {"time", 5},
                          {"sceneIds", QStringList{}}, {"sceneNames", QStringList{}}};
    const QByteArray groups =
        R"(,"data":[{"id":"g1","name":"Day","time":10,"hotkey":"F1","isCall":false,"sceneIds":["s1","s2"],"sceneNames":["A","B"]},)"
        R"({"name":"Old","time":"5"},{"name":"Bad","time":"soon"},7]})";
    statusRow("GetClientInfo cycleGroups: malformed groups skipped",
              R"({GetClientInfo;"{"obj":"cycleGroups","id":"2")" + groups + "\"}",
              {withList(Kind::CycleGroups, {day, old}, "2"), act(Kind::RefreshCycleGroups)});
    statusRow("cycleGroups with a numeric wall id", R"({GetClientInfo;"{"obj":"cycleGroups","id":1,"data":[]}"})",
              {withList(Kind::CycleGroups, {}, "1"), act(Kind::RefreshCycleGroups)});
    statusRow("cycleGroups of no wall still refresh", R"({GetClientInfo;"{"obj":"cycleGroups","id":"9")" + groups + "\"}",
              {act(Kind::RefreshCycleGroups)});
    statusRow("cycleGroups without data list", R"({GetClientInfo;"{"obj":"cycleGroups","id":"1","data":{}}"})", {});
    statusRow("SetStatus cycleGroups is ignored", R"({SetStatus;"{"obj":"cycleGroups","id":"1","data":[]}"})", {});
}

void TestReplies::status()
{
    QFETCH(Presets, presetsAfter);
    const Presets after = check();
    if (!QTest::currentTestFailed())
        QCOMPARE(after, presetsAfter);
}

void TestReplies::clocks_data()
{
    addColumns();
    const QVariantMap clock{{"xPos", "10"},   {"yPos", "20"},        {"w", "300"},         {"h", "80"},
                            {"content", "Line 1\nLine 2"}, {"bkClr", "#000000"}, {"fontClr", "#ffffff"}, {"fontSize", "24"}};
    const QByteArray field = R"(10,20,300,80,Line 1\nLine 2,#000000,#ffffff,24,"normal")";
    row("selected wall", "{GetClockOsd;1;" + field + "}", {withList(Kind::Clocks, {clock})});
    row("another wall", "{GetClockOsd;2;" + field + "}", {});
    row("no clocks", "{GetClockOsd;1}", {withList(Kind::Clocks, {})});
    row("a short field ends the list", "{GetClockOsd;1;" + field + ";1,2,3;" + field + "}", {withList(Kind::Clocks, {clock})});
    const QVariantMap odd{{"xPos", "x"}, {"yPos", "20"}, {"w", "300"}, {"h", "80"}, {"content", "a"}, {"bkClr", "#0"}, {"fontClr", "#1"}, {"fontSize", "big"}};
    row("a non-number is kept, so that saving hands it back", "{GetClockOsd;1;x,20,300,80,a,#0,#1,big;" + field + "}",
        {withList(Kind::Clocks, {odd, clock})});
    QVariantMap utf8 = clock;
    utf8["content"] = QStringLiteral("时间");
    row("UTF-8 content", "{GetClockOsd;1;10,20,300,80,\xe6\x97\xb6\xe9\x97\xb4,#000000,#ffffff,24}", {withList(Kind::Clocks, {utf8})});
}

void TestReplies::clocks()
{
    check();
}

void TestReplies::encoderReport_data()
{
    addColumns();
    const QByteArray report = "[venc]\nname=Input 1\nip=10.0.0.30\nmain_url=udp://239.10.1.1:5000\n";
    row("from an encoder", report,
        {withMap(Kind::SignalMsg, {{"[venc]", ""}, {"name", "Input 1"}, {"ip", "10.0.0.30"}, {"main_url", "udp://239.10.1.1:5000"}})},
        "10.0.0.30");
    row("from the client's own address", report,
        {withText(Kind::Trace, "encoder report from the client's own address 10.0.0.1 dropped")}, Own);
    row("not on the first line", "x\n" + report, {}, "10.0.0.30");
}

void TestReplies::encoderReport()
{
    check();
}

void TestReplies::jsonResponses_data()
{
    addColumns();
    const QVariantMap input1 = entry("1", "Input 1", "udp://239.10.1.1:5000", "udp://239.10.2.1:5000", "10.0.0.30:19997", "Inputs");
    const QByteArray input1Json =
        R"({"id":"1","name":"Input 1","url0":"udp://239.10.1.1:5000","url1":"udp://239.10.2.1:5000","snapUrl":"10.0.0.30:19997","path":"Inputs"})";
    row("tree", R"({"code":"0","data":{"list":[)" + input1Json + R"(]},"msg":"ok","response":"GetSignalResourcesTree"})",
        {withList(Kind::SignalTree, {input1})}, "10.0.0.5");
    row("tree: numeric code and id, missing fields empty, entry without id skipped",
        R"({"code":0,"data":{"list":[{"id":7,"name":"Cam"},{"name":"no id"},"x"]},"response":"GetSignalResourcesTree"})",
        {withList(Kind::SignalTree, {entry("7", "Cam")})}, "10.0.0.5");
    row("tree without code", R"({"data":{"list":[]},"response":"GetSignalResourcesTree"})", {withList(Kind::SignalTree, {})});
    row("tree, code 1", R"({"code":1,"data":{"list":[)" + input1Json + R"(]},"response":"GetSignalResourcesTree"})", {});
    row("tree, code \"1\"", R"({"code":"1","data":{"list":[)" + input1Json + R"(]},"response":"GetSignalResourcesTree"})", {});
    row("tree, code \"x\"", R"({"code":"x","data":{"list":[]},"response":"GetSignalResourcesTree"})", {});
    row("tree without list", R"({"code":0,"data":{},"response":"GetSignalResourcesTree"})", {});
    row("tree with 4097 entries", R"({"code":0,"data":{"list":[)" + repeated(R"({"id":"1"})", R"({"id":"1"})", 4096, "") .replace(";", ",")
                                      + R"(]},"response":"GetSignalResourcesTree"})", {});

    Action page = withList(Kind::SignalTreePage, {input1, entry("2", "Input 2")});
    page.map = {{"total", 12}, {"index", 2}};
    row("page", R"({"code":"0","data":{"total":12,"index":"2","list":[)" + input1Json
                    + R"(,{"id":"2","name":"Input 2"},{"id":"3","snapUrl":"camera"},{"id":"4","snapUrl":"10.0.0.9:0"}]},"response":"GetSignalResourcesTreePage"})",
        {page});
    row("page with non-numeric total", R"({"code":0,"data":{"total":"many","index":1,"list":[]},"response":"GetSignalResourcesTreePage"})", {});

    row("snapshot addresses: one per id, the later wins",
        R"({"code":0,"response":"SetWindows","data":[{"id":"1","snapUrl":"10.0.0.30:19997"},{"id":"2","snapUrl":"10.0.0.31:19997"},)"
        R"({"id":"1","snapUrl":"10.0.0.30:19998"},{"id":"3"},{"id":"4","snapUrl":"nowhere:1"}]})",
        {withList(Kind::SnapUrls, {entry("1", {}, {}, {}, "10.0.0.30:19998"), entry("2", {}, {}, {}, "10.0.0.31:19997")})});
    row("snapshot addresses, code 1", R"({"code":1,"response":"SetWindows","data":[{"id":"1","snapUrl":"10.0.0.30:19997"}]})", {});
    row("a request", R"({"request":"GetSignalResourcesTree","code":0,"response":"GetSignalResourcesTree","data":{"list":[]}})", {});
    row("unknown response", R"({"code":0,"response":"GetDev","data":{}})", {});
    row("an array", "[1,2]", {});
    row("empty object", "{}", {});
}

void TestReplies::jsonResponses()
{
    check();
}

void TestReplies::otherReplies_data()
{
    addColumns();
    Action custom = act(Kind::CustomProtocol);
    custom.raw = "{InlineTextControl;t1;Hello}";
    row("InlineTextControl", custom.raw, {custom});
    custom.raw = "{InlineSetPanelDock;1;2}";
    row("InlineSetPanelDock", custom.raw, {custom});
    custom.raw = "{InlineSetPanelCut;1}";
    row("InlineSetPanelCut", custom.raw, {custom});
    row("Uploaded", "{Uploaded;osd1.yuv}", {withText(Kind::Trace, "{Uploaded;osd1.yuv}")});
}

void TestReplies::otherReplies()
{
    check();
}

void TestReplies::garbage_data()
{
    addColumns();
    row("empty", "", {});
    row("text", "hello", {});
    row("unknown reply", "{Nope;1}", {});
    row("name differs in case", "{getwindows;1;a,u,0,0,1,1}", {});
    row("not closed", "{GetWindows;1;a,u,0,0,1,1", {});
    row("trailing line feed", "{GetWindows;1;a,u,0,0,1,1}\n", {});
    row("one brace", "{", {});
    row("binary", QByteArray("\xff\xfe\x00{GetWindows;1}", 17), {});

    // The largest UDP payload is read; one byte more is refused.
    const QByteArray head = "{GetWindows;1;a,";
    const QByteArray tail = ",0,0,1,1}";
    const QByteArray url(kMaxDatagram - head.size() - tail.size(), 'u');
    row("65507 bytes", head + url + tail, {act(Kind::ClearBlock, "1"), block("1", window("a", url, "0", "0", "1", "1"))});
    row("65508 bytes refused", head + url + 'u' + tail, {});
}

void TestReplies::garbage()
{
    check();
}

void TestReplies::windowDescription_data()
{
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<bool>("withSignals");
    QTest::addColumn<QVariantMap>("expected");
    QTest::newRow("6 values") << QStringList{"10.0.0.31", "u", "1", "2", "3", "4"} << true
                              << window("10.0.0.31", "u", "1", "2", "3", "4");
    QTest::newRow("known signal") << QStringList{"10.0.0.30", "u", "1", "2", "3", "4", "1_2"} << true
                                  << known(window("10.0.0.30", "u", "1", "2", "3", "4", "1_2"));
    QTest::newRow("no signal list") << QStringList{"10.0.0.30", "u", "1", "2", "3", "4"} << false
                                    << window("10.0.0.30", "u", "1", "2", "3", "4");
    QTest::newRow("5 values") << QStringList{"10.0.0.31", "u", "1", "2", "3"} << true << QVariantMap{};
    QTest::newRow("empty height") << QStringList{"10.0.0.31", "u", "1", "2", "3", ""} << true << QVariantMap{};
    QTest::newRow("nan") << QStringList{"10.0.0.31", "u", "nan", "2", "3", "4"} << true << QVariantMap{};
}

void TestReplies::windowDescription()
{
    QFETCH(QStringList, values);
    QFETCH(bool, withSignals);
    QFETCH(QVariantMap, expected);
    Context c = context();
    if (!withSignals)
        c.signalList = nullptr;
    QCOMPARE(kora::dispatch::windowDescription(values, c), expected);
}

QTEST_GUILESS_MAIN(TestReplies)
#include "tst_replies.moc"
