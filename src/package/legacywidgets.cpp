#include "package/legacywidgets.h"
#include "package/packagereaders.h"

#include "settings/translations.h"

#include <QHash>
#include <QSize>

namespace kora::package {

namespace {

// A wall larger than this is no wall: the grid fields come from the network.
constexpr int kMaxLegacyWallCells = 1024;

// How a value's text becomes the value of its map key.
enum class Form {
    Text,   // QString, as written
    Int,    // int; left out when not a number
    Switch, // bool, "1" is on
    Colour, // "#rrggbb" (legacyColour)
    Rect,   // QRect (legacyRect); left out when malformed
    Size,   // "WxH" -> QSize; left out when malformed
    Names,  // "a|b|c" -> QStringList, empty parts skipped
};

struct Rule {
    const char *key;
    const char *mapKey;
    Form form;
};

struct Rules {
    const Rule *begin;
    const Rule *end;
};

template <size_t N>
constexpr Rules rules(const Rule (&table)[N])
{
    return {table, table + N};
}

// ---- Key tables, one per block kind and sub-block.

const Rule kBkRect[] = {
    {"Pos", "globalPos", Form::Rect}, {"Pic", "bkPic", Form::Text},  {"EgWidth", "egWidth", Form::Int},
    {"EgClr", "egClr", Form::Colour}, {"Clr", "clr", Form::Colour},  {"Mode", "bkMode", Form::Int},
    {"Clr2", "clr2", Form::Colour},   {"Trans", "trans", Form::Int}, {"Layer", "layer", Form::Int},
};
const Rule kText[] = {
    {"Pos", "globalPos", Form::Rect}, {"Clr", "clr", Form::Colour}, {"Text", "text", Form::Text},
    {"Align", "align", Form::Int},    {"Font", "family", Form::Text}, {"Angle", "angle", Form::Int},
    {"TextH", "px", Form::Int},       {"Layer", "layer", Form::Int},
};
const Rule kTime[] = {
    {"Type", "type", Form::Int},
};
// A caption or label inside a wall, slider or level display.
const Rule kCaption[] = {
    {"Text", "text", Form::Text}, {"Clr", "textClr", Form::Colour}, {"Pos", "globalPos", Form::Rect},
};
const Rule kWallCaption[] = {
    {"Text", "name", Form::Text}, {"Clr", "clr", Form::Colour}, {"Pos", "globalPos", Form::Rect},
};
const Rule kPanel[] = {
    {"UUID", "id", Form::Text},           {"Mode", "mode", Form::Int},          {"SceneEn", "sceneEn", Form::Switch},
    {"PublishEn", "publishEn", Form::Switch}, {"TopEn", "topEn", Form::Switch}, {"FreeEn", "freeEn", Form::Switch},
    {"DockEn", "dockEn", Form::Switch},   {"OSDEn", "osdEn", Form::Switch},     {"FullEn", "fullEn", Form::Switch},
    {"ToolBarEn", "toolBarEn", Form::Switch}, {"Stream", "stream", Form::Int},  {"EgMode", "egMode", Form::Int},
    {"Clone", "clone", Form::Int},        {"Scale", "splitSize", Form::Size},   {"Size", "size", Form::Size},
};
const Rule kToolBar[] = {
    {"Mode", "mode", Form::Int}, {"Fix", "fix", Form::Int},
};
const Rule kButton[] = {
    {"UUID", "UUID", Form::Text},       {"Default", "isCheck", Form::Switch}, {"PageSwitch", "pageSwitch", Form::Text},
    {"Link", "link", Form::Text},       {"Mode", "mode", Form::Int},          {"LinkLayer", "linkLayer", Form::Text},
};
const Rule kButtonState[] = {
    {"Text", "text", Form::Text}, {"Clr", "Clr", Form::Colour}, {"Pos", "pos", Form::Rect},
};
const Rule kPreview[] = {
    {"Mode", "Mode", Form::Int},                {"UUID", "UUID", Form::Text},
    {"WinNum", "winNum", Form::Int},            {"WinOffset", "winOffset", Form::Int},
    {"TextOffset", "textOffset", Form::Int},    {"TextOffsetX", "textOffsetx", Form::Int},
    {"Padding", "padding", Form::Int},          {"DragEn", "dragEn", Form::Switch},
    {"ScenePanel", "scenePanel", Form::Text},   {"SceneMatirx", "sceneMatirx", Form::Text},
    {"TextClr", "textClr", Form::Colour},       {"ScrollW", "scrollW", Form::Int},
    {"ScrollClr", "scrollClr", Form::Colour},   {"ScrollTrans", "scrollTrans", Form::Int},
    {"AudioEn", "audioEn", Form::Switch},
};
const Rule kPreviewLabel[] = {
    {"Size", "labelW", Form::Int}, {"TextClr", "TextClr", Form::Colour}, {"SelTextClr", "selTextClr", Form::Colour},
};
const Rule kSlider[] = {
    {"Min", "min", Form::Int},   {"Max", "max", Form::Int},   {"Mode", "Mode", Form::Int},
    {"Text_en", "Text_en", Form::Switch}, {"UUID", "UUID", Form::Text},
    {"StartAngle", "startAngle", Form::Int}, {"TotalAngle", "totalAngle", Form::Int},
};
const Rule kSearchBox[] = {
    {"LinkUUID", "linkUUID", Form::Text},
};
const Rule kListen[] = {
    {"Min", "Min", Form::Int}, {"Max", "Max", Form::Int}, {"Mode", "Mode", Form::Int},
    {"UUID", "UUID", Form::Text}, {"Text_en", "Text_en", Form::Switch},
};
const Rule kMatrix[] = {
    {"FullLine", "fullLine", Form::Switch}, {"SpaceX", "spaceX", Form::Int},     {"SpaceY", "spaceY", Form::Int},
    {"TextClr", "TextClr", Form::Colour},   {"EgWidth", "EgWidth", Form::Int},   {"EgClr", "EgClr", Form::Colour},
    {"ToolBarEn", "ToolBarEn", Form::Switch}, {"SceneEn", "SceneEn", Form::Switch}, {"UUID", "UUID", Form::Text},
    {"YList", "ylist", Form::Names},        {"XList", "xlist", Form::Names},
};
const Rule kList[] = {
    {"ItemH", "itemH", Form::Int},          {"ItemOffset", "itemOffset", Form::Int}, {"Clr", "Clr", Form::Colour},
    {"TextClr", "TextClr", Form::Colour},   {"SelTextClr", "SelTextClr", Form::Colour},
    {"SelTrans", "selTrans", Form::Int},    {"EgWidth", "EgWidth", Form::Int},      {"EgClr", "EgClr", Form::Colour},
    {"PageSwitch", "PageSwitch", Form::Text}, {"GroupList", "groupList", Form::Names}, {"UUID", "UUID", Form::Text},
    {"ScrollW", "ScrollW", Form::Int},      {"ScrollClr", "ScrollClr", Form::Colour},
    {"ScrollTrans", "ScrollTrans", Form::Int},
};

QString firstBlock(const QString &text, const QString &name)
{
    return extractNamedBlocks(text, name).value(0);
}

bool hasBlock(const QString &text, const QString &name)
{
    return !extractNamedBlocks(text, name).isEmpty();
}

bool rectFrom(const QString &text, QRect *rect)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 3)
        return false;
    const QStringList size = parts.at(2).split(QLatin1Char('x'));
    if (size.size() != 2)
        return false;
    bool ok[4] = {};
    const int x = parts.at(0).trimmed().toInt(&ok[0]);
    const int y = parts.at(1).trimmed().toInt(&ok[1]);
    const int w = size.at(0).trimmed().toInt(&ok[2]);
    const int h = size.at(1).trimmed().toInt(&ok[3]);
    if (!ok[0] || !ok[1] || !ok[2] || !ok[3] || w < 0 || h < 0)
        return false;
    *rect = QRect(x, y, w, h);
    return true;
}

