#include "dispatch/replies.h"

#include "dispatch/tokenizer.h"
#include "link/messages.h"
#include "log/categories.h"
#include "log/trace.h"
#include "model/jsontext.h"

#include <QHash>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QJsonValue>
#include <QTextCodec>

#include <algorithm>
#include <cmath>
#include <limits>

namespace kora::dispatch {

bool operator==(const Action &a, const Action &b)
{
    return a.kind == b.kind && a.wallId == b.wallId && a.map == b.map && a.list == b.list && a.ids == b.ids
        && a.names == b.names && a.text == b.text && a.object == b.object && a.raw == b.raw;
}

QString kindName(Kind kind)
{
    switch (kind) {
    case Kind::ClearBlock: return QStringLiteral("ClearBlock");
    case Kind::AddBlock: return QStringLiteral("AddBlock");
    case Kind::AddScenes: return QStringLiteral("AddScenes");
    case Kind::GetWindowsSoon: return QStringLiteral("GetWindowsSoon");
    case Kind::SendGetWindows100: return QStringLiteral("SendGetWindows100");
    case Kind::GetScenesSoon: return QStringLiteral("GetScenesSoon");
    case Kind::RefreshScene: return QStringLiteral("RefreshScene");
    case Kind::ScenesMsg: return QStringLiteral("ScenesMsg");
    case Kind::RefreshOsd: return QStringLiteral("RefreshOsd");
    case Kind::RefreshCycle: return QStringLiteral("RefreshCycle");
    case Kind::CycleGroups: return QStringLiteral("CycleGroups");
    case Kind::RefreshCycleGroups: return QStringLiteral("RefreshCycleGroups");
    case Kind::RefreshSlider: return QStringLiteral("RefreshSlider");
    case Kind::RefreshButton: return QStringLiteral("RefreshButton");
    case Kind::RefreshButtonAct: return QStringLiteral("RefreshButtonAct");
    case Kind::RefreshMatrix: return QStringLiteral("RefreshMatrix");
    case Kind::Clocks: return QStringLiteral("Clocks");
    case Kind::SignalMsg: return QStringLiteral("SignalMsg");
    case Kind::CustomProtocol: return QStringLiteral("CustomProtocol");
    case Kind::Trace: return QStringLiteral("Trace");
    case Kind::SignalTree: return QStringLiteral("SignalTree");
    case Kind::SignalTreePage: return QStringLiteral("SignalTreePage");
    case Kind::SnapUrls: return QStringLiteral("SnapUrls");
    }
    return QStringLiteral("?");
}

namespace {

// Log lines quote only the start of what the network sent.
QString shown(const QString &text)
{
    return text.size() <= 80 ? text : text.left(80) + QStringLiteral("...");
}

Action make(Kind kind, const QString &wallId = {})
{
    Action a;
    a.kind = kind;
    a.wallId = wallId;
    return a;
}

bool isNumber(const QString &text)
{
    // Geometry is nearly always a plain integer; only the rest needs the full conversion.
    if (!text.isEmpty() && text.size() < 10
        && std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }))
        return true;
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok && std::isfinite(value);
}

// Node lists may carry a "-" suffix, and a socket may report an IPv4 sender as IPv6-mapped.
bool sameAddress(const QString &listed, const QString &sender)
{
    const QString cut = link::deviceAddress(listed);
    if (cut == sender)
        return true;
    const QHostAddress a(cut);
    const QHostAddress b(sender);
    return !a.isNull() && !b.isNull() && a.isEqual(b, QHostAddress::TolerantConversion);
}

bool knownWall(const Context &context, const QString &id)
{
    for (const WallNodes &wall : context.walls) {
        if (wall.id == id)
            return true;
    }
    return false;
}

