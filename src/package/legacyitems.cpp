#include "package/legacyitems.h"

#include "controls/controlcommands.h"
#include "package/packagereaders.h"

#include <QRect>

namespace kora::package {

namespace {

const QString kClr = QStringLiteral("clr");

// Older packages store their pictures in the data folder under their "PicFiles" names.
QVariant picturePath(const QVariant &name)
{
    const QString text = name.toString();
    return text.isEmpty() ? QVariant(QString()) : QVariant(QStringLiteral("./data/") + text);
}

void copy(QVariantMap &to, const QVariantMap &from, const char *fromKey, const char *toKey = nullptr)
{
    const auto it = from.constFind(QString::fromLatin1(fromKey));
    if (it != from.constEnd())
        to.insert(QString::fromLatin1(toKey ? toKey : fromKey), it.value());
}

QVariantMap states(const QVariant &normal, const QVariant &pressed)
{
    return {{QStringLiteral("normal"), normal}, {QStringLiteral("hover"), normal}, {QStringLiteral("pressed"), pressed}};
}

// A per-state key of a button: the first state's value when it is up, the second's when down.
void insertStates(QVariantMap &to, const char *key, const QVariantMap &up, const QVariantMap &down, const char *fromKey)
{
    const QString k = QString::fromLatin1(fromKey);
    if (up.contains(k) || down.contains(k))
        to.insert(QString::fromLatin1(key), states(up.value(k), down.contains(k) ? down.value(k) : up.value(k)));
}

QString firstValue(const QString &block, const char *key)
{
    for (const auto &line : controls::commandLines(block)) {
        if (line.first == QLatin1String(key))
            return line.second;
    }
    return QString();
}

// A first-generation slider block ("IP", "Port", "Hex", "Key", "Data") as its "Sliding" entry;
// none without a destination, a request or a placeholder for the value.
QVariantList slidingEvents(const QString &block)
{
    const QString ip = firstValue(block, "IP");
    const QString data = firstValue(block, "Data");
    const QString key = firstValue(block, "Key");
    if (ip.isEmpty() || data.isEmpty() || key.isEmpty())
        return {};
    const QVariantMap send{{QStringLiteral("ip"), ip},
                           {QStringLiteral("port"), firstValue(block, "Port").toInt()},
                           {QStringLiteral("protocol"), QStringLiteral("Udp")},
                           {QStringLiteral("type"), firstValue(block, "Hex") == QLatin1String("1") ? QStringLiteral("Hex")
                                                                                                  : QStringLiteral("ASCII")},
                           {QStringLiteral("data"), data},
                           {QStringLiteral("wildcard"), QVariantMap{{key, QString()}}}};
    return {QVariantMap{{QStringLiteral("action"), QStringLiteral("Sliding")},
                        {QStringLiteral("behavior"), QStringLiteral("SendData")},
                        {QStringLiteral("delay"), 0},
                        {QStringLiteral("loop"), 0},
                        {QStringLiteral("value"), send}}};
}

// Qt alignment flags: the horizontal and vertical parts, each centred when the design names none.
void insertAlignment(QVariantMap &to, const QVariantMap &from)
{
    const int align = from.value(QStringLiteral("align")).toInt();
    to.insert(QStringLiteral("alignHor"), (align & 0x0f) ? (align & 0x0f) : 4);
    to.insert(QStringLiteral("alignVer"), (align & 0xf0) ? (align & 0xf0) : 128);
}

QVariantMap textMap(const QVariantMap &legacy)
{
    QVariantMap map{{QStringLiteral("enableVisible"), true}};
    copy(map, legacy, "globalPos");
    copy(map, legacy, "clr");
    copy(map, legacy, "text");
    copy(map, legacy, "family");
    copy(map, legacy, "px");
    copy(map, legacy, "angle", "rotate");
    insertAlignment(map, legacy);
    return map;
}

// The clock format: the design's own text, else by its type.
QString dateFormat(const QVariantMap &legacy)
{
    const QString text = legacy.value(QStringLiteral("text")).toString();
    if (!text.isEmpty())
        return text;
    switch (legacy.value(QStringLiteral("type")).toInt()) {
    case 0: return QStringLiteral("hh:mm:ss");
    case 2: return QStringLiteral("yyyy-MM-dd");
    default: return QStringLiteral("yyyy-MM-dd hh:mm:ss");
    }
}

QString joined(const QVariant &blocks)
{
    return blocks.toStringList().join(QStringLiteral("\r\n"));
}

QList<Design2Item> screenItems(const QVariantMap &legacy)
{
    QVariantMap map = design2Look(legacy);
    const QString id = legacy.value(QStringLiteral("id")).toString();
    map.insert(QStringLiteral("objectName"), id);
    for (const char *key : {"id", "mode", "size", "splitSize", "nodeRects", "stream", "fullEn", "freeEn", "sceneEn",
                            "dockEn", "publishEn", "osdEn", "egMode", "audios"})
        copy(map, legacy, key);
    copy(map, legacy, "toolBarEn", "isShowToolbar");
    QList<Design2Item> items{{Design2Kind::Screen, map}};

    const QVariantMap caption = legacy.value(QStringLiteral("textMap")).toMap();
    if (!caption.isEmpty()) {
        QVariantMap text{{QStringLiteral("enableVisible"), true}, {QStringLiteral("panel_id"), id},
                         {QStringLiteral("alignHor"), 4}, {QStringLiteral("alignVer"), 128}};
        copy(text, caption, "name", "text");
        copy(text, caption, "clr");
        copy(text, caption, "globalPos");
        items.append({Design2Kind::Text, text});
    }
    const QVariantMap bar = legacy.value(QStringLiteral("toolBar")).toMap();
    if (bar.contains(QStringLiteral("globalPos"))) {
        QVariantMap rect = design2Look(bar);
        rect.insert(QStringLiteral("panel_id"), id);
        items.append({Design2Kind::Rect, rect});
    }
    return items;
}

QVariantMap buttonMap(const LegacyWidget &w)
{
    const QVariantMap &up = w.state0;
    const QVariantMap &down = w.state1;
    QVariantMap map{{QStringLiteral("enableVisible"), true}, {QStringLiteral("buttonGroup"), -1},
                    {QStringLiteral("initialTrigger"), false},
                    // Mode 1 latches: the second state is the checked one.
                    {QStringLiteral("autoLift"), w.map.value(QStringLiteral("mode")).toInt() != 1},
                    {QStringLiteral("usingPolyState"), w.map.value(QStringLiteral("isCheck")).toBool() ? 1 : 0},
                    {QStringLiteral("textAlignHorizontal"), 4}, {QStringLiteral("textAlignVertical"), 128}};
    copy(map, w.map, "UUID", "objectName");
    const QString geometry = QStringLiteral("globalPos");
    const QVariant pos = up.contains(geometry) ? up.value(geometry) : down.contains(geometry) ? down.value(geometry)
                                                                                            : w.map.value(geometry);
    if (pos.isValid())
        map.insert(geometry, pos);
    insertStates(map, "text", up, down, "text");
    insertStates(map, "textColor", up, down, "Clr");
    if (up.contains(QStringLiteral("bkPic")) || down.contains(QStringLiteral("bkPic"))) {
        const QVariant upPic = picturePath(up.value(QStringLiteral("bkPic")));
        map.insert(QStringLiteral("bkPic"),
                   states(upPic, down.contains(QStringLiteral("bkPic")) ? picturePath(down.value(QStringLiteral("bkPic"))) : upPic));
    }
    insertStates(map, "monoColor", up, down, "clr");
    if (map.contains(QStringLiteral("monoColor")))
        map.insert(QStringLiteral("isMonoFilled"), states(true, true));
    copy(map, up, "egWidth");
    copy(map, up, "egClr");
    copy(map, up, "trans");

    // Entering a state sends that state's commands: pressing (or checking) the second's,
    // releasing (or unchecking) the first's.
    QVariantList events = design2Events(down.value(QStringLiteral("cmd")).toStringList(), QStringLiteral("ButtonPressed"));
    events += design2Events(up.value(QStringLiteral("cmd")).toStringList(), QStringLiteral("ButtonRelease"));
    const QString page = w.map.value(QStringLiteral("pageSwitch")).toString();
    if (!page.isEmpty() && page != QLatin1String("-1")) {
        events.append(QVariantMap{{QStringLiteral("action"), QStringLiteral("Clicked")},
                                  {QStringLiteral("behavior"), QStringLiteral("SwitchPage")},
                                  {QStringLiteral("delay"), 0},
                                  {QStringLiteral("loop"), 0},
                                  {QStringLiteral("value"), page}});
    }
    map.insert(QStringLiteral("eventAttrList"), events);
    return map;
}

QVariantMap sliderMap(const QVariantMap &legacy)
{
    QVariantMap map{{QStringLiteral("enableVisible"), true}, {QStringLiteral("rotateDir"), 0}};
    copy(map, legacy, "UUID", "objectName");
    copy(map, legacy, "globalPos");
    copy(map, legacy, "min", "minValue");
    copy(map, legacy, "max", "maxValue");
    copy(map, legacy, "Mode", "sliderType");
    copy(map, legacy, "Text_en", "showTextLable");
    copy(map, legacy, "startAngle");
    if (legacy.contains(QStringLiteral("startAngle")) && legacy.contains(QStringLiteral("totalAngle")))
        map.insert(QStringLiteral("endAngle"),
                   (legacy.value(QStringLiteral("startAngle")).toInt() + legacy.value(QStringLiteral("totalAngle")).toInt()) % 360);
    const QVariantMap caption = legacy.value(QStringLiteral("textMap")).toMap();
    if (!caption.isEmpty()) {
        QVariantMap text;
        copy(text, caption, "text");
        copy(text, caption, "textClr", "clr");
        copy(text, caption, "globalPos");
        map.insert(QStringLiteral("textMap"), text);
    }
    map.insert(QStringLiteral("bkRectMap"), design2Look(legacy));
    const QVariantMap handle = legacy.value(QStringLiteral("buttonMap")).toMap();
    const QVariantMap handleUp = handle.value(QStringLiteral("state0")).toMap();
    if (!handle.isEmpty())
        map.insert(QStringLiteral("buttonMap"), design2Look(handleUp));
    const QString cmd = joined(handleUp.value(QStringLiteral("cmd")));
    map.insert(QStringLiteral("cmd"), cmd);
    map.insert(QStringLiteral("eventAttrList"), slidingEvents(cmd));
    return map;
}

QVariantMap dockerMap(const QVariantMap &legacy)
{
    QVariantMap map{{QStringLiteral("dataDockerType"), 2}};
    copy(map, legacy, "UUID", "objectName");
    copy(map, legacy, "globalPos");
    copy(map, legacy, "Min", "dataMinValue");
    copy(map, legacy, "Max", "dataMaxValue");
    copy(map, legacy, "Text_en", "isShowLable");
    // The listener's request as the older form has it.
    copy(map, legacy, "cmd");
    copy(map, legacy, "hex");
    copy(map, legacy, "key");
    map.insert(QStringLiteral("bkRectMap"), design2Look(legacy));
    const QVariantMap caption = legacy.value(QStringLiteral("textMap")).toMap();
    if (!caption.isEmpty()) {
        QVariantMap text;
        copy(text, caption, "text");
        copy(text, caption, "textClr");
        copy(text, caption, "globalPos");
        map.insert(QStringLiteral("textMap"), text);
    }
    return map;
}

QVariantMap previewMap(const LegacyWidget &w)
{
    const QVariantMap &legacy = w.map;
    QVariantMap map{{QStringLiteral("linkedGroup"), w.groups}};
    copy(map, legacy, "UUID", "objectName");
    copy(map, legacy, "globalPos");
    copy(map, legacy, "winNum");
    copy(map, legacy, "dragEn");
    copy(map, legacy, "scenePanel");
    copy(map, legacy, "padding", "space");
    // The list runs along its longer side (1: top to bottom).
    const QRect area = legacy.value(QStringLiteral("globalPos")).toRect();
    map.insert(QStringLiteral("direction"), area.height() > area.width() ? 1 : 0);
    copy(map, legacy, "textClr", "textColor");
    copy(map, legacy, "textOffset");
    copy(map, legacy, "textOffsetx");
    copy(map, legacy, "scrollW");
    map.insert(QStringLiteral("isShowScrollbar"), legacy.value(QStringLiteral("scrollW")).toInt() > 0);
    map.insert(QStringLiteral("bkRect"), design2Look(legacy));
    return map;
}

QVariantMap inputBoxMap(const QVariantMap &legacy)
{
    QVariantMap map{{QStringLiteral("enableVisible"), true}, {QStringLiteral("isSearchMode"), true},
                    {QStringLiteral("isPasswdMode"), false}};
    copy(map, legacy, "globalPos");
    copy(map, legacy, "linkUUID", "linkedWidget");
    map.insert(QStringLiteral("BKRect"), design2Look(legacy));
    return map;
}

// List and matrix keep their older keys (the host reads both spellings) and gain the
// Design 2.0 ones.
QVariantMap withIds(const QVariantMap &legacy)
{
    QVariantMap map = legacy;
    copy(map, legacy, "UUID", "uuid");
    copy(map, legacy, "UUID", "objectName");
    return map;
}

QVariantMap listMap(const QVariantMap &legacy)
{
    QVariantMap map = withIds(legacy);
    map.insert(QStringLiteral("bkRect"), design2Look(legacy));
    return map;
}

QVariantMap matrixMap(const QVariantMap &legacy)
{
    QVariantMap map = withIds(legacy);
    const QVariantMap handle = legacy.value(QStringLiteral("buttonMap")).toMap();
    QVariantMap button;
    for (const QString &state : {QStringLiteral("state0"), QStringLiteral("state1")})
        button.insert(state, QVariantMap{{QStringLiteral("cmd"), joined(handle.value(state).toMap().value(QStringLiteral("cmd")))}});
    map.insert(QStringLiteral("vxButton"), button);
    return map;
}

} // namespace

QVariantMap design2Look(const QVariantMap &legacy)
{
    QVariantMap map;
    copy(map, legacy, "globalPos");
    copy(map, legacy, "egWidth");
    copy(map, legacy, "egClr");
    copy(map, legacy, "trans");
    if (!legacy.value(QStringLiteral("bkPic")).toString().isEmpty())
        map.insert(QStringLiteral("bkPic"), picturePath(legacy.value(QStringLiteral("bkPic"))));
    const QString clr = legacy.value(kClr).toString();
    const QString clr2 = legacy.value(QStringLiteral("clr2")).toString();
    if (!clr.isEmpty()) {
        map.insert(QStringLiteral("isMonoFilled"), true);
        map.insert(QStringLiteral("monoColor"), clr);
        map.insert(kClr, clr);
    }
    // Mode 1 with a second colour: a top-to-bottom gradient between the two.
    if (legacy.value(QStringLiteral("bkMode")).toInt() == 1 && !clr.isEmpty() && !clr2.isEmpty()) {
        map.insert(QStringLiteral("isGradientFilled"), true);
        map.insert(QStringLiteral("gradientRotate"), 90);
        map.insert(QStringLiteral("gradientColor"),
                   QVariantList{QVariantMap{{QStringLiteral("QColor"), clr}, {QStringLiteral("qreal"), 0.0}},
                                QVariantMap{{QStringLiteral("QColor"), clr2}, {QStringLiteral("qreal"), 1.0}}});
    }
    return map;
}

QVariantList design2Events(const QStringList &blocks, const QString &action)
{
    QVariantList events;
    qint64 at = 0;
    for (const controls::Packet &p : controls::buttonPackets(blocks)) {
        at = qMin<qint64>(at + p.delayMs, controls::kMaxDelayMs);
        QVariantMap send{{QStringLiteral("ip"), p.ip}, {QStringLiteral("port"), int(p.port)}};
        if (p.transport == controls::Transport::Internal) {
            send.insert(QStringLiteral("type"), QStringLiteral("ASCII"));
            send.insert(QStringLiteral("protocol"), QStringLiteral("Udp"));
            send.insert(QStringLiteral("data"), QString::fromUtf8(p.data));
        } else {
            send.insert(QStringLiteral("type"), QStringLiteral("Hex"));
            send.insert(QStringLiteral("protocol"),
                        p.transport == controls::Transport::Tcp ? QStringLiteral("Tcp") : QStringLiteral("Udp"));
            send.insert(QStringLiteral("data"), QString::fromLatin1(p.data.toHex(' ')));
        }
        events.append(QVariantMap{{QStringLiteral("action"), action},
                                  {QStringLiteral("behavior"), QStringLiteral("SendData")},
                                  {QStringLiteral("delay"), int(at)},
                                  {QStringLiteral("loop"), 0},
                                  {QStringLiteral("value"), send}});
    }
    return events;
}

QVariantMap design2Page(const QString &id, const QString &name)
{
    return {{QStringLiteral("objectName"), name}, {QStringLiteral("pageId"), id},
            {QStringLiteral("isGlobalPage"), false}, {QStringLiteral("isNoFilled"), true}};
}

QList<Design2Item> design2Items(const LegacyWidget &w)
{
    switch (w.kind) {
    case LegacyKind::Rect: return {{Design2Kind::Rect, design2Look(w.map)}};
    case LegacyKind::Text: {
        QVariantMap map = textMap(w.map);
        if (w.map.value(QStringLiteral("time")).toInt() != 1)
            return {{Design2Kind::Text, map}};
        map.insert(QStringLiteral("dateFormat"), dateFormat(w.map));
        map.remove(QStringLiteral("text"));
        return {{Design2Kind::Date, map}};
    }
    case LegacyKind::Panel: return screenItems(w.map);
    case LegacyKind::Button: return {{Design2Kind::Button, buttonMap(w)}};
    case LegacyKind::Preview: return {{Design2Kind::Preview, previewMap(w)}};
    case LegacyKind::Slider: return {{Design2Kind::Slider, sliderMap(w.map)}};
    case LegacyKind::SearchBox: return {{Design2Kind::InputBox, inputBoxMap(w.map)}};
    case LegacyKind::Listen: return {{Design2Kind::Docker, dockerMap(w.map)}};
    case LegacyKind::Matrix: return {{Design2Kind::Matrix, matrixMap(w.map)}};
    case LegacyKind::List: return {{Design2Kind::List, listMap(w.map)}};
    }
    return {};
}

ListenerMaps listenerMaps(const QVariantMap &listen)
{
    const QString cmd = listen.value(QStringLiteral("cmd")).toString();
    const auto value = [&cmd](const char *key) { return blockValue(cmd, QLatin1String(key)).trimmed(); };
    bool portOk = false;
    const uint port = value("Port").toUInt(&portOk);
    const QString ip = value("IP");
    const QString data = value("Data");
    if (ip.isEmpty() || data.isEmpty() || !portOk || port == 0 || port > 65535)
        return {};
    bool recvOk = false;
    uint recvPort = value("RecvPort").toUInt(&recvOk);
    if (!recvOk || recvPort == 0 || recvPort > 65535)
        recvPort = port;
    const bool hex = listen.value(QStringLiteral("hex")).toString() == QLatin1String("HEX");
    const QString type = hex ? QStringLiteral("HEX") : QStringLiteral("ASC");
    const QString group = value("Group");
    // A HEX reply is cut in its digits, so the template is its digits too.
    QString reply = blockValue(cmd, QStringLiteral("Reply"));
    if (hex)
        reply.remove(QLatin1Char(' '));
    ListenerMaps maps;
    maps.send = QVariantMap{{QStringLiteral("ip"), ip},
                            {QStringLiteral("port"), int(port)},
                            {QStringLiteral("data"), data},
                            {QStringLiteral("time"), value("Time").toInt()},
                            {QStringLiteral("type"), type}};
    maps.recv = QVariantMap{{QStringLiteral("port"), int(recvPort)},
                            {QStringLiteral("protocol"), group.isEmpty() ? QStringLiteral("Udp") : QStringLiteral("Multicast")},
                            {QStringLiteral("ip"), group},
                            {QStringLiteral("type"), type},
                            {QStringLiteral("data"), reply},
                            {QStringLiteral("key"), listen.value(QStringLiteral("key"))}};
    return maps;
}

} // namespace kora::package