bool sizeFrom(const QString &text, QSize *size)
{
    const QStringList parts = text.split(QLatin1Char('x'));
    bool okW = false, okH = false;
    const int w = parts.value(0).trimmed().toInt(&okW);
    const int h = parts.value(1).trimmed().toInt(&okH);
    if (parts.size() != 2 || !okW || !okH || w < 0 || h < 0)
        return false;
    *size = QSize(w, h);
    return true;
}

void put(QVariantMap &map, const Rule &rule, const QString &value)
{
    const QString key = QString::fromLatin1(rule.mapKey);
    switch (rule.form) {
    case Form::Text: map.insert(key, value); return;
    case Form::Int: {
        bool ok = false;
        const int n = value.trimmed().toInt(&ok);
        if (ok)
            map.insert(key, n);
        return;
    }
    case Form::Switch: map.insert(key, value.trimmed() == QLatin1String("1")); return;
    case Form::Colour: map.insert(key, legacyColour(value)); return;
    case Form::Rect: {
        QRect r;
        if (rectFrom(value, &r))
            map.insert(key, r);
        return;
    }
    case Form::Size: {
        QSize s;
        if (sizeFrom(value, &s))
            map.insert(key, s);
        return;
    }
    case Form::Names: map.insert(key, value.split(QLatin1Char('|'), Qt::SkipEmptyParts)); return;
    }
}

