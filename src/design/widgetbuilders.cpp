#include "design/widgetbuilders.h"

#include "log/categories.h"
#include "log/trace.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <cmath>
#include <initializer_list>
#include <limits>

namespace kora::design {

namespace {

// How a property's value becomes the value of its key.
enum class Value {
    Text,      // QString
    Int,       // int
    Bool,      // bool
    Geometry,  // {"x", "y", "width", "height"} -> QRect
    Size,      // {"width", "height"} -> QSize
    Gradient,  // [{"QColor", "qreal"}] -> QVariantList of maps
    Names,     // [text] -> QStringList
    NameLists, // [[name]] -> QVariantList of QVariantLists (the visibility sets)
    Events,    // [{...}] -> QVariantList of maps
};

// Plain: the value itself; States: {"normal", "hover", "pressed"} of such values;
// Normal: only the "normal" state of such a map.
enum class Shape { Plain, States, Normal };

struct Rule {
    const char *property;
    const char *key;
    Value value;
    Shape shape = Shape::Plain;
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

// ---- Property tables. A builder's keys are the union of the tables it names, the first
// table naming a property winning.

const Rule kCommon[] = {
    {"sWidgetGeometry", "globalPos", Value::Geometry},
    {"uuid", "objectName", Value::Text},
};
const Rule kGeometry[] = {
    {"sWidgetGeometry", "globalPos", Value::Geometry},
};
const Rule kCorners[] = {
    {"cornerTopLeft", "cornerTopLeft", Value::Int},
    {"cornerTopRight", "cornerTopRight", Value::Int},
    {"cornerBottomLeft", "cornerBottomLeft", Value::Int},
    {"cornerBottomRight", "cornerBottomRight", Value::Int},
};
const Rule kFontStyle[] = {
    {"isBold", "isBold", Value::Bool},
    {"isItalic", "isItalic", Value::Bool},
    {"isUnderline", "isUnderline", Value::Bool},
};

// Rectangle: kCommon, kRectBorder, kCorners, kRectFill.
const Rule kRectBorder[] = {
    {"imageFile", "bkPic", Value::Text},
    {"borderWidth", "egWidth", Value::Int},
    {"borderColor", "egClr", Value::Text},
    {"borderStyle", "borderStyle", Value::Int},
    {"isIncorner", "isIncorner", Value::Bool},
    {"opacity", "trans", Value::Int},
};
const Rule kRectFill[] = {
    {"isMonoFilled", "isMonoFilled", Value::Bool},
    {"monoColor", "clr", Value::Text},
    {"isGradientFilled", "isGradientFilled", Value::Bool},
    {"gradientType", "gradientType", Value::Int},
    {"gradientRotate", "gradientRotate", Value::Int},
    {"gradientColor", "gradientColor", Value::Gradient},
};

// Button: kCommon, kButton, kCorners, kButtonFill, kFontStyle.
const Rule kButton[] = {
    {"label", "label", Value::Text},
    {"enableVisible", "enableVisible", Value::Bool},
    {"text", "text", Value::Text, Shape::States},
    {"fontFamily", "fontFamily", Value::Text},
    {"textColor", "textColor", Value::Text, Shape::States},
    {"textSize", "textSize", Value::Int},
    {"buttonGroup", "buttonGroup", Value::Int},
    {"autoLift", "autoLift", Value::Bool},
    {"initialTrigger", "initialTrigger", Value::Bool},
    {"imageFile", "bkPic", Value::Text, Shape::States},
    {"borderWidth", "egWidth", Value::Int},
    {"borderStyle", "borderStyle", Value::Int},
    {"borderColor", "egClr", Value::Text},
    {"opacity", "trans", Value::Int},
    {"isIncorner", "isIncorner", Value::Bool},
    {"usingPolyState", "usingPolyState", Value::Int},
    {"eventAttrList", "eventAttrList", Value::Events},
    {"textAlignHorizontal", "textAlignHorizontal", Value::Int},
    {"textAlignVertical", "textAlignVertical", Value::Int},
    {"rotate", "rotate", Value::Int},
    {"autoRepeat", "autoRepeat", Value::Bool},
    {"autoRepeatInv", "autoRepeatInv", Value::Int},
};
const Rule kButtonFill[] = {
    {"isMonoFilled", "isMonoFilled", Value::Bool, Shape::States},
    {"monoColor", "monoColor", Value::Text, Shape::States},
    {"isGradientFilled", "isGradientFilled", Value::Bool, Shape::States},
    {"gradientType", "gradientType", Value::Int, Shape::States},
    {"gradientColor", "gradientColor", Value::Gradient, Shape::States},
};

// Text: kCommon, kText, kTextFont, kFontStyle. Date: kCommon, kDate, kTextFont.
const Rule kText[] = {
    {"text", "text", Value::Text},
    {"enableVisible", "enableVisible", Value::Bool},
    {"rotate", "rotate", Value::Int},
    {"textSpacing", "textSpacing", Value::Int},
};
const Rule kDate[] = {
    {"text", "text", Value::Text},
    {"dateFormat", "dateFormat", Value::Text},
};
const Rule kTextFont[] = {
    {"fontFamily", "family", Value::Text},
    {"textColor", "clr", Value::Text},
    {"textSize", "px", Value::Int},
    {"textAlignHorizontal", "alignHor", Value::Int},
    {"textAlignVertical", "alignVer", Value::Int},
};

// Input box: kCommon, kInputBox, kInputBoxLook, kCorners, kInputBoxText, kFontStyle;
// "BKRect": kGeometry, kInputBoxLook, kCorners; "textMap": kInputBoxText, kFontStyle.
const Rule kInputBox[] = {
    {"label", "label", Value::Text},
    {"enableVisible", "enableVisible", Value::Bool},
    {"isPasswdMode", "isPasswdMode", Value::Bool},
    {"isSearchMode", "isSearchMode", Value::Bool},
    {"linkedWidget", "linkedWidget", Value::Text},
};
const Rule kInputBoxLook[] = {
    {"opacity", "trans", Value::Int},
    {"imageFile", "bkPic", Value::Text},
    {"borderStyle", "borderStyle", Value::Int},
    {"borderWidth", "egWidth", Value::Int},
    {"borderColor", "egClr", Value::Text},
    {"isIncorner", "isIncorner", Value::Bool},
    {"isNoFilled", "isNoFilled", Value::Bool},
    {"isMonoFilled", "isMonoFilled", Value::Bool},
    {"monoColor", "monoColor", Value::Text},
    {"isGradientFilled", "isGradientFilled", Value::Bool},
    {"gradientType", "gradientType", Value::Int},
    {"gradientColor", "gradientColor", Value::Gradient},
};
const Rule kInputBoxText[] = {
    {"fontFamily", "family", Value::Text},
    {"textColor", "textColor", Value::Text},
    {"textSize", "textSize", Value::Int},
    {"textAlignHorizontal", "textAlignHorizontal", Value::Int},
    {"textAlignVertical", "textAlignVertical", Value::Int},
};

// Slider: kCommon, kSlider.
const Rule kSlider[] = {
    {"showTextLable", "showTextLable", Value::Bool},
    {"minValue", "minValue", Value::Int},
    {"maxValue", "maxValue", Value::Int},
    {"defaultValue", "defaultValue", Value::Int},
    {"stepValue", "stepValue", Value::Int},
    {"sliderType", "sliderType", Value::Int},
    {"startAngle", "startAngle", Value::Int},
    {"endAngle", "endAngle", Value::Int},
    {"rotateDir", "rotateDir", Value::Int},
    {"eventAttrList", "eventAttrList", Value::Events},
};

// Signal list: kCommon, kSignalList, kFontStyle, kRectBorder, kCorners, kRectFill;
// "scrollMap": kCommon, kScrollBar, kButtonFill.
const Rule kSignalList[] = {
    {"perPageCount", "winNum", Value::Int},
    {"direction", "direction", Value::Int},
    {"space", "space", Value::Int},
    {"isShowScrollbar", "isShowScrollbar", Value::Bool},
    {"isShowTextLable", "isShowTextLable", Value::Bool},
    {"textAlignHorizontal", "alignHor", Value::Int},
    {"textAlignVertical", "alignVer", Value::Int},
    {"fontFamily", "fontFamily", Value::Text},
    {"textSize", "textSize", Value::Int},
    {"textColor", "textColor", Value::Text},
    {"linkedGroup", "linkedGroup", Value::Names},
    {"isDragSlide", "isDragSlide", Value::Bool},
    {"isEnableDoubleClick", "isEnableDoubleClick", Value::Bool},
    {"isEnableLogoSetting", "isEnableLogoSetting", Value::Bool},
    {"isEnableSignalControl", "isEnableSignalControl", Value::Bool},
    {"isEnableSignalClipping", "isEnableSignalClipping", Value::Bool},
    {"isEnableSignalMark", "isEnableSignalMark", Value::Bool},
};
const Rule kScrollBar[] = {
    {"imageFile", "bkPic", Value::Text, Shape::States},
    {"text", "text", Value::Text, Shape::States},
    {"textColor", "textColor", Value::Text, Shape::States},
    {"borderWidth", "egWidth", Value::Int},
    {"borderColor", "egClr", Value::Text},
    {"opacity", "trans", Value::Int},
};

// Tree view: kCommon, kTreeView, kRectFill; "topGroupNames" gives "treeModel".
const Rule kTreeView[] = {
    {"rotateDir", "rotateDir", Value::Int},
    {"imageFile", "bkPic", Value::Text},
    {"borderWidth", "egWidth", Value::Int},
    {"borderColor", "egClr", Value::Text},
    {"opacity", "trans", Value::Int},
    {"isNoFilled", "isNoFilled", Value::Bool},
    {"fontFamily", "family", Value::Text},
    {"textColor", "textColor", Value::Text},
    {"textSize", "px", Value::Int},
    {"textAlignHorizontal", "alignHor", Value::Int},
    {"textAlignVertical", "alignVer", Value::Int},
    {"selectedFGColor", "selectedFGColor", Value::Text},
    {"selectedBGColor", "selectedBGColor", Value::Text},
    {"collapseImgFile", "collapseImgFile", Value::Text},
    {"expandImgFile", "expandImgFile", Value::Text},
};

// Data docker: kCommon, kDataDocker; "textMap": kCommon, kDockerText.
const Rule kDataDocker[] = {
    {"dataDockerType", "dataDockerType", Value::Int},
    {"dataMinValue", "dataMinValue", Value::Int},
    {"dataMaxValue", "dataMaxValue", Value::Int},
    {"isShowLable", "isShowLable", Value::Bool},
    {"eventAttrList", "eventAttrList", Value::Events},
};
const Rule kDockerText[] = {
    {"text", "text", Value::Text},
    {"fontFamily", "fontFamily", Value::Text},
    {"textColor", "textClr", Value::Text},
    {"textSize", "textSize", Value::Int},
    {"textAlignHorizontal", "alignHor", Value::Int},
    {"textAlignVertical", "alignVer", Value::Int},
};

// Web: kCommon, kWeb. Stack: kCommon, kStack.
const Rule kWeb[] = {
    {"url", "url", Value::Text},
    {"preloadEnable", "preloadEnable", Value::Bool},
};
const Rule kStack[] = {
    {"pages", "pages", Value::NameLists},
};

// Wall: kCommon, kWall; its "FormWidget" child: kWallForm. "row" and "column" give
// "splitSize", "presetMap" gives "audioNormal" and the dock layouts.
const Rule kWall[] = {
    {"panelID", "id", Value::Text},
    {"isEnabledFullStopPreset", "fullEn", Value::Bool},
    {"isShowScenelistBtn", "sceneEn", Value::Bool},
    {"isKvmVWall", "isKvmVWall", Value::Bool},
    {"isEnabledFreeStopPreset", "freeEn", Value::Bool},
    {"isEnabledUserStopPreset", "dockEn", Value::Bool},
    {"isShowPreludeBtn", "publishEn", Value::Bool},
    {"isShowScrollTextBtn", "osdEn", Value::Bool},
    {"isShowToolbar", "isShowToolbar", Value::Bool},
    {"vdecMax", "stream", Value::Int},
    {"vResolution", "size", Value::Size},
};
const Rule kWallForm[] = {
    {"sWidgetGeometry", "globalPos", Value::Geometry},
    {"imageFile", "bkPic", Value::Text, Shape::Normal},
    {"borderWidth", "egWidth", Value::Int},
    {"borderColor", "egClr", Value::Text},
    {"opacity", "trans", Value::Int},
    {"isNoFilled", "isNoFilled", Value::Bool, Shape::Normal},
    {"isMonoFilled", "isMonoFilled", Value::Bool, Shape::Normal},
    {"isImageFilled", "isImageFilled", Value::Bool, Shape::Normal},
    {"isGradientFilled", "isGradientFilled", Value::Bool, Shape::Normal},
    {"gradientType", "gradientType", Value::Int, Shape::Normal},
    {"gradientColor", "gradientColor", Value::Gradient, Shape::Normal},
    {"monoColor", "clr", Value::Text, Shape::Normal},
};

// Page (no common entries: its "uuid" is the page id).
const Rule kPage[] = {
    {"uuid", "pageId", Value::Text},
    {"objectName", "objectName", Value::Text},
    {"imageFile", "bkPic", Value::Text},
    {"isNoFilled", "isNoFilled", Value::Bool},
    {"isMonoFilled", "isMonoFilled", Value::Bool},
    {"monoColor", "clr", Value::Text},
    {"isGradientFilled", "isGradientFilled", Value::Bool},
    {"gradientType", "gradientType", Value::Int},
    {"gradientColor", "gradientColor", Value::Gradient},
    {"isImageFilled", "isImageFilled", Value::Bool},
    {"isGlobalPage", "isGlobalPage", Value::Bool},
    {"opacity", "trans", Value::Int},
};
const Rule kLoginLook[] = {
    {"imageFile", "bkPic", Value::Text},
    {"isMonoFilled", "isMonoFilled", Value::Bool},
    {"monoColor", "monoColor", Value::Text},
    {"isGradientFilled", "isGradientFilled", Value::Bool},
    {"gradientType", "gradientType", Value::Int},
    {"gradientColor", "gradientColor", Value::Gradient},
};

// ---- Reading values.

// Event values nest; deeper than this they carry nothing a command uses.
constexpr int kMaxValueDepth = 32;
// The largest wall the decoder list is grown for (a 32 x 32 wall).
constexpr qint64 kMaxWallCells = 1024;
// Columns or rows of a wall's grid: more are a broken design, and every subtitle and scene
// walks the grid on the window's thread.
constexpr int kMaxWallSide = 64;

QString key(const char *name)
{
    return QString::fromLatin1(name);
}

QJsonValue field(const QJsonObject &object, const char *name)
{
    return object.value(QLatin1String(name));
}

// Const, so that a range-for over it does not detach (and copy) the array.
const QJsonArray arrayOf(const QJsonValue &value)
{
    return value.toArray();
}

const QJsonArray itemsOf(const QJsonObject &node)
{
    return arrayOf(field(node, "item"));
}

const QJsonArray propertiesOf(const QJsonObject &node)
{
    return arrayOf(field(node, "property"));
}

QString classOf(const QJsonObject &node)
{
    return field(node, "class").toString();
}

// Whole JSON numbers become int, so ports and delays compare and convert as the ints they are.
QVariant plainVariant(const QJsonValue &value, int depth)
{
    switch (value.type()) {
    case QJsonValue::Bool:
        return value.toBool();
    case QJsonValue::Double: {
        const double d = value.toDouble();
        if (std::trunc(d) == d && d >= std::numeric_limits<int>::min() && d <= std::numeric_limits<int>::max())
            return int(d);
        return d;
    }
    case QJsonValue::String:
        return value.toString();
    case QJsonValue::Array: {
        if (depth >= kMaxValueDepth)
            return QVariant();
        QVariantList list;
        for (const QJsonValue &element : arrayOf(value))
            list.append(plainVariant(element, depth + 1));
        return list;
    }
    case QJsonValue::Object: {
        if (depth >= kMaxValueDepth)
            return QVariant();
        QVariantMap map;
        const QJsonObject object = value.toObject();
        for (auto it = object.begin(); it != object.end(); ++it)
            map.insert(it.key(), plainVariant(it.value(), depth + 1));
        return map;
    }
    default:
        return QVariant();
    }
}

QRect rectOf(const QJsonObject &o)
{
    return QRect(field(o, "x").toInt(), field(o, "y").toInt(), field(o, "width").toInt(), field(o, "height").toInt());
}

QSize sizeOf(const QJsonObject &o)
{
    return QSize(field(o, "width").toInt(), field(o, "height").toInt());
}

QVariantList gradientStops(const QJsonArray &stops)
{
    QVariantList list;
    for (const QJsonValue &stop : stops) {
        if (!stop.isObject())
            continue;
        const QJsonObject o = stop.toObject();
        list.append(QVariantMap{{QStringLiteral("QColor"), field(o, "QColor").toString()},
                                {QStringLiteral("qreal"), field(o, "qreal").toDouble()}});
    }
    return list;
}

// An invalid QVariant leaves the key out.
QVariant convert(Value kind, const QJsonValue &v)
{
    switch (kind) {
    case Value::Text:
        return v.toString();
    case Value::Int:
        return v.toInt();
    case Value::Bool:
        return v.toBool();
    case Value::Geometry:
        return v.isObject() ? QVariant(rectOf(v.toObject())) : QVariant();
    case Value::Size:
        return v.isObject() ? QVariant(sizeOf(v.toObject())) : QVariant();
    case Value::Gradient:
        return v.isArray() ? QVariant(gradientStops(v.toArray())) : QVariant();
    case Value::Names: {
        if (!v.isArray())
            return QVariant();
        QStringList names;
        for (const QJsonValue &name : arrayOf(v)) {
            if (name.isString())
                names.append(name.toString());
        }
        return names;
    }
    case Value::NameLists: {
        if (!v.isArray())
            return QVariant();
        QVariantList sets;
        for (const QJsonArray &set : readVisibilitySet(v))
            sets.append(QVariant(set.toVariantList()));
        return sets;
    }
    case Value::Events: {
        if (!v.isArray())
            return QVariant();
        QVariantList events;
        for (const QJsonValue &event : arrayOf(v)) {
            if (event.isObject())
                events.append(plainVariant(event, 0));
        }
        return events;
    }
    }
    return QVariant();
}

QVariant convert(const Rule &rule, const QJsonValue &v)
{
    switch (rule.shape) {
    case Shape::Plain:
        return convert(rule.value, v);
    case Shape::Normal: {
        const QJsonValue normal = field(v.toObject(), "normal");
        return normal.isUndefined() ? QVariant() : convert(rule.value, normal);
    }
    case Shape::States: {
        if (!v.isObject())
            return QVariant();
        const QJsonObject states = v.toObject();
        QVariantMap map;
        for (const char *state : {"normal", "hover", "pressed"}) {
            const QJsonValue value = field(states, state);
            if (value.isUndefined())
                continue;
            const QVariant converted = convert(rule.value, value);
            if (converted.isValid())
                map.insert(key(state), converted);
        }
        return map;
    }
    }
    return QVariant();
}

const Rule *findRule(const QString &property, std::initializer_list<Rules> tables)
{
    for (const Rules &table : tables) {
        for (const Rule *rule = table.begin; rule != table.end; ++rule) {
            if (property == QLatin1String(rule->property))
                return rule;
        }
    }
    return nullptr;
}

void readInto(QVariantMap &map, const QJsonObject &node, std::initializer_list<Rules> tables)
{
    for (const QJsonValue &entry : propertiesOf(node)) {
        const QJsonObject property = entry.toObject();
        const Rule *rule = findRule(field(property, "name").toString(), tables);
        if (!rule)
            continue;
        const QVariant value = convert(*rule, field(property, "value"));
        // A later property overwrites, also when it reads as absent.
        if (value.isValid())
            map.insert(key(rule->key), value);
        else
            map.remove(key(rule->key));
    }
}

QVariantMap readMap(const QJsonObject &node, std::initializer_list<Rules> tables)
{
    QVariantMap map;
    readInto(map, node, tables);
    return map;
}

// Composite widgets: a child of a class becomes a sub-map under a key, the last one winning.
struct ChildRule {
    const char *widgetClass;
    const char *key;
    QVariantMap (*build)(const QJsonObject &);
};

template <size_t N>
void readChildren(QVariantMap &map, const QJsonObject &node, const ChildRule (&table)[N])
{
    for (const QJsonValue &item : itemsOf(node)) {
        const QJsonObject child = item.toObject();
        const QString widgetClass = classOf(child);
        for (const ChildRule &rule : table) {
            if (widgetClass == QLatin1String(rule.widgetClass)) {
                map.insert(key(rule.key), rule.build(child));
                break;
            }
        }
    }
}

QVariantMap buildScrollBar(const QJsonObject &node)
{
    return readMap(node, {rules(kCommon), rules(kScrollBar), rules(kButtonFill)});
}

QVariantMap buildDockerText(const QJsonObject &node)
{
    return readMap(node, {rules(kCommon), rules(kDockerText)});
}

const ChildRule kSliderChildren[] = {
    {"TextWidget", "textMap", buildText},
    {"ButtonWidget", "buttonMap", buildButton},
    {"RectWidget", "bkRectMap", buildRect},
};
const ChildRule kSignalListChildren[] = {
    {"ButtonWidget", "scrollMap", buildScrollBar},
    {"DataDockerWidget", "bkRect", buildRect},
};
const ChildRule kDataDockerChildren[] = {
    {"TextWidget", "textMap", buildDockerText},
    {"DataDocker", "bkRectMap", buildRect},
};

// ---- Data docker listener settings, from the first entry of "eventAttrList".

QVariantMap listenerSend(const QJsonObject &event)
{
    const QJsonObject send = field(field(event, "value").toObject(), "send").toObject();
    QVariantMap map{{QStringLiteral("time"), field(event, "delay").toInt()},
                    {QStringLiteral("port"), field(send, "port").toInt()}};
    for (const char *text : {"ip", "type", "protocol", "data", "bit", "mode"})
        map.insert(key(text), field(send, text).toString());
    return map;
}

QVariantMap listenerRecv(const QJsonObject &event)
{
    const QJsonObject recv = field(field(event, "value").toObject(), "recv").toObject();
    QVariantMap map{{QStringLiteral("precision"), field(recv, "precision").toInt()},
                    {QStringLiteral("port"), field(recv, "port").toInt()},
                    {QStringLiteral("key"), field(recv, "wildcard").toArray().at(0).toString()},
                    {QStringLiteral("percentage"), field(recv, "percentage").toBool()}};
    for (const char *text : {"ip", "type", "protocol", "data", "bit", "mode"})
        map.insert(key(text), field(recv, text).toString());
    return map;
}

// ---- Wall parts.

QVariantMap windowMap(const DockWindow &w)
{
    return QVariantMap{{QStringLiteral("x"), w.rect.x()},           {QStringLiteral("y"), w.rect.y()},
                       {QStringLiteral("width"), w.rect.width()},   {QStringLiteral("height"), w.rect.height()},
                       {QStringLiteral("audio"), w.audio},          {QStringLiteral("chn"), w.chn}};
}

struct WallGrid {
    int columns = 0;
    int rows = 0;
    bool misplaced = false; // a cell lay outside the grid
};

void readCell(const QJsonObject &cell, WallGrid &grid, WallRecord &wall, QVariantList &nodeRects)
{
    const QString device = propertyValue(cell, QStringLiteral("deviceID")).toString();
    const QJsonObject pos = propertyValue(cell, QStringLiteral("virtualPos")).toObject();
    const QJsonObject res = propertyValue(cell, QStringLiteral("virtualRes")).toObject();
    const DockWindow area{QRect(field(pos, "x").toInt(), field(pos, "y").toInt(), field(res, "width").toInt(),
                                field(res, "height").toInt()),
                          0, device};
    wall.nodeRects.append(area.rect);
    nodeRects.append(windowMap(area));

    const QJsonObject cellPos = propertyValue(cell, QStringLiteral("cellPos")).toObject();
    const qint64 column = field(cellPos, "x").toInt();
    const qint64 row = field(cellPos, "y").toInt();
    // Without a usable grid the cells are placed by their column alone.
    const bool gridKnown = grid.columns > 0 && grid.rows > 0;
    const qint64 index = column + row * qMax(0, grid.columns);
    const qint64 cells = gridKnown ? qMin(qint64(grid.columns) * grid.rows, kMaxWallCells) : kMaxWallCells;
    if (column < 0 || row < 0 || (gridKnown && column >= grid.columns) || index < 0 || index >= cells) {
        grid.misplaced = true;
        return;
    }
    while (wall.decoderAddresses.size() <= index) {
        wall.decoderAddresses.append(QString());
        wall.cellRects.append(QRect());
    }
    wall.decoderAddresses[int(index)] = device;
    wall.cellRects[int(index)] = area.rect;
}

void readToolbar(const QJsonObject &group, const WallRecord &wall, const QString &pageId, QVariantMap &wallMap,
                 DesignBuild &out)
{
    QVariantMap toolbar;
    const QJsonValue geometry = propertyValue(group, QStringLiteral("sWidgetGeometry"));
    if (geometry.isObject())
        toolbar.insert(QStringLiteral("size"), rectOf(geometry.toObject()).size());
    const QJsonValue visible = propertyValue(group, QStringLiteral("enableVisible"));
    if (!visible.isUndefined())
        toolbar.insert(QStringLiteral("enableVisible"), visible.toBool());
    wallMap.insert(QStringLiteral("toolbar"), toolbar);

    for (const QJsonValue &item : itemsOf(group)) {
        const QJsonObject child = item.toObject();
        const QString widgetClass = classOf(child);
        if (widgetClass == QLatin1String("RectWidget")) {
            QVariantMap map = buildRect(child);
            map.insert(QStringLiteral("panel_id"), wall.id);
            out.announcements.append({Target::Rect, pageId, map});
        } else if (widgetClass == QLatin1String("ButtonWidget")) {
            QVariantMap map = buildButton(child);
            map.insert(QStringLiteral("panel_id"), wall.id);
            // The toolbar shows or hides its buttons as one.
            if (!visible.isUndefined())
                map.insert(QStringLiteral("enableVisible"), visible.toBool());
            out.announcements.append({Target::Button, pageId, map});
        }
    }
}

void readPresets(const QJsonArray &presets, WallRecord &wall, QVariantMap &wallMap)
{
    for (const QJsonValue &entry : presets) {
        if (!entry.isObject())
            continue;
        const QJsonObject preset = entry.toObject();
        DockPreset dock{field(preset, "name").toString(), {}};
        for (const QJsonValue &text : arrayOf(field(preset, "value"))) {
            if (const std::optional<DockWindow> window = parsePresetWindow(text.toString()))
                dock.windows.append(*window);
        }
        // The audio areas outside dock layouts are no layout the operator can choose.
        if (dock.name == QLatin1String("audio_normal")) {
            QVariantList areas;
            for (const DockWindow &w : dock.windows)
                areas.append(windowMap(w));
            wallMap.insert(QStringLiteral("audioNormal"), areas);
        } else {
            wall.docks.append(dock);
        }
    }
}

} // namespace

QJsonValue propertyValue(const QJsonObject &node, const QString &name)
{
    QJsonValue value(QJsonValue::Undefined);
    for (const QJsonValue &entry : propertiesOf(node)) {
        const QJsonObject property = entry.toObject();
        if (field(property, "name").toString() == name)
            value = field(property, "value");
    }
    return value;
}

QList<QJsonArray> readVisibilitySet(const QJsonValue &pages)
{
    QList<QJsonArray> set;
    for (const QJsonValue &names : arrayOf(pages)) {
        if (names.isArray())
            set.append(names.toArray());
    }
    return set;
}

QVariantMap buildPageMap(const QJsonObject &pageNode)
{
    return readMap(pageNode, {rules(kPage)});
}

QVariantMap buildLoginLook(const QJsonObject &pageNode)
{
    return readMap(pageNode, {rules(kLoginLook)});
}

QVariantMap buildButton(const QJsonObject &node)
{
    return readMap(node, {rules(kCommon), rules(kButton), rules(kCorners), rules(kButtonFill), rules(kFontStyle)});
}

QVariantMap buildRect(const QJsonObject &node)
{
    return readMap(node, {rules(kCommon), rules(kRectBorder), rules(kCorners), rules(kRectFill)});
}

QVariantMap buildText(const QJsonObject &node)
{
    return readMap(node, {rules(kCommon), rules(kText), rules(kTextFont), rules(kFontStyle)});
}

QVariantMap buildDate(const QJsonObject &node)
{
    return readMap(node, {rules(kCommon), rules(kDate), rules(kTextFont)});
}

QVariantMap buildInputBox(const QJsonObject &node)
{
    QVariantMap map = readMap(node, {rules(kCommon), rules(kInputBox), rules(kInputBoxLook), rules(kCorners),
                                     rules(kInputBoxText), rules(kFontStyle)});
    map.insert(QStringLiteral("BKRect"), readMap(node, {rules(kGeometry), rules(kInputBoxLook), rules(kCorners)}));
    map.insert(QStringLiteral("textMap"), readMap(node, {rules(kInputBoxText), rules(kFontStyle)}));
    return map;
}

QVariantMap buildSlider(const QJsonObject &node)
{
    QVariantMap map = readMap(node, {rules(kCommon), rules(kSlider)});
    readChildren(map, node, kSliderChildren);
    return map;
}

QVariantMap buildSignalList(const QJsonObject &node, QList<QJsonArray> *visibilitySet)
{
    QVariantMap map = readMap(node, {rules(kCommon), rules(kSignalList), rules(kFontStyle), rules(kRectBorder),
                                     rules(kCorners), rules(kRectFill)});
    readChildren(map, node, kSignalListChildren);
    const auto scrollBar = map.constFind(QStringLiteral("scrollMap"));
    if (scrollBar != map.constEnd()) {
        // A horizontal list (direction 0) has its scroll bar below it: its thickness is the height.
        const QRect bar = scrollBar->toMap().value(QStringLiteral("globalPos")).toRect();
        const bool vertical = map.value(QStringLiteral("direction")).toInt() != 0;
        map.insert(QStringLiteral("scrollW"), vertical ? bar.width() : bar.height());
    }
    if (visibilitySet)
        *visibilitySet = readVisibilitySet(propertyValue(node, QStringLiteral("pages")));
    return map;
}

QVariantList buildTreeModel(const QJsonArray &topGroupNames, const Catalogue &catalogue)
{
    static const QString favourites = QStringLiteral("收藏");
    const kora::DeviceModel *model = catalogue.model;
    auto member = [](const QString &name, int index, int type) {
        return QVariantMap{{QStringLiteral("text"), name}, {QStringLiteral("isoption"), false},
                           {QStringLiteral("index"), index}, {QStringLiteral("type"), type}};
    };

    QVariantList tree;
    for (const QJsonValue &entry : topGroupNames) {
        const QString text = entry.toString();
        if (!text.contains(QLatin1String(":signalGroup")))
            continue;
        const QString groupName = text.section(QLatin1Char('/'), 1);
        if (!checkSignalPermission(catalogue.user, groupName))
            continue;

        QVariantList subnodes;
        if (model && groupName == favourites) {
            // The favourites are the starred signals, whatever the group itself lists.
            for (size_t i = 0; i < model->signalList.size(); ++i) {
                if (model->signalList[i].star)
                    subnodes.append(member(model->signalList[i].name, int(i), 0));
            }
        } else if (model) {
            for (const kora::SignalGroupRecord &group : model->groups) {
                if (group.name != groupName)
                    continue;
                for (const kora::SignalGroupRecord::Member &m : group.members) {
                    if (m.type == 0 && m.index >= 0 && size_t(m.index) < model->signalList.size())
                        subnodes.append(member(model->signalList[size_t(m.index)].name, m.index, 0));
                    else if (m.type == 1 && m.index >= 0 && size_t(m.index) < model->multiSignals.size())
                        subnodes.append(member(model->multiSignals[size_t(m.index)].name, m.index, 1));
                }
                break;
            }
        }
        tree.append(QVariantMap{{QStringLiteral("text"), groupName},
                                {QStringLiteral("istitle"), true},
                                {QStringLiteral("subnodes"), subnodes}});
    }
    return tree;
}

QVariantMap buildTreeView(const QJsonObject &node, const Catalogue &catalogue)
{
    QVariantMap map = readMap(node, {rules(kCommon), rules(kTreeView), rules(kRectFill)});
    const QJsonValue topGroupNames = propertyValue(node, QStringLiteral("topGroupNames"));
    if (topGroupNames.isArray())
        map.insert(QStringLiteral("treeModel"), buildTreeModel(topGroupNames.toArray(), catalogue));
    return map;
}

DataDockerBuild buildDataDocker(const QJsonObject &node)
{
    DataDockerBuild docker;
    docker.map = readMap(node, {rules(kCommon), rules(kDataDocker)});
    readChildren(docker.map, node, kDataDockerChildren);
    docker.visibilitySet = readVisibilitySet(propertyValue(node, QStringLiteral("pages")));
    // Type 2 shows an audio level that a listener polls; every other type is a status monitor.
    if (docker.map.value(QStringLiteral("dataDockerType")).toInt() == 2) {
        docker.target = Target::Docker;
        const QJsonObject first = propertyValue(node, QStringLiteral("eventAttrList")).toArray().at(0).toObject();
        docker.listener = ListenerSettings{docker.map.value(QStringLiteral("objectName")).toString(), listenerSend(first),
                                       listenerRecv(first)};
    }
    return docker;
}

QVariantMap buildWeb(const QJsonObject &node)
{
    return readMap(node, {rules(kCommon), rules(kWeb)});
}

QVariantMap buildStack(const QJsonObject &node, QList<QJsonArray> *visibilitySet)
{
    if (visibilitySet)
        *visibilitySet = readVisibilitySet(propertyValue(node, QStringLiteral("pages")));
    return readMap(node, {rules(kCommon), rules(kStack)});
}

std::optional<DockWindow> parsePresetWindow(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (parts.size() < 3)
        return std::nullopt;
    const QString &origin = parts.at(0);
    const QString &size = parts.at(1);
    DockWindow window;
    window.rect = QRect(origin.section(QLatin1Char(','), 0, 0).toInt(), origin.section(QLatin1Char(','), 1, 1).toInt(),
                        size.section(QLatin1Char(','), 0, 0).toInt(), size.section(QLatin1Char(','), 1, 1).toInt());
    const int flags = parts.at(2).toInt();
    window.chn = (flags & 2) ? 1 : (flags & 4) ? 2 : (flags & 8) ? 3 : 0;
    if (parts.size() > 3) {
        window.audio = parts.at(3);
        // "(0)" / "(1)" name the decoder's channel; the audio goes to the decoder itself.
        if (window.audio.contains(QLatin1String("(0)")) || window.audio.contains(QLatin1String("(1)")))
            window.audio = window.audio.section(QLatin1Char('('), 0, 0);
    }
    return window;
}

void buildVideoWall(const QJsonObject &node, const QString &pageId, DesignBuild &out)
{
    QVariantMap map = readMap(node, {rules(kCommon), rules(kWall)});
    WallRecord wall;
    wall.id = map.value(QStringLiteral("id")).toString();
    wall.pageId = pageId;
    wall.freeLayout = propertyValue(node, QStringLiteral("isEnabledFreeStopPreset")).toBool() ? 1 : 0;
    wall.fullScreen = propertyValue(node, QStringLiteral("isEnabledFullStopPreset")).toBool() ? 1 : 0;
    if (map.contains(QStringLiteral("size")))
        wall.virtualResolution = map.value(QStringLiteral("size")).toSize();

    const QJsonValue rows = propertyValue(node, QStringLiteral("row"));
    const QJsonValue columns = propertyValue(node, QStringLiteral("column"));
    WallGrid grid{qMin(columns.toInt(), kMaxWallSide), qMin(rows.toInt(), kMaxWallSide)};
    if (columns.toInt() > kMaxWallSide || rows.toInt() > kMaxWallSide)
        KWARN(lcApi) << "wall" << wall.id << ": a grid of" << columns.toInt() << "x" << rows.toInt() << "taken as"
                     << grid.columns << "x" << grid.rows;
    if (!rows.isUndefined() || !columns.isUndefined())
        map.insert(QStringLiteral("splitSize"), QSize(grid.columns, grid.rows));

    QVariantList nodeRects;
    bool hasForm = false;
    QString caption;
    for (const QJsonValue &item : itemsOf(node)) {
        const QJsonObject child = item.toObject();
        const QString widgetClass = classOf(child);
        if (widgetClass == QLatin1String("TextWidget")) {
            QVariantMap text = buildText(child);
            text.insert(QStringLiteral("panel_id"), wall.id);
            caption = text.value(QStringLiteral("text")).toString();
            out.announcements.append({Target::Text, pageId, text});
        } else if (widgetClass == QLatin1String("FormWidget")) {
            // The form is the drawn screen: its geometry and look are the wall item's.
            hasForm = true;
            readInto(map, child, {rules(kWallForm)});
            for (const QJsonValue &cell : itemsOf(child)) {
                if (classOf(cell.toObject()) == QLatin1String("TableCell"))
                    readCell(cell.toObject(), grid, wall, nodeRects);
            }
        } else if (widgetClass == QLatin1String("Group")) {
            readToolbar(child, wall, pageId, map, out);
        }
    }
    if (hasForm)
        map.insert(QStringLiteral("nodeRects"), nodeRects);
    if (grid.misplaced) {
        KWARN(lcApi) << "wall" << wall.id << ": cells outside its" << grid.columns << "x" << grid.rows
                     << "grid are left out of the decoder list";
    }
    readPresets(propertyValue(node, QStringLiteral("presetMap")).toArray(), wall, map);

    wall.description = {{QStringLiteral("name"), caption},
                        {QStringLiteral("id"), wall.id},
                        {QStringLiteral("mode"), map.value(QStringLiteral("mode")).toString()},
                        {QStringLiteral("size"), wall.virtualResolution},
                        {QStringLiteral("splitSize"), QSize(grid.columns, grid.rows)},
                        {QStringLiteral("globalPos"), map.value(QStringLiteral("globalPos")).toRect()}};
    KTRACE(lcApi) << "test panel map :" << map;
    out.announcements.append({Target::Screen, pageId, map});
    out.walls.append(wall);
}

} // namespace kora::design
