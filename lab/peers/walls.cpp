#include "peers/walls.h"

#include <QJsonDocument>
#include <QJsonParseError>
#include <QSet>
#include <QTextCodec>

namespace lab {

namespace {

const QByteArray AllWalls = QByteArrayLiteral("100");
const QHostAddress WallGroup(QStringLiteral("224.168.1.1"));
constexpr int MaxDatagram = 65507;

// QString::fromLatin1/fromUtf8 of a QByteArray stop at a NUL; these keep every byte.
QString latin1(const QByteArray &bytes) { return QString::fromLatin1(bytes.constData(), bytes.size()); }
QString utf8(const QByteArray &bytes) { return QString::fromUtf8(bytes.constData(), bytes.size()); }

bool isInt(const QByteArray &text)
{
    bool ok = false;
    text.toInt(&ok);
    return ok;
}

QList<QByteArray> nonEmpty(const QList<QByteArray> &items)
{
    QList<QByteArray> out;
    for (const QByteArray &item : items) {
        if (!item.isEmpty())
            out.append(item);
    }
    return out;
}

QByteArray joined(const QList<QByteArray> &items)
{
    QByteArray out;
    for (const QByteArray &item : items)
        out += ';' + item;
    return out;
}

QStringList latin1List(const QList<QByteArray> &items)
{
    QStringList out;
    for (const QByteArray &item : items)
        out.append(latin1(item));
    return out;
}

QJsonArray jsonList(const QList<QByteArray> &items)
{
    return QJsonArray::fromStringList(latin1List(items));
}

QString fromGbk(const QByteArray &bytes)
{
    QTextCodec *codec = QTextCodec::codecForName("GBK");
    return codec ? codec->toUnicode(bytes) : latin1(bytes);
}

QByteArray toGbk(const QString &text)
{
    QTextCodec *codec = QTextCodec::codecForName("GBK");
    return codec ? codec->fromUnicode(text) : text.toLatin1();
}

// Commands the walls know, with the field counts (name included) they accept.
struct CommandShape {
    const char *name;
    int minFields;
    int maxFields;
};

const CommandShape WallCommands[] = {
    {"GetWindows", 2, 2},
    {"SetWindows", 2, WallSystem::MaxWindows + 2},
    {"ResizeWindows", 2, WallSystem::MaxWindows + 2},
    {"ReurlWindows", 2, WallSystem::MaxWindows + 2},
    {"RecropWindows", 2, WallSystem::MaxWindows + 2},
    {"GetSceneNames", 2, 2},
    {"GetScenes", 2, 2},
    {"GetScene", 3, 3},
    {"SaveScene", 3, 3},
    {"DeleteScene", 3, 3},
    {"CallScene", 3, 3},
    {"SetScenesPolling", 3, 4},
    {"SetAudios", 2, 3},
    {"SetLockFrame", 2, 3},
    {"SubtitleOsd", 2, 16},
    {"ClockOsd", 2, WallSystem::MaxClocks + 2},
    {"GetClockOsd", 2, 2},
};

const CommandShape *shapeOf(const QByteArray &name)
{
    for (const CommandShape &shape : WallCommands) {
        if (name == shape.name)
            return &shape;
    }
    return nullptr;
}

bool isWindowCommand(const QByteArray &name)
{
    return name == "SetWindows" || name == "ResizeWindows" || name == "ReurlWindows" || name == "RecropWindows";
}

// Checks what can be checked before any wall is touched, so a bad command changes nothing.
bool wellFormed(const QByteArray &name, const QList<QByteArray> &fields)
{
    if (fields.value(1).isEmpty())
        return false;
    if (isWindowCommand(name)) {
        for (int i = 2; i < fields.size(); ++i) {
            if (!fields[i].isEmpty() && !WallSystem::validWindowItem(fields[i]))
                return false;
        }
        return true;
    }
    if (name == "SaveScene") {
        const int comma = fields[2].indexOf(',');
        return comma > 0;
    }
    if (name == "GetScene" || name == "DeleteScene" || name == "CallScene")
        return !fields[2].isEmpty();
    if (name == "SetScenesPolling") {
        bool ok = false;
        const int seconds = fields[2].toInt(&ok);
        return ok && seconds >= 0;
    }
    if (name == "SetLockFrame")
        return fields.size() == 2 || fields[2] == "-1";
    if (name == "ClockOsd") {
        for (int i = 2; i < fields.size(); ++i) {
            if (!fields[i].isEmpty() && !WallSystem::validClockItem(fields[i]))
                return false;
        }
    }
    return true;
}

void setOrRemove(QMap<QString, QByteArray> &map, const QString &key, const QByteArray &value)
{
    if (value.isEmpty())
        map.remove(key);
    else
        map.insert(key, value);
}

// The control state texts wrap their JSON in double quotes.
QJsonObject unquotedJson(const QByteArray &text)
{
    QByteArray body = text;
    if (body.size() >= 2 && body.startsWith('"') && body.endsWith('"'))
        body = body.mid(1, body.size() - 2);
    return QJsonDocument::fromJson(body).object();
}

QByteArray jsonText(const QJsonValue &value)
{
    // A value on its own is not a JSON document; serialise it inside an array.
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

} // namespace

WallSystem::WallSystem(const QList<WallConfig> &walls)
    : m_configs(walls), m_walls(walls.size())
{
}

int WallSystem::wallIndex(const QString &id) const
{
    for (int i = 0; i < m_configs.size(); ++i) {
        if (m_configs[i].id == id)
            return i;
    }
    return -1;
}

int WallSystem::sceneIndex(const Wall &wall, const QByteArray &id) const
{
    for (int i = 0; i < wall.scenes.size(); ++i) {
        if (wall.scenes[i].id == id)
            return i;
    }
    return -1;
}

QStringList WallSystem::wallsOf(const QHostAddress &node) const
{
    QStringList out;
    for (const WallConfig &wall : m_configs) {
        if (wall.nodes.contains(node))
            out.append(wall.id);
    }
    return out;
}

bool WallSystem::validWindowItem(const QByteArray &item)
{
    if (item.contains('{') || item.contains('}'))
        return false; // would break the brace-counted scene reply for every client
    const QList<QByteArray> values = item.split(',');
    if (values.size() != 6 && values.size() != 7)
        return false;
    for (int i = 2; i < 6; ++i) {
        if (!isInt(values[i]))
            return false;
    }
    return true;
}

bool WallSystem::validClockItem(const QByteArray &item)
{
    return item.split(',').size() >= 8;
}

QByteArray WallSystem::scenePiece(const QByteArray &wallId, const QByteArray &sceneId, const QByteArray &name,
                                  const QList<QByteArray> &windows)
{
    // The client reads id and name before the braces and skips the first two items inside
    // them; we put the wall and the window count there. Its cut at the first "}," needs the
    // trailing comma, or the last window would keep the closing brace.
    QByteArray piece = sceneId + ',' + name + ",{" + wallId + ';' + QByteArray::number(windows.size());
    piece += joined(windows);
    piece += "},";
    return piece;
}

QList<Outgoing> WallSystem::handle(const Datagram &in, const QHostAddress &self, bool viaController)
{
    const QByteArray &data = in.data;
    if (data.size() < 2 || data.size() > MaxDatagram || !data.startsWith('{') || !data.endsWith('}'))
        return {};
    const QByteArray inner = data.mid(1, data.size() - 2);
    const int semicolon = inner.indexOf(';');
    const QByteArray name = semicolon < 0 ? inner : inner.left(semicolon);
    if (name == "SetStatus" || name == "SaveClientInfo" || name == "GetClientInfo")
        return statusCommand(name, semicolon < 0 ? QByteArray() : inner.mid(semicolon + 1), in, self, viaController);
    return wallCommand(name, inner.split(';'), inner, in, self, viaController);
}

QList<Outgoing> WallSystem::wallCommand(const QByteArray &name, const QList<QByteArray> &fields,
                                        const QByteArray &inner, const Datagram &in, const QHostAddress &self,
                                        bool viaController)
{
    const CommandShape *shape = shapeOf(name);
    if (!shape || fields.size() < shape->minFields || fields.size() > shape->maxFields || !wellFormed(name, fields))
        return {};
    const QByteArray id = fields[1];
    QList<int> addressed;
    if (id == AllWalls) {
        for (int i = 0; i < m_configs.size(); ++i)
            addressed.append(i);
    } else {
        const int index = wallIndex(latin1(id));
        if (index >= 0)
            addressed.append(index);
    }

    const bool group = !viaController && (in.destination.isMulticast() || in.destination == QHostAddress(QHostAddress::Broadcast));
    const quint16 replyPort = viaController ? CommandPort : in.senderPort;
    QList<Outgoing> out;
    for (int index : addressed) {
        const WallConfig &config = m_configs[index];
        if (!viaController && !config.nodes.contains(self))
            continue; // not one of this wall's decoders
        // Through the group every decoder hears the command; only the first one answers,
        // or the client would get one reply per decoder.
        const bool answers = viaController || !group || config.nodes.first() == self;
        // The controller's address is in no wall, so it names the wall itself when asked for all.
        const QByteArray replyId = viaController && id == AllWalls ? config.id.toLatin1() : id;
        const QByteArray reply = apply(index, name, fields, inner, replyId, self, group || viaController);
        if (answers && !reply.isEmpty() && !in.sender.isNull() && replyPort != 0) {
            Outgoing o;
            o.data = reply;
            o.to = in.sender;
            o.port = replyPort;
            out.append(o);
        }
    }
    return out;
}

QByteArray WallSystem::apply(int index, const QByteArray &name, const QList<QByteArray> &fields,
                             const QByteArray &inner, const QByteArray &replyId, const QHostAddress &self, bool group)
{
    Wall &wall = m_walls[index];
    const QByteArray wallId = m_configs[index].id.toLatin1();
    // Unicast commands concern the decoder that got them; the others the whole wall.
    const QString where = group ? QStringLiteral("*") : self.toString();

    if (name == "GetWindows")
        return "{GetWindows;" + replyId + joined(wall.windows) + '}';
    if (isWindowCommand(name)) {
        wall.windows = nonEmpty(fields.mid(2));
        return '{' + name + ';' + replyId + '}';
    }
    if (name == "GetSceneNames") {
        QByteArray reply = "{GetSceneNames;" + replyId;
        for (const Scene &scene : qAsConst(wall.scenes))
            reply += ';' + scene.id + ',' + scene.name;
        return reply + '}';
    }
    if (name == "GetScenes") {
        QByteArray reply = "{GetScenes;" + replyId;
        for (const Scene &scene : qAsConst(wall.scenes))
            reply += ';' + scenePiece(wallId, scene.id, scene.name, scene.windows);
        return reply + '}';
    }
    if (name == "GetScene") {
        // The client only looks at it in preview mode; one scene in the "GetScenes" form.
        const int s = sceneIndex(wall, fields[2]);
        if (s < 0)
            return {};
        const Scene &scene = wall.scenes[s];
        return "{GetScene;" + replyId + ';' + scenePiece(wallId, scene.id, scene.name, scene.windows) + '}';
    }
    if (name == "SaveScene") {
        const int comma = fields[2].indexOf(',');
        const QByteArray sceneId = fields[2].left(comma);
        const int s = sceneIndex(wall, sceneId);
        if (s >= 0) {
            // Saving under an existing id is how the client edits a scene: it keeps its place.
            wall.scenes[s].name = fields[2].mid(comma + 1);
            wall.scenes[s].windows = wall.windows;
        } else {
            if (wall.scenes.size() >= MaxScenes)
                return {};
            wall.scenes.append({sceneId, fields[2].mid(comma + 1), wall.windows});
        }
        return "{SaveScene;" + replyId + '}';
    }
    if (name == "DeleteScene") {
        // No answer: the client asks for the scenes again by itself.
        const int s = sceneIndex(wall, fields[2]);
        if (s >= 0)
            wall.scenes.remove(s);
        return {};
    }
    if (name == "CallScene") {
        const int s = sceneIndex(wall, fields[2]);
        if (s < 0)
            return "{CallScene;" + replyId + '}'; // unknown scene: nothing changes, the client just refreshes
        wall.windows = wall.scenes[s].windows;
        return "{CallScene;" + replyId + ';' + fields[2] + '}';
    }
    if (name == "SetScenesPolling") {
        const int seconds = fields[2].toInt();
        wall.pollingSeconds = seconds;
        wall.pollingScenes = seconds > 0 && fields.size() == 4 ? nonEmpty(fields[3].split(',')) : QList<QByteArray>{};
        wall.pollingNext = 0;
        return {};
    }
    if (name == "SetAudios") {
        if (fields.size() == 2)
            wall.audio.clear();
        else
            setOrRemove(wall.audio, where, fields[2]);
        return {};
    }
    if (name == "SetLockFrame") {
        wall.locked = fields.size() == 3;
        return {};
    }
    if (name == "SubtitleOsd") {
        if (fields.size() == 2)
            wall.subtitles.clear();
        else
            wall.subtitles.insert(where, inner.mid(name.size() + 1 + fields[1].size() + 1));
        return {};
    }
    if (name == "ClockOsd") {
        wall.clocks = nonEmpty(fields.mid(2));
        return {};
    }
    if (name == "GetClockOsd")
        return "{GetClockOsd;" + replyId + joined(wall.clocks) + '}';
    return {};
}

QList<Outgoing> WallSystem::statusCommand(const QByteArray &name, const QByteArray &body, const Datagram &in,
                                          const QHostAddress &self, bool viaController)
{
    if (body.isEmpty())
        return {};
    // The store belongs to the installation; through the group the first decoder of the
    // first wall speaks for it.
    bool involved = viaController;
    QHostAddress keeper;
    for (const WallConfig &wall : m_configs) {
        if (keeper.isNull() && !wall.nodes.isEmpty())
            keeper = wall.nodes.first();
        involved = involved || wall.nodes.contains(self);
    }
    if (!involved)
        return {};
    const bool group = !viaController && (in.destination.isMulticast() || in.destination == QHostAddress(QHostAddress::Broadcast));
    const bool answers = viaController || !group || self == keeper;

    QByteArray reply;
    if (name == "SetStatus") {
        // Published, not stored ("SaveClientInfo" follows); echoed as the status notice,
        // which the client shows without sending anything.
        reply = "{SetStatus;" + body + '}';
    } else if (name == "SaveClientInfo") {
        const int comma = body.indexOf(',');
        if (comma <= 0 || body.left(comma).contains(';'))
            return {};
        const QString key = utf8(body.left(comma));
        const QByteArray data = body.mid(comma + 1);
        if (!data.isEmpty() && !m_clientInfo.contains(key) && m_clientInfo.size() >= MaxClientInfo)
            return {};
        setClientInfo(key, data);
    } else if (name == "GetClientInfo") {
        if (body.contains(';'))
            return {};
        const auto found = m_clientInfo.constFind(utf8(body));
        if (found != m_clientInfo.constEnd())
            reply = "{GetClientInfo;" + found.value() + '}';
        // Nothing stored: no answer; the client keeps its designed state.
    }
    const quint16 replyPort = viaController ? CommandPort : in.senderPort;
    if (!answers || reply.isEmpty() || in.sender.isNull() || replyPort == 0)
        return {};
    Outgoing o;
    o.data = reply;
    o.to = in.sender;
    o.port = replyPort;
    return {o};
}

QStringList WallSystem::windows(const QString &wallId) const
{
    const int index = wallIndex(wallId);
    return index < 0 ? QStringList{} : latin1List(m_walls[index].windows);
}

QString WallSystem::windowsText(const QString &wallId) const
{
    return windows(wallId).join(QLatin1Char(';'));
}

bool WallSystem::setWindows(const QString &wallId, const QStringList &windowItems)
{
    const int index = wallIndex(wallId);
    if (index < 0 || windowItems.size() > MaxWindows)
        return false;
    QList<QByteArray> items;
    for (const QString &item : windowItems) {
        const QByteArray bytes = item.toLatin1();
        if (bytes.contains(';') || !validWindowItem(bytes))
            return false;
        items.append(bytes);
    }
    m_walls[index].windows = items;
    return true;
}

QStringList WallSystem::sceneIds(const QString &wallId) const
{
    const int index = wallIndex(wallId);
    QStringList out;
    if (index >= 0) {
        for (const Scene &scene : m_walls[index].scenes)
            out.append(latin1(scene.id));
    }
    return out;
}

QString WallSystem::sceneName(const QString &wallId, const QString &sceneId) const
{
    const int index = wallIndex(wallId);
    if (index < 0)
        return {};
    const int s = sceneIndex(m_walls[index], sceneId.toLatin1());
    return s < 0 ? QString() : fromGbk(m_walls[index].scenes[s].name);
}

QStringList WallSystem::sceneWindows(const QString &wallId, const QString &sceneId) const
{
    const int index = wallIndex(wallId);
    if (index < 0)
        return {};
    const int s = sceneIndex(m_walls[index], sceneId.toLatin1());
    return s < 0 ? QStringList{} : latin1List(m_walls[index].scenes[s].windows);
}

bool WallSystem::saveScene(const QString &wallId, const QString &sceneId, const QString &name)
{
    const int index = wallIndex(wallId);
    const QByteArray id = sceneId.toLatin1();
    if (index < 0 || id.isEmpty() || id.contains(',') || id.contains(';') || name.contains(QLatin1Char(';')))
        return false;
    Wall &wall = m_walls[index];
    const int s = sceneIndex(wall, id);
    if (s >= 0) {
        wall.scenes[s].name = toGbk(name);
        wall.scenes[s].windows = wall.windows;
    } else if (wall.scenes.size() < MaxScenes) {
        wall.scenes.append({id, toGbk(name), wall.windows});
    } else {
        return false;
    }
    return true;
}

bool WallSystem::callScene(const QString &wallId, const QString &sceneId)
{
    const int index = wallIndex(wallId);
    if (index < 0)
        return false;
    const int s = sceneIndex(m_walls[index], sceneId.toLatin1());
    if (s < 0)
        return false;
    m_walls[index].windows = m_walls[index].scenes[s].windows;
    return true;
}

bool WallSystem::deleteScene(const QString &wallId, const QString &sceneId)
{
    const int index = wallIndex(wallId);
    if (index < 0)
        return false;
    const int s = sceneIndex(m_walls[index], sceneId.toLatin1());
    if (s < 0)
        return false;
    m_walls[index].scenes.remove(s);
    return true;
}

int WallSystem::pollingSeconds(const QString &wallId) const
{
    const int index = wallIndex(wallId);
    return index < 0 ? 0 : m_walls[index].pollingSeconds;
}

QStringList WallSystem::pollingScenes(const QString &wallId) const
{
    const int index = wallIndex(wallId);
    return index < 0 ? QStringList{} : latin1List(m_walls[index].pollingScenes);
}

bool WallSystem::stepPolling(const QString &wallId)
{
    const int index = wallIndex(wallId);
    if (index < 0)
        return false;
    Wall &wall = m_walls[index];
    if (wall.pollingSeconds <= 0)
        return false;
    // Scenes deleted since the polling started are skipped.
    for (int tries = 0; tries < wall.pollingScenes.size(); ++tries) {
        const QByteArray id = wall.pollingScenes.value(wall.pollingNext);
        wall.pollingNext = (wall.pollingNext + 1) % wall.pollingScenes.size();
        const int s = sceneIndex(wall, id);
        if (s >= 0) {
            wall.windows = wall.scenes[s].windows;
            return true;
        }
    }
    return false;
}

QStringList WallSystem::clocks(const QString &wallId) const
{
    const int index = wallIndex(wallId);
    return index < 0 ? QStringList{} : latin1List(m_walls[index].clocks);
}

bool WallSystem::locked(const QString &wallId) const
{
    const int index = wallIndex(wallId);
    return index >= 0 && m_walls[index].locked;
}

QByteArray WallSystem::clientInfo(const QString &key) const
{
    return m_clientInfo.value(key);
}

void WallSystem::setClientInfo(const QString &key, const QByteArray &data)
{
    setOrRemove(m_clientInfo, key, data);
}

QJsonArray WallSystem::cycleGroups(const QString &wallId) const
{
    const QJsonObject store = unquotedJson(clientInfo(wallId + QStringLiteral("_cycleGroups")));
    if (store.value(QStringLiteral("obj")).toString() != QLatin1String("cycleGroups"))
        return {};
    return store.value(QStringLiteral("data")).toArray();
}

bool WallSystem::setCycleGroups(const QString &wallId, const QJsonArray &groups)
{
    if (wallIndex(wallId) < 0)
        return false;
    const QJsonObject store{{QStringLiteral("obj"), QStringLiteral("cycleGroups")},
                            {QStringLiteral("id"), wallId},
                            {QStringLiteral("data"), groups}};
    setClientInfo(wallId + QStringLiteral("_cycleGroups"),
                  '"' + QJsonDocument(store).toJson(QJsonDocument::Compact) + '"');
    return true;
}

QJsonObject WallSystem::snapshot() const
{
    QJsonArray walls;
    for (int i = 0; i < m_configs.size(); ++i) {
        const WallConfig &config = m_configs[i];
        const Wall &wall = m_walls[i];
        QJsonArray nodes;
        for (const QHostAddress &node : config.nodes)
            nodes.append(node.toString());
        QJsonArray scenes;
        for (const Scene &scene : wall.scenes) {
            scenes.append(QJsonObject{{QStringLiteral("id"), latin1(scene.id)},
                                      {QStringLiteral("name"), fromGbk(scene.name)},
                                      {QStringLiteral("windows"), jsonList(scene.windows)}});
        }
        QJsonObject audio;
        for (auto it = wall.audio.constBegin(); it != wall.audio.constEnd(); ++it)
            audio.insert(it.key(), latin1(it.value()));
        QJsonObject subtitles;
        for (auto it = wall.subtitles.constBegin(); it != wall.subtitles.constEnd(); ++it)
            subtitles.insert(it.key(), utf8(it.value()));
        QJsonArray clocks;
        for (const QByteArray &clock : wall.clocks)
            clocks.append(utf8(clock));
        walls.append(QJsonObject{
            {QStringLiteral("id"), config.id},
            {QStringLiteral("nodes"), nodes},
            {QStringLiteral("rows"), config.rows},
            {QStringLiteral("columns"), config.columns},
            {QStringLiteral("width"), config.width},
            {QStringLiteral("height"), config.height},
            {QStringLiteral("windows"), jsonList(wall.windows)},
            {QStringLiteral("scenes"), scenes},
            {QStringLiteral("polling"), QJsonObject{{QStringLiteral("seconds"), wall.pollingSeconds},
                                                    {QStringLiteral("sceneIds"), jsonList(wall.pollingScenes)}}},
            {QStringLiteral("audio"), audio},
            {QStringLiteral("locked"), wall.locked},
            {QStringLiteral("subtitles"), subtitles},
            {QStringLiteral("clocks"), clocks},
            {QStringLiteral("cycleGroups"), cycleGroups(config.id)},
        });
    }
    QJsonObject info;
    for (auto it = m_clientInfo.constBegin(); it != m_clientInfo.constEnd(); ++it)
        info.insert(it.key(), utf8(it.value()));
    return QJsonObject{{QStringLiteral("walls"), walls}, {QStringLiteral("clientInfo"), info}};
}

bool WallSystem::routeAudio(const QString &wallId, const QString &decoder, const QByteArray &source)
{
    const int index = wallIndex(wallId);
    if (index < 0)
        return false;
    Wall &wall = m_walls[index];
    if (QHostAddress(decoder) == WallGroup) {
        // The controller's form of silencing the whole wall (or sending it one source).
        wall.audio.clear();
        setOrRemove(wall.audio, QStringLiteral("*"), source);
    } else {
        setOrRemove(wall.audio, decoder, source);
    }
    return true;
}

QJsonObject WallSystem::audio(const QString &wallId) const
{
    const int index = wallIndex(wallId);
    QJsonObject out;
    if (index >= 0) {
        for (auto it = m_walls[index].audio.constBegin(); it != m_walls[index].audio.constEnd(); ++it)
            out.insert(it.key(), latin1(it.value()));
    }
    return out;
}

// --- decoders ---

DecoderPeer::DecoderPeer(WallSystem &system, const QHostAddress &address)
    : m_system(system), m_address(address), m_name(QStringLiteral("decoder-") + address.toString())
{
    for (const WallConfig &wall : system.walls()) {
        const int n = wall.nodes.indexOf(address);
        if (n >= 0) {
            m_name = QStringLiteral("decoder-%1.%2").arg(wall.id).arg(n + 1);
            break;
        }
    }
}

QList<Endpoint> DecoderPeer::groups() const
{
    return {{WallGroup, WallSystem::CommandPort}, {WallGroup, UploadPort}};
}

QList<Outgoing> DecoderPeer::handle(const Datagram &in)
{
    if (in.destinationPort == UploadPort) {
        note(m_upload.chunk(in.data, in.receivedMs));
        return {};
    }
    const QByteArray &data = in.data;
    if (data.startsWith("{\"")) // a node envelope; the status request is the one answered
        return m_status.answer(in);
    if (!data.startsWith("{UploadFile;") || !data.endsWith('}'))
        return m_system.handle(in, m_address, false);
    // {UploadFile;wall;name;data address,port,largest datagram}; nothing is answered.
    const QList<QByteArray> fields = data.mid(1, data.size() - 2).split(';');
    const QString wall = utf8(fields.value(1));
    const QString file = utf8(fields.value(2));
    const bool group = in.destination != m_address;
    if (fields.size() == 4 && !file.isEmpty() && (!group || m_system.wallsOf(m_address).contains(wall)))
        note(m_upload.start(file, in.receivedMs));
    return {};
}

QStringList DecoderPeer::takeEvents(qint64 nowMs)
{
    note(m_upload.expire(nowMs));
    QStringList events;
    events.swap(m_events);
    return events;
}

void DecoderPeer::note(const QList<UploadOutcome> &outcomes)
{
    for (const UploadOutcome &o : outcomes) {
        m_events.append(o.note());
        if (!o.pictureNote().isEmpty())
            m_events.append(o.pictureNote());
    }
}

std::vector<std::unique_ptr<Peer>> makeDecoderPeers(WallSystem &system)
{
    std::vector<std::unique_ptr<Peer>> out;
    QSet<QString> seen;
    for (const WallConfig &wall : system.walls()) {
        for (const QHostAddress &node : wall.nodes) {
            if (seen.contains(node.toString()))
                continue;
            seen.insert(node.toString());
            out.push_back(std::make_unique<DecoderPeer>(system, node));
        }
    }
    return out;
}

// --- controller ---

ControllerPeer::ControllerPeer(WallSystem &system, const QHostAddress &address, QList<SignalResource> resources, Push push)
    : m_system(system), m_address(address), m_resources(std::move(resources)), m_push(std::move(push))
{
}

QByteArray ControllerPeer::response(const QString &name, const QJsonValue &data, const QString &code, const QString &msg)
{
    // Written by hand to keep the keys in the order the envelope is documented in.
    return "{\"response\":" + jsonText(name) + ",\"code\":" + jsonText(code) + ",\"msg\":" + jsonText(msg) +
           ",\"data\":" + jsonText(data) + '}';
}

QJsonObject ControllerPeer::resourceJson(const SignalResource &r) const
{
    return QJsonObject{{QStringLiteral("id"), r.id},       {QStringLiteral("name"), r.name},
                       {QStringLiteral("url0"), r.url0},   {QStringLiteral("url1"), r.url1},
                       {QStringLiteral("snapUrl"), r.snapUrl}, {QStringLiteral("path"), r.path}};
}

QList<Outgoing> ControllerPeer::handle(const Datagram &in)
{
    if (in.data.size() > MaxDatagram || in.sender.isNull())
        return {};
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(in.data, &error);
    if (error.error == QJsonParseError::NoError) {
        if (doc.isObject() && doc.object().contains(QStringLiteral("request")))
            return request(doc.object(), in);
        return {};
    }
    QList<Outgoing> out = m_system.handle(in, m_address, true);
    if (!out.isEmpty() && in.data.startsWith("{SetWindows;")) {
        // Tells the client the snapshot streams of the controller's signals now on the wall.
        const QList<QByteArray> fields = in.data.mid(1, in.data.size() - 2).split(';');
        QJsonArray table;
        QSet<QString> listed;
        for (int i = 2; i < fields.size(); ++i) {
            const QString id = latin1(fields[i].split(',').value(6));
            if (id.isEmpty() || listed.contains(id))
                continue;
            for (const SignalResource &r : qAsConst(m_resources)) {
                if (r.id != id)
                    continue;
                QString snapUrl = r.snapUrl;
                if (r.pushHost > 0 && m_push) {
                    snapUrl = QStringLiteral("%1:%2").arg(in.sender.toString()).arg(r.pushPort);
                    m_push(r.pushHost, in.sender, r.pushPort);
                }
                table.append(QJsonObject{{QStringLiteral("id"), r.id}, {QStringLiteral("snapUrl"), snapUrl}});
                listed.insert(id);
                break;
            }
        }
        if (!table.isEmpty()) {
            Outgoing o;
            o.data = response(QStringLiteral("SetWindows"), table);
            o.to = in.sender;
            o.port = WallSystem::CommandPort;
            out.append(o);
        }
    }
    return out;
}

QList<Outgoing> ControllerPeer::request(const QJsonObject &envelope, const Datagram &in)
{
    const QString name = envelope.value(QStringLiteral("request")).toString();
    const QJsonObject data = envelope.value(QStringLiteral("data")).toObject();
    QList<QByteArray> replies;

    if (name == QLatin1String("GetSignalResourcesTreePage")) {
        int perPage = data.value(QStringLiteral("per_num")).toInt();
        if (perPage <= 0)
            perPage = DefaultPageSize;
        perPage = qMin(perPage, MaxPageSize);
        const int total = m_resources.size();
        const int pages = qMax(1, (total + perPage - 1) / perPage);
        // Pages are numbered from 1; without "index" every page is sent, in order.
        int first = 1;
        int last = pages;
        if (data.contains(QStringLiteral("index"))) {
            first = last = data.value(QStringLiteral("index")).toInt();
        }
        for (int page = first; page <= last; ++page) {
            QJsonArray list;
            for (int i = (page - 1) * perPage; page >= 1 && i < qMin(total, page * perPage); ++i)
                list.append(resourceJson(m_resources[i]));
            replies.append(response(name, QJsonObject{{QStringLiteral("total"), total},
                                                      {QStringLiteral("index"), page},
                                                      {QStringLiteral("list"), list}}));
        }
    } else if (name == QLatin1String("GetSignalResourcesTree")) {
        QJsonArray list;
        for (const SignalResource &r : qAsConst(m_resources))
            list.append(resourceJson(r));
        replies.append(response(name, QJsonObject{{QStringLiteral("list"), list}}));
    } else if (name == QLatin1String("SetAudios")) {
        const QString wall = data.value(QStringLiteral("panel_id")).toVariant().toString();
        const QString decoder = data.value(QStringLiteral("dst_ip")).toString();
        const QByteArray url = data.value(QStringLiteral("url")).toString().toLatin1();
        if (!decoder.isEmpty() && m_system.routeAudio(wall, decoder, url))
            replies.append(response(name, QJsonObject{}));
        else
            replies.append(response(name, QJsonObject{}, QStringLiteral("1"), QStringLiteral("no such wall")));
    } else {
        const QByteArray reply = camera(name, data);
        if (!reply.isEmpty())
            replies.append(reply);
    }

    QList<Outgoing> out;
    for (const QByteArray &reply : qAsConst(replies)) {
        Outgoing o;
        o.data = reply;
        o.to = in.sender;
        o.port = WallSystem::CommandPort;
        out.append(o);
    }
    return out;
}

QByteArray ControllerPeer::camera(const QString &name, const QJsonObject &data)
{
    const bool steer = name == QLatin1String("SetCamerasMove") || name == QLatin1String("SetCamerasZoom");
    const bool save = name == QLatin1String("SetCamerasPresets");
    if (!steer && !save && name != QLatin1String("CallCamerasPresets"))
        return {};
    const QString id = data.value(QStringLiteral("id")).toVariant().toString();
    const QString preset = data.value(QStringLiteral("name")).toVariant().toString();
    const QJsonValue direction = data.value(QStringLiteral("direction"));
    if (id.isEmpty() || id.size() > MaxNameLength || preset.size() > MaxNameLength
        || (steer ? !direction.isDouble() : preset.isEmpty()))
        return response(name, QJsonObject{}, QStringLiteral("1"), QStringLiteral("bad request"));
    // The answer names the camera (and the preset or direction), so a client can tell its
    // answers apart.
    QJsonObject echo{{QStringLiteral("id"), id}};
    if (steer) {
        echo.insert(QStringLiteral("direction"), direction);
        return response(name, echo);
    }
    echo.insert(QStringLiteral("name"), preset);
    const QSet<QString> saved = m_presets.value(id); // empty: a camera never given a preset
    if (!save)
        return saved.contains(preset) ? response(name, echo)
                                      : response(name, echo, QStringLiteral("2"), QStringLiteral("no such preset"));
    const bool room = saved.contains(preset)
                      || (saved.isEmpty() ? m_presets.size() < MaxCameras : saved.size() < MaxPresets);
    if (!room)
        return response(name, echo, QStringLiteral("3"), QStringLiteral("no room for another preset"));
    m_presets[id].insert(preset);
    return response(name, echo);
}

} // namespace lab