void readInto(QVariantMap &map, const QString &block, std::initializer_list<Rules> tables)
{
    for (const Rules &table : tables) {
        for (const Rule *rule = table.begin; rule != table.end; ++rule) {
            const QStringList values = blockValues(block, QString::fromLatin1(rule->key));
            if (!values.isEmpty())
                put(map, *rule, values.first());
        }
    }
}

QVariantMap readMap(const QString &block, std::initializer_list<Rules> tables)
{
    QVariantMap map;
    readInto(map, block, tables);
    return map;
}

// A widget's own "BkRect" gives its rectangle and look, merged into its map.
void readBkRect(QVariantMap &map, const QString &block)
{
    const QStringList rects = extractNamedBlocks(block, QStringLiteral("BkRect"));
    if (!rects.isEmpty())
        readInto(map, rects.first(), {rules(kBkRect)});
}

QVariantMap readButtonState(const QString &state)
{
    QVariantMap map = readMap(state, {rules(kButtonState)});
    readBkRect(map, state);
    // The first-generation command blocks, in order, as the button sender takes them.
    map.insert(QStringLiteral("cmd"), extractNamedBlocks(state, QStringLiteral("Cmd")));
    return map;
}

LegacyWidget readButtonWidget(const QString &block)
{
    LegacyWidget w;
    w.kind = LegacyKind::Button;
    w.map = readMap(block, {rules(kButton)});
    readBkRect(w.map, block);
    const QStringList states = extractNamedBlocks(block, QStringLiteral("ButtonState"));
    if (states.size() > 0)
        w.state0 = readButtonState(states.at(0));
    if (states.size() > 1)
        w.state1 = readButtonState(states.at(1));
    return w;
}

// The button inside a slider or matrix: its map with the states under "state0"/"state1".
QVariantMap innerButton(const QString &block)
{
    if (!hasBlock(block, QStringLiteral("Button")))
        return {};
    const LegacyWidget b = readButtonWidget(firstBlock(block, QStringLiteral("Button")));
    QVariantMap map = b.map;
    map.insert(QStringLiteral("state0"), b.state0);
    map.insert(QStringLiteral("state1"), b.state1);
    return map;
}

void insertSub(QVariantMap &map, const QString &block, const QString &name, const char *key, QVariantMap sub)
{
    if (hasBlock(block, name))
        map.insert(QString::fromLatin1(key), sub);
}