// Absent counts as 0; a number or a numeric text in int range is read; anything else fails.
bool intOf(const QJsonValue &value, int *out)
{
    if (value.isUndefined() || value.isNull()) {
        *out = 0;
        return true;
    }
    double d = 0;
    if (value.isDouble()) {
        d = value.toDouble();
    } else if (value.isString()) {
        bool ok = false;
        d = value.toString().trimmed().toDouble(&ok);
        if (!ok)
            return false;
    } else {
        return false;
    }
    if (!std::isfinite(d) || d != std::floor(d) || d < std::numeric_limits<int>::min() || d > std::numeric_limits<int>::max())
        return false;
    *out = int(d);
    return true;
}

QStringList textsOf(const QJsonValue &value)
{
    QStringList out;
    const QJsonArray array = value.toArray();
    for (const QJsonValue &v : array)
        out.append(jsonText(v));
    return out;
}

// A snapshot stream address "a.b.c.d:port", as the reader threads take it.
bool isSnapAddress(const QString &text)
{
    const int colon = text.indexOf(QLatin1Char(':'));
    if (colon <= 0)
        return false;
    bool ok = false;
    const uint port = text.mid(colon + 1).toUInt(&ok);
    const QHostAddress host(text.left(colon));
    return ok && port >= 1 && port <= 65535 && host.protocol() == QAbstractSocket::IPv4Protocol;
}

// ---------------------------------------------------------------- text replies

struct Reply {
    const QStringList &fields; // the GBK text between the braces, split at ";"
    const QString &gbk;        // the whole datagram, GBK
    const QString &utf8;       // the whole datagram, UTF-8
    const QByteArray &raw;
    const QString &sender;
    const Context &context;
    State &state;
};

using Handler = QList<Action> (*)(const Reply &);

// Field 1 as the id of a known wall; logs and gives false otherwise.
bool wallOf(const Reply &r, QString *wallId)
{
    if (r.fields.size() < 2 || r.fields[1].isEmpty()) {
        KWARN(lcLink) << r.fields[0] << "without wall id dropped";
        return false;
    }
    if (!knownWall(r.context, r.fields[1])) {
        KWARN(lcLink) << r.fields[0] << "for unknown wall" << shown(r.fields[1]) << "dropped";
        return false;
    }
    *wallId = r.fields[1];
    return true;
}

QList<Action> onGetWindows(const Reply &r)
{
    if (r.fields.size() < 2 || r.fields[1].isEmpty()) {
        KWARN(lcLink) << "GetWindows without wall id dropped";
        return {};
    }
    QString wallId = r.fields[1];
    if (wallId == QLatin1String(kAnyWall)) {
        // Asked with "100" (a KVM seat's change): the sender's wall is the one meant.
        for (const WallNodes &wall : r.context.walls) {
            bool found = false;
            for (const QString &node : wall.nodes)
                found = found || sameAddress(node, r.sender);
            if (found) {
                wallId = wall.id;
                break;
            }
        }
    } else if (!knownWall(r.context, wallId)) {
        KWARN(lcLink) << "GetWindows for unknown wall" << shown(wallId) << "dropped";
        return {};
    }
    QStringList items;
    for (int i = 2; i < r.fields.size(); ++i) {
        if (!r.fields[i].isEmpty()) // "{GetWindows;1;}" is a wall without windows
            items.append(r.fields[i]);
    }
    if (items.size() > kMaxWindowsPerReply) {
        KWARN(lcLink) << "GetWindows with" << items.size() << "windows dropped";
        return {};
    }
    QList<Action> out{make(Kind::ClearBlock, wallId)};
    out.reserve(items.size() + 1);
    int skipped = 0;
    for (const QString &item : qAsConst(items)) {
        const QVariantMap window = windowDescription(subValues(item), r.context);
        if (window.isEmpty()) {
            ++skipped;
            continue;
        }
        out.append(make(Kind::AddBlock, wallId));
        out.last().map = window;
    }
    if (skipped > 0)
        KWARN(lcLink) << "GetWindows for wall" << wallId << ":" << skipped << "malformed windows skipped";
    return out;
}

