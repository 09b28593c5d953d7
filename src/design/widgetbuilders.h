#pragma once
// One builder per widget class of the design file: each reads the node's "property" array
// (and, for composite widgets, its "item" children) into the map the page host reads.
//
// Conventions of every builder:
// - properties are read in array order, a later one of the same name overwrites;
// - a property that is absent leaves its key out;
// - "sWidgetGeometry" becomes "globalPos" (QRect, design units) and "uuid" "objectName";
// - scalars take the type of their key: a text, int or bool of the wrong JSON type reads as
//   "", 0 or false; a structured value (geometry, size, state map, list) of the wrong type
//   leaves its key out;
// - state-dependent properties are QVariantMaps with the states present among "normal",
//   "hover" and "pressed"; "gradientColor" is a list of {"QColor", "qreal"} maps;
//   "eventAttrList" is a list of maps with JSON numbers that are whole read as int.
#include "design/designbuild.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QVariantList>
#include <optional>

namespace kora::design {

// The value of a node's property (the last one of that name); undefined when absent.
QJsonValue propertyValue(const QJsonObject &node, const QString &name);

QVariantMap buildPageMap(const QJsonObject &pageNode);
// The login page's look for callQmlSetLogin.
QVariantMap buildLoginLook(const QJsonObject &pageNode);

QVariantMap buildButton(const QJsonObject &node);
QVariantMap buildRect(const QJsonObject &node);
QVariantMap buildText(const QJsonObject &node);
QVariantMap buildDate(const QJsonObject &node);
// Flat keys, plus the look again under "BKRect" (with "globalPos") and the text settings
// under "textMap", with the same keys as the flat map.
QVariantMap buildInputBox(const QJsonObject &node);
// Children: the last "TextWidget" as "textMap" (text builder), the last "ButtonWidget" as
// "buttonMap" (button builder, the handle), the last "RectWidget" as "bkRectMap" (rectangle
// builder, the track).
QVariantMap buildSlider(const QJsonObject &node);
// Children: the last "ButtonWidget" is the scroll bar: "scrollMap" (objectName, globalPos and
// the button's look, state maps as the button builder has them) and "scrollW"; the last
// "DataDockerWidget" is the cell template: "bkRect" (rectangle builder). The list's visibility
// set is its "pages" property, as the stack's.
QVariantMap buildSignalList(const QJsonObject &node, QList<QJsonArray> *visibilitySet = nullptr);
QVariantMap buildTreeView(const QJsonObject &node, const Catalogue &catalogue);
// "treeModel": one title node per usable signal group named by a "…:signalGroup/NAME" entry.
QVariantList buildTreeModel(const QJsonArray &topGroupNames, const Catalogue &catalogue);

struct DataDockerBuild {
    QVariantMap map;
    Target target = Target::Monitor;    // Docker for type 2 (audio level), else Monitor
    std::optional<ListenerSettings> listener; // type 2 only
    QList<QJsonArray> visibilitySet;    // its "pages" property, as the stack's
};
// Children: the last "TextWidget" as "textMap" ("text", "fontFamily", "textClr", "textSize",
// "alignHor", "alignVer" besides objectName and globalPos), the last "DataDocker" as
// "bkRectMap" (rectangle builder).
DataDockerBuild buildDataDocker(const QJsonObject &node);
QVariantMap buildWeb(const QJsonObject &node);
// "pages" is passed on as a list of name lists and is also the visibility set.
QVariantMap buildStack(const QJsonObject &node, QList<QJsonArray> *visibilitySet = nullptr);

// Appends the wall's caption text and toolbar items (each with "panel_id"), then its Screen
// announcement, to `out`, and its record to out.walls. The "FormWidget" child's geometry and
// look are the screen's ("globalPos" is the form's when it has one); its cells give
// "nodeRects" and the decoder addresses. The toolbar "Group" gives "toolbar" = {"size",
// "enableVisible"} (kept apart from "size", the wall's resolution).
void buildVideoWall(const QJsonObject &node, const QString &pageId, DesignBuild &out);

// One preset text "x,y w,h flags [decoder]"; nothing when it has fewer than three parts.
std::optional<DockWindow> parsePresetWindow(const QString &text);

// A "pages" value: its arrays of widget names in order (anything else in it is skipped).
QList<QJsonArray> readVisibilitySet(const QJsonValue &pages);

} // namespace kora::design