// A "Text" sub-block: the widget's caption.
void insertCaption(QVariantMap &map, const QString &block)
{
    insertSub(map, block, QStringLiteral("Text"), "textMap",
              readMap(firstBlock(block, QStringLiteral("Text")), {rules(kCaption)}));
}

QVariantMap toolBarMap(const QString &block)
{
    const QString bar = firstBlock(block, QStringLiteral("ToolBar"));
    QVariantMap map = readMap(bar, {rules(kToolBar)});
    readBkRect(map, bar);
    return map;
}

// "a,b,x,y,WxH" and "a,b,ip": a, b are the decoder's column and row in the wall's grid.
struct Cell {
    int column = -1;
    int row = -1;
    QString rest;
};

Cell cellOf(const QString &value)
{
    Cell c;
    const int first = value.indexOf(QLatin1Char(','));
    const int second = first < 0 ? -1 : value.indexOf(QLatin1Char(','), first + 1);
    if (second < 0)
        return c;
    bool okC = false, okR = false;
    const int column = value.left(first).trimmed().toInt(&okC);
    const int row = value.mid(first + 1, second - first - 1).trimmed().toInt(&okR);
    if (!okC || !okR || column < 0 || row < 0)
        return c;
    c.column = column;
    c.row = row;
    c.rest = value.mid(second + 1);
    return c;
}

// A dock window: five integers x, y, width, height, chn; "x,y,WxH,chn" is read the same.
bool dockWindowFrom(const QString &text, design::DockWindow *window)
{
    QString flat = text;
    flat.replace(QLatin1Char('x'), QLatin1Char(','));
    const QStringList parts = flat.split(QLatin1Char(','));
    if (parts.size() != 5)
        return false;
    int n[5];
    for (int i = 0; i < 5; ++i) {
        bool ok = false;
        n[i] = parts.at(i).trimmed().toInt(&ok);
        if (!ok)
            return false;
    }
    *window = {QRect(n[0], n[1], n[2], n[3]), n[4], QString()};
    return true;
}