QList<Action> onGetSceneNames(const Reply &r)
{
    QString wallId;
    if (!wallOf(r, &wallId))
        return {};
    if (r.fields.size() - 2 > kMaxScenesPerMessage) {
        KWARN(lcLink) << "GetSceneNames with" << r.fields.size() - 2 << "scenes dropped";
        return {};
    }
    Action a = make(Kind::AddScenes, wallId);
    int skipped = 0;
    for (int i = 2; i < r.fields.size(); ++i) {
        if (r.fields[i].isEmpty())
            continue;
        const QStringList values = subValues(r.fields[i]);
        if (values.size() < 2 || values[0].isEmpty()) {
            ++skipped;
            continue;
        }
        a.ids.append(values[0]);
        a.names.append(values[1]);
    }
    if (skipped > 0)
        KWARN(lcLink) << "GetSceneNames for wall" << wallId << ":" << skipped << "scenes without id and name skipped";
    return {a};
}

QList<Action> onWindowsChanged(const Reply &r)
{
    QString wallId;
    if (!wallOf(r, &wallId))
        return {};
    return {make(Kind::GetWindowsSoon, wallId)};
}

QList<Action> onKvmSignalChange(const Reply &r)
{
    // The seat that changed is one device: no group, broadcast or wildcard address.
    const QString address = link::deviceAddress(r.fields.value(1));
    const QHostAddress host(address);
    if (host.protocol() != QAbstractSocket::IPv4Protocol || host == QHostAddress::AnyIPv4
        || host == QHostAddress::Broadcast || host.isMulticast()) {
        KWARN(lcLink) << "KvmSignalChange without device address dropped:" << shown(r.fields.value(1));
        return {};
    }
    return {make(Kind::SendGetWindows100, address)};
}

QList<Action> onSaveScene(const Reply &r)
{
    QString wallId;
    if (!wallOf(r, &wallId))
        return {};
    return {make(Kind::GetScenesSoon, wallId)};
}

QList<Action> onCallScene(const Reply &r)
{
    QString wallId;
    if (!wallOf(r, &wallId))
        return {};
    QList<Action> out;
    // Without a scene id the wall did not change its scene; its windows are asked for anyway.
    if (r.fields.size() == 3 && !r.fields[2].isEmpty()) {
        Action a = make(Kind::RefreshScene, wallId);
        a.text = r.fields[2];
        out.append(a);
    }
    out.append(make(Kind::GetWindowsSoon, wallId));
    return out;
}

QList<Action> onGetScenes(const Reply &r)
{
    QString wallId;
    if (!wallOf(r, &wallId))
        return {};
    const QJsonObject message = parseSceneMessage(wallId, r.fields.mid(2), r.context);
    if (message.isEmpty())
        return {};
    Action a = make(Kind::ScenesMsg);
    a.object = message;
    return {a};
}

// The cycle groups of a wall as its client info stores them; nothing when "data" is no list.
QList<Action> cycleGroups(const QJsonObject &store, const Context &context)
{
    const QJsonValue data = store.value(QLatin1String("data"));
    if (!data.isArray()) {
        KWARN(lcLink) << "cycleGroups without data list dropped";
        return {};
    }
    QVariantList groups;
    int skipped = 0;
    const QJsonArray entries = data.toArray();
    for (const QJsonValue &value : entries) {
        const QJsonObject entry = value.toObject();
        int time = 0;
        if (!value.isObject() || !intOf(entry.value(QLatin1String("time")), &time)) {
            ++skipped;
            continue;
        }
        const QString name = jsonText(entry.value(QLatin1String("name")));
        groups.append(QVariantMap{
            {QStringLiteral("name"), name},
            {QStringLiteral("hotkey"), jsonText(entry.value(QLatin1String("hotkey")))},
            // Groups stored before ids existed are known by their name.
            {QStringLiteral("id"), entry.contains(QLatin1String("id")) ? jsonText(entry.value(QLatin1String("id"))) : name},
            {QStringLiteral("time"), time},
            {QStringLiteral("sceneIds"), textsOf(entry.value(QLatin1String("sceneIds")))},
            {QStringLiteral("sceneNames"), textsOf(entry.value(QLatin1String("sceneNames")))},
        });
    }
    if (skipped > 0)
        KWARN(lcLink) << "cycleGroups:" << skipped << "malformed groups skipped";
    QList<Action> out;
    const QString wallId = jsonText(store.value(QLatin1String("id")));
    for (const WallNodes &wall : context.walls) {
        if (wall.id == wallId) {
            Action a = make(Kind::CycleGroups, wall.id);
            a.list = groups;
            out.append(a);
        }
    }
    out.append(make(Kind::RefreshCycleGroups));
    return out;
}

