// Replies on the command socket and the actions they give, one table per reply family.
#include "dispatch/replies.h"

#include <QJsonArray>
#include <QJsonDocument>
#include "support/testmain.h"

using namespace kora::dispatch;
using Actions = QList<Action>;
using Presets = QMap<QString, QStringList>;

Q_DECLARE_METATYPE(Actions)
Q_DECLARE_METATYPE(Presets)

namespace {

const char *const Own = "10.0.0.1";      // the client
const char *const Decoder1 = "10.0.0.20"; // wall 1
const char *const Decoder2 = "10.0.0.24"; // wall 2, listed as "10.0.0.24-1"

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

// An action carrying a map, a list or a text, by the type of `value`.
Action with(Kind kind, const QVariant &value, const QString &wallId = {})
{
    Action a = act(kind, wallId);
    if (value.userType() == QMetaType::QVariantMap)
        a.map = value.toMap();
    else if (value.userType() == QMetaType::QVariantList)
        a.list = value.toList();
    else
        a.text = value.toString();
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
                   const QString &h)
{
    return {{"src_ip", src}, {"url", url}, {"x", x}, {"y", y}, {"w", w}, {"h", h}, {"type", 0}};
}

Action block(const QString &wallId, const QVariantMap &map) { return with(Kind::AddBlock, map, wallId); }

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

// Every field, so that the comparison shows where two actions differ.
QString describe(const Action &a)
{
    const QJsonObject o{{"kind", kindName(a.kind)}, {"wall", a.wallId}, {"map", QJsonObject::fromVariantMap(a.map)},
                        {"list", QJsonArray::fromVariantList(a.list)}, {"ids", QJsonArray::fromStringList(a.ids)},
                        {"names", QJsonArray::fromStringList(a.names)}, {"text", a.text}, {"object", a.object},
                        {"raw", QString::fromLatin1(a.raw.toHex())}};
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

QStringList describe(const Actions &actions)
{
    QStringList out;
    for (const Action &a : actions)
        out << describe(a);
    return out;
}

void row(const char *name, const QByteArray &datagram, const Actions &expected, const QString &sender = Decoder1,
         const Presets &after = presets())
{
    QTest::newRow(name) << datagram << sender << expected << after;
}

QByteArray repeated(const QByteArray &head, const QByteArray &item, int count, const QByteArray &tail = "}")
{
    QByteArray out = head;
    for (int i = 0; i < count; ++i)
        out += ';' + item;
    return out + tail;
}

} // namespace

// Slots defined after the class: moc loses its place in raw strings with an odd number of quotes.
class TestReplies : public QObject
{
    Q_OBJECT
private slots:
    void replies_data();
    void replies();
};

static void getWindowsRows()
{
    const QByteArray winA = "10.0.0.31,udp://239.0.0.31:5000,0,0,1920,1080";
    const QVariantMap mapA = window("10.0.0.31", "udp://239.0.0.31:5000", "0", "0", "1920", "1080");
    row("normal wall", "{GetWindows;1;" + winA + "}", {act(Kind::ClearBlock, "1"), block("1", mapA)});
    row("a known signal shows both of its streams", "{GetWindows;1;10.0.0.30,udp://239.0.0.99:1,0,0,960,540}",
        {act(Kind::ClearBlock, "1"), block("1", {{"src_ip", "10.0.0.30"}, {"url", "udp://239.10.1.1:5000"}, {"url2", "udp://239.10.2.1:5000"},
                                                 {"x", "0"}, {"y", "0"}, {"w", "960"}, {"h", "540"}, {"type", 0}})});
    row("100 from a node of wall 2 (listed with a suffix)", "{GetWindows;100;" + winA + "}",
        {act(Kind::ClearBlock, "2"), block("2", mapA)}, Decoder2);
    row("non-numeric geometry skipped", "{GetWindows;1;10.0.0.32,udp://u,0,zero,960,540;" + winA + ";a,b,0,0,inf,1}",
        {act(Kind::ClearBlock, "1"), block("1", mapA)});

    row("unknown wall", "{GetWindows;9;" + winA + "}", {});
    const QByteArray small = "a,u,0,0,1,1";
    Actions most{act(Kind::ClearBlock, "1")};
    for (int i = 0; i < kMaxWindowsPerReply; ++i)
        most << block("1", window("a", "u", "0", "0", "1", "1"));
    row("4096 windows", repeated("{GetWindows;1", small, kMaxWindowsPerReply), most);
    row("4097 windows refused", repeated("{GetWindows;1", small, kMaxWindowsPerReply + 1), {});
}

static void getSceneNamesRows()
{
    row("two scenes", "{GetSceneNames;1;s1,Morning;s2,Evening}", {scenes("1", {"s1", "s2"}, {"Morning", "Evening"})});
    QStringList ids, names;
    for (int i = 0; i < kMaxScenesPerMessage; ++i) {
        ids << "s";
        names << "n";
    }
    row("1024 scenes", repeated("{GetSceneNames;1", "s,n", kMaxScenesPerMessage), {scenes("1", ids, names)});
    row("1025 scenes refused", repeated("{GetSceneNames;1", "s,n", kMaxScenesPerMessage + 1), {});
}

static void acknowledgementsRows()
{
    for (const char *name : {"SetWindows", "ResizeWindows", "ReurlWindows", "RecropWindows"})
        row(name, QByteArray("{") + name + ";2}", {act(Kind::GetWindowsSoon, "2")});
    row("SetWindows, unknown wall", "{SetWindows;5}", {});
    row("SaveScene", "{SaveScene;1}", {act(Kind::GetScenesSoon, "1")});
    row("KvmSignalChange", "{KvmSignalChange;10.0.0.40}", {act(Kind::SendGetWindows100, "10.0.0.40")});
    row("KvmSignalChange, group address", "{KvmSignalChange;224.168.1.1}", {});
}

static void callSceneRows()
{
    row("unknown wall", "{CallScene;4;s1}", {});
    row("3 fields: the scene, then the windows", "{CallScene;1;s1}",
        {with(Kind::RefreshScene, "s1", "1"), act(Kind::GetWindowsSoon, "1")});
}

static void getScenesRows()
{
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
    row("unclosed brace", "{GetScenes;1;s1,A,{1;1;10.0.0.31,udp://a,0,0,1,1;s2,B,{1;0},}", {});

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

static void statusRows()
{
    const QVariantMap slider{{"uuid", "sl1"}, {"value", "42.5"}};
    row("SetStatus S_", "{SetStatus;S_sl1_42.5}", {with(Kind::RefreshSlider, slider)});

    row("SetStatus M_: the stored presets", "{SetStatus;M_mx_0_-1}",
        {with(Kind::RefreshMatrix, QVariantMap{{"uuid", "mx"}, {"value", QStringList{"0", "-1"}},
                                       {"preset", QStringList{"Morning", "Evening"}}})});
    Presets replaced = presets();
    replaced["mx"] = QStringList{"Day*&_1_-1", "Night*&_0_0"};
    row("GetClientInfo M_ with presets replaces them", "{GetClientInfo;M_mx_1_-1&*Day*&_1_-1&*Night*&_0_0}",
        {with(Kind::RefreshMatrix, QVariantMap{{"uuid", "mx"}, {"value", QStringList{"1", "-1"}},
                                       {"preset", QStringList{"Day", "Night"}}})},
        Decoder1, replaced);

    const QVariantMap day{{"name", "Day"}, {"hotkey", "F1"}, {"id", "g1"}, {"time", 10},
                          {"sceneIds", QStringList{"s1", "s2"}}, {"sceneNames", QStringList{"A", "B"}}};
    const QVariantMap old{{"name", "Old"}, {"hotkey", ""}, {"id", "Old"}, {"time", 5},
                          {"sceneIds", QStringList{}}, {"sceneNames", QStringList{}}};
    const QByteArray groups =
        R"(,"data":[{"id":"g1","name":"Day","time":10,"hotkey":"F1","isCall":false,"sceneIds":["s1","s2"],"sceneNames":["A","B"]},)"
        R"({"name":"Old","time":"5"},{"name":"Bad","time":"soon"},7]})";
    row("GetClientInfo cycleGroups: malformed groups skipped",
        R"({GetClientInfo;"{"obj":"cycleGroups","id":"2")" + groups + "\"}",
        {with(Kind::CycleGroups, QVariantList{day, old}, "2"), act(Kind::RefreshCycleGroups)});
}

static void clocksRows()
{
    const QVariantMap clock{{"xPos", "10"},   {"yPos", "20"},        {"w", "300"},         {"h", "80"},
                            {"content", "Line 1\nLine 2"}, {"bkClr", "#000000"}, {"fontClr", "#ffffff"}, {"fontSize", "24"}};
    const QByteArray field = R"(10,20,300,80,Line 1\nLine 2,#000000,#ffffff,24,"normal")";
    row("selected wall", "{GetClockOsd;1;" + field + "}", {with(Kind::Clocks, QVariantList{clock})});
    // A clock the wall reports with odd values is kept, so that saving hands it back unchanged.
    const QVariantMap odd{{"xPos", "x"}, {"yPos", "20"}, {"w", "300"}, {"h", "80"}, {"content", "a"}, {"bkClr", "#0"}, {"fontClr", "#1"}, {"fontSize", "big"}};
    row("a non-number is kept", "{GetClockOsd;1;x,20,300,80,a,#0,#1,big;" + field + "}", {with(Kind::Clocks, QVariantList{odd, clock})});
}

static void encoderReportRows()
{
    const QByteArray report = "[venc]\nname=Input 1\nip=10.0.0.30\nmain_url=udp://239.10.1.1:5000\n";
    row("from an encoder", report,
        {with(Kind::SignalMsg, QVariantMap{{"[venc]", ""}, {"name", "Input 1"}, {"ip", "10.0.0.30"}, {"main_url", "udp://239.10.1.1:5000"}})},
        "10.0.0.30");
}

static void jsonResponsesRows()
{
    const QVariantMap input1 = entry("1", "Input 1", "udp://239.10.1.1:5000", "udp://239.10.2.1:5000", "10.0.0.30:19997", "Inputs");
    const QByteArray input1Json =
        R"({"id":"1","name":"Input 1","url0":"udp://239.10.1.1:5000","url1":"udp://239.10.2.1:5000","snapUrl":"10.0.0.30:19997","path":"Inputs"})";
    row("tree", R"({"code":"0","data":{"list":[)" + input1Json + R"(]},"msg":"ok","response":"GetSignalResourcesTree"})",
        {with(Kind::SignalTree, QVariantList{input1})}, "10.0.0.5");
    row("tree with 4097 entries", R"({"code":0,"data":{"list":[)" + repeated(R"({"id":"1"})", R"({"id":"1"})", 4096, "") .replace(";", ",")
                                      + R"(]},"response":"GetSignalResourcesTree"})", {});

    Action page = with(Kind::SignalTreePage, QVariantList{input1, entry("2", "Input 2")});
    page.map = {{"total", 12}, {"index", 2}};
    row("page", R"({"code":"0","data":{"total":12,"index":"2","list":[)" + input1Json
                    + R"(,{"id":"2","name":"Input 2"},{"id":"3","snapUrl":"camera"},{"id":"4","snapUrl":"10.0.0.9:0"}]},"response":"GetSignalResourcesTreePage"})",
        {page});

    row("snapshot addresses: one per id, the later wins",
        R"({"code":0,"response":"SetWindows","data":[{"id":"1","snapUrl":"10.0.0.30:19997"},{"id":"2","snapUrl":"10.0.0.31:19997"},)"
        R"({"id":"1","snapUrl":"10.0.0.30:19998"},{"id":"3"},{"id":"4","snapUrl":"nowhere:1"}]})",
        {with(Kind::SnapUrls, QVariantList{entry("1", {}, {}, {}, "10.0.0.30:19998"), entry("2", {}, {}, {}, "10.0.0.31:19997")})});
}

static void garbageRows()
{
    // The largest UDP payload is read; one byte more is refused.
    const QByteArray head = "{GetWindows;1;a,";
    const QByteArray tail = ",0,0,1,1}";
    const QByteArray url(kMaxDatagram - head.size() - tail.size(), 'u');
    row("65507 bytes", head + url + tail, {act(Kind::ClearBlock, "1"), block("1", window("a", url, "0", "0", "1", "1"))});
    row("65508 bytes refused", head + url + 'u' + tail, {});
}

void TestReplies::replies_data()
{
    columns<QByteArray, QString, Actions, Presets>({"datagram", "sender", "expected", "presetsAfter"});
    getWindowsRows();
    getSceneNamesRows();
    acknowledgementsRows();
    callSceneRows();
    getScenesRows();
    statusRows();
    clocksRows();
    encoderReportRows();
    jsonResponsesRows();
    garbageRows();
}

// Each row against the usual context: the actions and the matrix presets afterwards.
void TestReplies::replies()
{
    QFETCH(QByteArray, datagram);
    QFETCH(QString, sender);
    QFETCH(Actions, expected);
    State state{presets()};
    const Actions got = dispatchDatagram(datagram, sender, context(), state);
    // The descriptions show where lists differ; the comparison also tells 0 from "0".
    QCOMPARE(describe(got), describe(expected));
    QVERIFY(got == expected);
    QTEST(state.matrixPresets, "presetsAfter");
}

KORA_TEST(TestReplies)
KORA_TEST_MAIN(QCoreApplication)
#include "tst_replies.moc"