LegacyWidget readPanel(const QString &block, LegacyPageWidgets &out)
{
    LegacyWidget w;
    w.kind = LegacyKind::Panel;
    w.map = readMap(block, {rules(kPanel)});
    readBkRect(w.map, block);

    design::WallRecord wall;
    wall.id = w.map.value(QStringLiteral("id")).toString();
    wall.freeLayout = w.map.value(QStringLiteral("freeEn")).toBool() ? 1 : 0;
    wall.fullScreen = w.map.value(QStringLiteral("fullEn")).toBool() ? 1 : 0;
    wall.virtualResolution = w.map.value(QStringLiteral("size")).toSize();
    const QSize split = w.map.value(QStringLiteral("splitSize")).toSize();
    const int columns = qMax(1, split.width());
    const int cells = qMin(kMaxLegacyWallCells, qMax(1, split.width()) * qMax(1, split.height()));

    // Decoder addresses by cell; the node rectangles in line order, each with the decoder
    // of its cell as the wall builder gives them.
    QHash<int, QString> decoders;
    for (const QString &value : blockValues(block, QStringLiteral("NodeIP"))) {
        const Cell c = cellOf(value);
        const int index = c.column + c.row * columns;
        if (c.column < 0 || c.column >= columns || index >= cells)
            continue;
        decoders.insert(index, c.rest.trimmed());
        while (wall.decoderAddresses.size() <= index) {
            wall.decoderAddresses.append(QString());
            wall.cellRects.append(QRect());
        }
        wall.decoderAddresses[index] = c.rest.trimmed();
    }
    QVariantList nodeRects;
    for (const QString &value : blockValues(block, QStringLiteral("NodePos"))) {
        const Cell c = cellOf(value);
        QRect r;
        if (c.column < 0 || !rectFrom(c.rest, &r))
            continue;
        const int index = c.column + c.row * columns;
        const bool inGrid = c.column < columns && index < cells;
        const QString audio = inGrid ? decoders.value(index) : QString();
        wall.nodeRects.append(r);
        if (inGrid && index < wall.cellRects.size())
            wall.cellRects[index] = r;
        nodeRects.append(QVariantMap{{QStringLiteral("x"), r.x()},
                                     {QStringLiteral("y"), r.y()},
                                     {QStringLiteral("width"), r.width()},
                                     {QStringLiteral("height"), r.height()},
                                     {QStringLiteral("audio"), audio},
                                     {QStringLiteral("chn"), 0}});
    }
    if (!nodeRects.isEmpty())
        w.map.insert(QStringLiteral("nodeRects"), nodeRects);
    if (!wall.decoderAddresses.isEmpty())
        w.map.insert(QStringLiteral("nodeIPs"), wall.decoderAddresses);

    if (hasBlock(block, QStringLiteral("Text"))) {
        const QVariantMap caption = readMap(firstBlock(block, QStringLiteral("Text")), {rules(kWallCaption)});
        w.map.insert(QStringLiteral("textMap"), caption);
        w.map.insert(QStringLiteral("name"), caption.value(QStringLiteral("name")).toString());
    }

    QVariantList docks;
    for (const QString &dock : extractNamedBlocks(block, QStringLiteral("Dock"))) {
        design::DockPreset preset;
        preset.name = blockValue(dock, QStringLiteral("Name"));
        const QStringList windows = blockValues(dock, QStringLiteral("DockPos"));
        for (const QString &text : windows) {
            design::DockWindow window;
            if (dockWindowFrom(text, &window))
                preset.windows.append(window);
        }
        wall.docks.append(preset);
        docks.append(QVariantMap{{QStringLiteral("name"), preset.name}, {QStringLiteral("dockPos"), windows}});
    }
    if (!docks.isEmpty())
        w.map.insert(QStringLiteral("docks"), docks);
    if (hasBlock(block, QStringLiteral("AudioArea")))
        w.map.insert(QStringLiteral("audios"),
                     blockValues(firstBlock(block, QStringLiteral("AudioArea")), QStringLiteral("DockPos")));
    insertSub(w.map, block, QStringLiteral("ToolBar"), "toolBar", toolBarMap(block));

    wall.description = {{QStringLiteral("name"), w.map.value(QStringLiteral("name")).toString()},
                        {QStringLiteral("id"), wall.id},
                        {QStringLiteral("mode"), w.map.value(QStringLiteral("mode")).toString()},
                        {QStringLiteral("size"), wall.virtualResolution},
                        {QStringLiteral("splitSize"), split},
                        {QStringLiteral("globalPos"), w.map.value(QStringLiteral("globalPos")).toRect()}};
    out.walls.append(wall);
    return w;
}

LegacyWidget readRect(const QString &block, LegacyPageWidgets &)
{
    return {LegacyKind::Rect, readMap(block, {rules(kBkRect)}), {}, {}, {}};
}

LegacyWidget readText(const QString &block, LegacyPageWidgets &)
{
    QVariantMap map = readMap(block, {rules(kText)});
    map.insert(QStringLiteral("time"), 0);
    return {LegacyKind::Text, map, {}, {}, {}};
}

LegacyWidget readTime(const QString &block, LegacyPageWidgets &)
{
    QVariantMap map = readMap(block, {rules(kText), rules(kTime)});
    map.insert(QStringLiteral("time"), 1);
    return {LegacyKind::Text, map, {}, {}, {}};
}

LegacyWidget readButton(const QString &block, LegacyPageWidgets &)
{
    return readButtonWidget(block);
}

LegacyWidget readPreview(const QString &block, LegacyPageWidgets &)
{
    LegacyWidget w;
    w.kind = LegacyKind::Preview;
    w.map = readMap(block, {rules(kPreview)});
    readBkRect(w.map, block);
    insertSub(w.map, block, QStringLiteral("Label"), "tabMap",
              readMap(firstBlock(block, QStringLiteral("Label")), {rules(kPreviewLabel)}));
    w.groups = blockValue(block, QStringLiteral("GroupList")).split(QLatin1Char('|'), Qt::SkipEmptyParts);
    return w;
}