// "SetStatus" (a state just published) and "GetClientInfo" (a state asked for): a JSON
// payload first, then the state key of a slider, button or matrix.
QList<Action> status(const Reply &r, bool clientInfo)
{
    // Status texts travel as UTF-8 (preset names may be Chinese), so both the payload and
    // the key are read from the UTF-8 text.
    const QStringList fields = r.utf8 == r.gbk ? r.fields : replyFields(r.utf8);
    if (fields.size() < 2) {
        KWARN(lcLink) << r.fields[0] << "without state dropped";
        return {};
    }
    QList<Action> out;
    const QString payload = unquotePayload(r.utf8.mid(r.utf8.indexOf(QLatin1Char(';')) + 1));
    QJsonParseError error{};
    // Most states are a plain key; only an object or array can be a JSON document.
    const bool maybeJson = payload.startsWith(QLatin1Char('{')) || payload.startsWith(QLatin1Char('['));
    const QJsonDocument document = maybeJson ? QJsonDocument::fromJson(payload.toUtf8(), &error) : QJsonDocument();
    if (!maybeJson) {
        KTRACE(lcLink) << r.fields[0] << "payload is a state key, no JSON";
    } else if (error.error != QJsonParseError::NoError) {
        KTRACE(lcLink) << r.fields[0] << "payload is no JSON:" << error.errorString();
    } else if (document.isObject()) {
        const QJsonObject object = document.object();
        const QString kind = object.value(QLatin1String("obj")).toString();
        if (kind == QLatin1String("osd")) {
            Action a = make(Kind::RefreshOsd);
            a.text = QString::fromUtf8(document.toJson(QJsonDocument::Indented));
            out.append(a);
        } else if (clientInfo && kind == QLatin1String("cycle")) {
            Action a = make(Kind::RefreshCycle);
            a.object = object;
            out.append(a);
        } else if (clientInfo && kind == QLatin1String("cycleGroups")) {
            out.append(cycleGroups(object, r.context));
        }
    }

    const QString key = fields[1];
    const QStringList parts = keyParts(key);
    const QString type = parts.value(0);
    if (type == QLatin1String("S") || type == QLatin1String("B")) {
        if (parts.size() < 3 || parts[1].isEmpty()) {
            KWARN(lcLink) << "state key without uuid or value dropped:" << shown(key);
            return out;
        }
        Kind kind = Kind::RefreshSlider;
        if (type == QLatin1String("B"))
            kind = clientInfo ? Kind::RefreshButton : Kind::RefreshButtonAct;
        Action a = make(kind);
        a.map = {{QStringLiteral("uuid"), parts[1]}, {QStringLiteral("value"), parts[2]}};
        out.append(a);
    } else if (type == QLatin1String("M")) {
        // "M_uuid_row_row...", in client info followed by "&*" + each stored preset.
        QStringList entries = key.split(QStringLiteral("&*"));
        const QStringList state = keyParts(entries.takeFirst());
        if (state.size() < 2 || state[1].isEmpty()) {
            KWARN(lcLink) << "matrix state without uuid dropped:" << shown(key);
            return out;
        }
        const auto matrix = r.state.matrixPresets.find(state[1]);
        if (matrix == r.state.matrixPresets.end()) {
            KWARN(lcLink) << "state of unknown matrix" << shown(state[1]) << "dropped";
            return out;
        }
        entries.removeAll(QString());
        const QStringList presets = clientInfo ? entries : matrix.value();
        QStringList presetNames;
        for (const QString &preset : presets)
            presetNames.append(preset.section(QStringLiteral("*&"), 0, 0));
        Action a = make(Kind::RefreshMatrix);
        a.map = {{QStringLiteral("uuid"), state[1]},
                 {QStringLiteral("value"), QVariant(state.mid(2))},
                 {QStringLiteral("preset"), QVariant(presetNames)}};
        if (clientInfo)
            matrix.value() = presets;
        out.append(a);
    } else if (type == QLatin1String("O") && !clientInfo) {
        Action a = make(Kind::Trace);
        a.text = key;
        out.append(a);
    }
    return out;
}

QList<Action> onSetStatus(const Reply &r) { return status(r, false); }
QList<Action> onGetClientInfo(const Reply &r) { return status(r, true); }

QList<Action> onGetClockOsd(const Reply &r)
{
    // Clock contents are UTF-8; only the selected wall's clocks are shown.
    const QStringList fields = replyFields(r.utf8);
    if (r.context.selPanel.isEmpty() || fields.value(1) != r.context.selPanel)
        return {};
    QVariantList clocks;
    int odd = 0;
    for (int i = 2; i < fields.size(); ++i) {
        const QStringList v = subValues(fields[i]);
        if (v.size() < 8)
            break;
        // Kept as the wall has it: the dialog saves the whole list back, and a clock left out
        // here would be deleted on the wall by the next save.
        odd += !isNumber(v[0]) || !isNumber(v[1]) || !isNumber(v[2]) || !isNumber(v[3]) || !isNumber(v[7]);
        QString content = v[4];
        content.replace(QLatin1String("\\n"), QLatin1String("\n"));
        clocks.append(QVariantMap{{QStringLiteral("xPos"), v[0]},     {QStringLiteral("yPos"), v[1]},
                                  {QStringLiteral("w"), v[2]},        {QStringLiteral("h"), v[3]},
                                  {QStringLiteral("content"), content}, {QStringLiteral("bkClr"), v[5]},
                                  {QStringLiteral("fontClr"), v[6]},  {QStringLiteral("fontSize"), v[7]}});
    }
    if (odd > 0)
        KWARN(lcLink) << "GetClockOsd:" << odd << "clocks with non-numeric geometry or size, kept as they are";
    Action a = make(Kind::Clocks);
    a.list = clocks;
    return {a};
}

QList<Action> onUploaded(const Reply &r)
{
    Action a = make(Kind::Trace);
    a.text = r.gbk;
    return {a};
}

QList<Action> onCustomProtocol(const Reply &r)
{
    Action a = make(Kind::CustomProtocol);
    a.raw = r.raw;
    return {a};
}

// One line per reply name; the name is compared exactly.
const struct {
    const char *name;
    Handler handler;
} kReplies[] = {
    {"GetWindows", onGetWindows},
    {"GetSceneNames", onGetSceneNames},
    {"SetWindows", onWindowsChanged},
    {"ResizeWindows", onWindowsChanged},
    {"ReurlWindows", onWindowsChanged},
    {"RecropWindows", onWindowsChanged},
    {"KvmSignalChange", onKvmSignalChange},
    {"SaveScene", onSaveScene},
    {"CallScene", onCallScene},
    {"GetScenes", onGetScenes},
    {"SetStatus", onSetStatus},
    {"GetClientInfo", onGetClientInfo},
    {"GetClockOsd", onGetClockOsd},
    {"Uploaded", onUploaded},
    {"InlineTextControl", onCustomProtocol},
    {"InlineSetPanelDock", onCustomProtocol},
    {"InlineSetPanelCut", onCustomProtocol},
};