LegacyWidget readSlider(const QString &block, LegacyPageWidgets &)
{
    LegacyWidget w;
    w.kind = LegacyKind::Slider;
    w.map = readMap(block, {rules(kSlider)});
    readBkRect(w.map, block);
    insertCaption(w.map, block);
    insertSub(w.map, block, QStringLiteral("Button"), "buttonMap", innerButton(block));
    return w;
}

LegacyWidget readSearchBox(const QString &block, LegacyPageWidgets &)
{
    QVariantMap map = readMap(block, {rules(kSearchBox)});
    readBkRect(map, block);
    return {LegacyKind::SearchBox, map, {}, {}, {}};
}

LegacyWidget readListen(const QString &block, LegacyPageWidgets &)
{
    LegacyWidget w;
    w.kind = LegacyKind::Listen;
    w.map = readMap(block, {rules(kListen)});
    readBkRect(w.map, block);
    insertCaption(w.map, block);
    if (hasBlock(block, QStringLiteral("Cmd"))) {
        const QString cmd = firstBlock(block, QStringLiteral("Cmd"));
        w.map.insert(QStringLiteral("hex"), blockValue(cmd, QStringLiteral("Hex")).trimmed() == QLatin1String("1")
                                                ? QStringLiteral("HEX")
                                                : QStringLiteral("ASC"));
        w.map.insert(QStringLiteral("key"), blockValue(cmd, QStringLiteral("Key")));
        // The rest of the block (address, port, request) is the level listener's.
        w.map.insert(QStringLiteral("cmd"), cmd);
    }
    return w;
}

LegacyWidget readMatrix(const QString &block, LegacyPageWidgets &)
{
    LegacyWidget w;
    w.kind = LegacyKind::Matrix;
    w.map = readMap(block, {rules(kMatrix)});
    QSize scale;
    if (sizeFrom(blockValue(block, QStringLiteral("Scale")), &scale)) {
        w.map.insert(QStringLiteral("col"), scale.width());
        w.map.insert(QStringLiteral("row"), scale.height());
    }
    readBkRect(w.map, block);
    insertSub(w.map, block, QStringLiteral("Button"), "buttonMap", innerButton(block));
    insertSub(w.map, block, QStringLiteral("ToolBar"), "toolBar", toolBarMap(block));
    return w;
}

LegacyWidget readList(const QString &block, LegacyPageWidgets &)
{
    QVariantMap map = readMap(block, {rules(kList)});
    readBkRect(map, block);
    return {LegacyKind::List, map, {}, {}, {}};
}

// The block kinds in the order their signals go out.
struct Kind {
    const char *block;
    LegacyWidget (*read)(const QString &, LegacyPageWidgets &);
};
const Kind kKinds[] = {
    {"BkRect", readRect},   {"Text", readText},     {"Time", readTime},           {"Panel", readPanel},
    {"Button", readButton}, {"Preview", readPreview}, {"Slider", readSlider},     {"SearchBox", readSearchBox},
    {"Listen", readListen}, {"Matrix", readMatrix}, {"List", readList},
};

} // namespace

QString legacyColour(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 3)
        return QString();
    QString colour = QStringLiteral("#");
    for (const QString &part : parts) {
        bool ok = false;
        const int n = part.trimmed().toInt(&ok);
        if (!ok || n < 0 || n > 255)
            return QString();
        colour += QStringLiteral("%1").arg(n, 2, 16, QLatin1Char('0'));
    }
    return colour;
}

QRect legacyRect(const QString &text)
{
    QRect r;
    return rectFrom(text, &r) ? r : QRect();
}

LegacyPageWidgets readLegacyWidgets(const QString &text)
{
    LegacyPageWidgets out;
    for (const Kind &kind : kKinds) {
        for (const QString &block : extractNamedBlocks(text, QString::fromLatin1(kind.block)))
            out.widgets.append(kind.read(block, out));
    }
    return out;
}

} // namespace kora::package