// ---------------------------------------------------------------- JSON responses

using JsonHandler = QList<Action> (*)(const QJsonObject &response);

// A signal entry of the controller's catalogue; false for one without id, or with a
// snapshot address a reader could not use when `snapshot` asks for one.
bool signalEntry(const QJsonValue &value, bool snapshot, QVariantMap *out)
{
    if (!value.isObject())
        return false;
    const QJsonObject o = value.toObject();
    const QString id = jsonText(o.value(QLatin1String("id")));
    const QString snapUrl = jsonText(o.value(QLatin1String("snapUrl")));
    if (id.isEmpty() || (snapshot && !snapUrl.isEmpty() && !isSnapAddress(snapUrl)))
        return false;
    *out = {{QStringLiteral("id"), id},
            {QStringLiteral("name"), jsonText(o.value(QLatin1String("name")))},
            {QStringLiteral("url0"), jsonText(o.value(QLatin1String("url0")))},
            {QStringLiteral("url1"), jsonText(o.value(QLatin1String("url1")))},
            {QStringLiteral("snapUrl"), snapUrl},
            {QStringLiteral("path"), jsonText(o.value(QLatin1String("path")))}};
    return true;
}

// The entries of a list, or false (logged) when it is no list or too long.
bool signalEntries(const char *response, const QJsonValue &list, bool snapshot, QVariantList *out)
{
    if (!list.isArray()) {
        KWARN(lcLink) << response << "without list dropped";
        return false;
    }
    const QJsonArray array = list.toArray();
    if (array.size() > kMaxTreeEntries) {
        KWARN(lcLink) << response << "with" << array.size() << "entries dropped";
        return false;
    }
    int skipped = 0;
    for (const QJsonValue &value : array) {
        QVariantMap entry;
        if (signalEntry(value, snapshot, &entry))
            out->append(entry);
        else
            ++skipped;
    }
    if (skipped > 0)
        KWARN(lcLink) << response << ":" << skipped << "malformed entries skipped";
    return true;
}

QList<Action> onSignalTree(const QJsonObject &response)
{
    Action a = make(Kind::SignalTree);
    const QJsonValue list = response.value(QLatin1String("data")).toObject().value(QLatin1String("list"));
    if (!signalEntries("GetSignalResourcesTree", list, false, &a.list))
        return {};
    return {a};
}

QList<Action> onSignalTreePage(const QJsonObject &response)
{
    const QJsonObject data = response.value(QLatin1String("data")).toObject();
    int total = 0;
    int index = 0;
    if (!intOf(data.value(QLatin1String("total")), &total) || !intOf(data.value(QLatin1String("index")), &index)) {
        KWARN(lcLink) << "GetSignalResourcesTreePage with non-numeric total or index dropped";
        return {};
    }
    Action a = make(Kind::SignalTreePage);
    a.map = {{QStringLiteral("total"), total}, {QStringLiteral("index"), index}};
    if (!signalEntries("GetSignalResourcesTreePage", data.value(QLatin1String("list")), true, &a.list))
        return {};
    return {a};
}

QList<Action> onSnapUrls(const QJsonObject &response)
{
    QVariantList entries;
    if (!signalEntries("SetWindows", response.value(QLatin1String("data")), true, &entries))
        return {};
    // A table id -> snapshot address: a later entry for the same id wins, in the first's place.
    Action a = make(Kind::SnapUrls);
    QHash<QString, int> place;
    for (const QVariant &entry : qAsConst(entries)) {
        const QVariantMap map = entry.toMap();
        if (map.value(QStringLiteral("snapUrl")).toString().isEmpty())
            continue;
        const QString id = map.value(QStringLiteral("id")).toString();
        const auto found = place.constFind(id);
        if (found != place.constEnd()) {
            a.list[found.value()] = map;
        } else {
            place.insert(id, a.list.size());
            a.list.append(map);
        }
    }
    return {a};
}

const struct {
    const char *name;
    JsonHandler handler;
} kResponses[] = {
    {"GetSignalResourcesTree", onSignalTree},
    {"GetSignalResourcesTreePage", onSignalTreePage},
    {"SetWindows", onSnapUrls},
};

// "code" 0 (number or text) or none at all means success.
bool succeeded(const QJsonValue &code)
{
    int value = 0;
    return intOf(code, &value) && value == 0;
}

QList<Action> jsonDatagram(const QJsonDocument &document)
{
    const QJsonObject object = document.object();
    if (!document.isObject() || object.contains(QLatin1String("request")))
        return {}; // requests of other clients pass by here too
    const QString response = object.value(QLatin1String("response")).toString();
    if (!succeeded(object.value(QLatin1String("code")))) {
        KTRACE(lcLink) << "response" << shown(response) << "reports code" << shown(jsonText(object.value(QLatin1String("code"))));
        return {};
    }
    for (const auto &entry : kResponses) {
        if (response == QLatin1String(entry.name))
            return entry.handler(object);
    }
    KTRACE(lcLink) << "unknown response" << shown(response) << "ignored";
    return {};
}

} // namespace

namespace {
// The window description into a QVariantMap (for the pages) or a QJsonObject (for scene
// messages), keys inserted in sorted order, which both containers append cheaply.
template <typename Map>
Map describeWindow(const QStringList &values, const Context &context)
{
    if (values.size() < 6)
        return {};
    for (int i = 2; i < 6; ++i) {
        if (!isNumber(values[i]))
            return {};
    }
    // The wall reports the stream it plays; a known signal shows both of its streams.
    const SignalRecord *signal = nullptr;
    if (context.signalList) {
        for (const SignalRecord &s : *context.signalList) {
            if (s.ip == values[0]) {
                signal = &s;
                break;
            }
        }
    }
    const bool withId = values.size() >= 7;
    Map window;
    window.insert(QStringLiteral("h"), values[5]);
    if (withId) {
        window.insert(QStringLiteral("id"), values[6]);
        window.insert(QStringLiteral("index"), values[6].left(values[6].indexOf(QLatin1Char('_'))));
    }
    window.insert(QStringLiteral("src_ip"), values[0]);
    window.insert(QStringLiteral("type"), withId ? 1 : 0);
    window.insert(QStringLiteral("url"), signal ? signal->mainUrl : values[1]);
    if (signal)
        window.insert(QStringLiteral("url2"), signal->subUrl);
    window.insert(QStringLiteral("w"), values[4]);
    window.insert(QStringLiteral("x"), values[2]);
    window.insert(QStringLiteral("y"), values[3]);
    return window;
}
} // namespace

QVariantMap windowDescription(const QStringList &values, const Context &context)
{
    return describeWindow<QVariantMap>(values, context);
}

QJsonObject parseSceneMessage(const QString &wallId, const QStringList &fieldsFromIndex2, const Context &context)
{
    bool balanced = true;
    const QStringList pieces = splitOutsideBraces(fieldsFromIndex2.join(QLatin1Char(';')), QLatin1Char(';'), &balanced);
    if (!balanced) {
        KWARN(lcLink) << "scene message of wall" << wallId << "with unbalanced braces dropped";
        return {};
    }
    if (pieces.size() - pieces.count(QString()) > kMaxScenesPerMessage) {
        KWARN(lcLink) << "scene message of wall" << wallId << "with" << pieces.size() << "scenes dropped";
        return {};
    }
    QJsonArray scenes;
    int windows = 0;
    int skippedScenes = 0;
    int skippedWindows = 0;
    for (const QString &piece : pieces) {
        if (piece.isEmpty())
            continue;
        // "id,name,{x;y;window;window...}," - what precedes the windows is the controller's.
        const int first = piece.indexOf(QLatin1Char(','));
        if (first <= 0) {
            ++skippedScenes;
            continue;
        }
        const int second = piece.indexOf(QLatin1Char(','), first + 1);
        const QString name = second < 0 ? piece.mid(first + 1) : piece.mid(first + 1, second - first - 1);
        QString rest = second < 0 ? QString() : piece.mid(second + 1);
        const int cut = rest.indexOf(QLatin1String("},"));
        if (cut >= 0)
            rest.truncate(cut);
        else if (rest.endsWith(QLatin1Char('}')))
            rest.chop(1); // the last scene without its trailing ",": the brace is no part of a window
        const QStringList items = rest.split(QLatin1Char(';'), Qt::SkipEmptyParts);
        QJsonArray blocks;
        for (int i = 2; i < items.size(); ++i) {
            if (++windows > kMaxWindowsPerReply) {
                KWARN(lcLink) << "scene message of wall" << wallId << "with more than" << kMaxWindowsPerReply << "windows dropped";
                return {};
            }
            const QJsonObject window = describeWindow<QJsonObject>(subValues(items[i]), context);
            if (window.isEmpty())
                ++skippedWindows;
            else
                blocks.append(window);
        }
        scenes.append(QJsonObject{{QStringLiteral("scene_id"), piece.left(first)},
                                  {QStringLiteral("scene_name"), name},
                                  {QStringLiteral("scene_blocks"), blocks}});
    }
    if (skippedScenes > 0 || skippedWindows > 0)
        KWARN(lcLink) << "scene message of wall" << wallId << ":" << skippedScenes << "scenes without id and"
                      << skippedWindows << "malformed windows skipped";
    return {{QStringLiteral("panel_id"), wallId}, {QStringLiteral("scene_array"), scenes}};
}

QList<Action> dispatchDatagram(const QByteArray &datagram, const QString &sender, const Context &context, State &state)
{
    if (datagram.size() > kMaxDatagram) {
        KWARN(lcLink) << "datagram of" << datagram.size() << "bytes from" << sender << "refused";
        return {};
    }
    // Clients announce themselves with "start" on this port; this one hears its own, too.
    if (datagram.isEmpty() || datagram == "start")
        return {};
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(datagram, &error);
    if (error.error == QJsonParseError::NoError)
        return jsonDatagram(document);

    const QString utf8 = QString::fromUtf8(datagram);
    const QLatin1String venc("[venc]");
    if (utf8.startsWith(venc) && (utf8.size() == venc.size() || utf8.at(venc.size()) == QLatin1Char('\n'))) {
        // Our own encoder report (sent to the group we listen on) is not shown. As a text
        // reply an encoder report names no command, so nothing else follows.
        if (sameAddress(context.localIp, sender)) {
            Action a = make(Kind::Trace);
            a.text = QStringLiteral("encoder report from the client's own address %1 dropped").arg(sender);
            return {a};
        }
        Action a = make(Kind::SignalMsg);
        a.map = keyValueLines(utf8);
        return {a};
    }

    static QTextCodec *const gbkCodec = QTextCodec::codecForName("GBK");
    // Both decodings of plain ASCII are the same text.
    const bool ascii = std::none_of(datagram.cbegin(), datagram.cend(), [](char c) { return uchar(c) >= 0x80; });
    const QString gbk = ascii ? utf8 : gbkCodec ? gbkCodec->toUnicode(datagram) : QString::fromLatin1(datagram);
    const QStringList fields = replyFields(gbk);
    if (fields.isEmpty()) {
        KWARN(lcLink) << "datagram from" << sender << "is no reply:" << shown(gbk);
        return {};
    }
    const Reply reply{fields, gbk, utf8, datagram, sender, context, state};
    for (const auto &entry : kReplies) {
        if (fields[0] == QLatin1String(entry.name))
            return entry.handler(reply);
    }
    KTRACE(lcLink) << "unknown reply" << shown(fields[0]) << "from" << sender << "ignored";
    return {};
}

} // namespace kora::dispatch
