#pragma once
// The older pages on the Design 2.0 page host: each legacy widget map becomes the map of the
// Design 2.0 item that does the same job, so both kinds of project share one set of items.
// Pure; the controller object emits the results.
#include "package/legacywidgets.h"

#include <QList>
#include <QString>
#include <QVariantMap>

namespace kora::package {

// Screen, Rect, Text, Date, Button, Preview, Slider, InputBox, Docker: callQmlCreateVX2<Kind>
// (pageId, map). List and Matrix: callQmlCreateList / callQmlCreateMatrix(pageIndex, map),
// which the Design 2.0 host takes as they are.
enum class Design2Kind { Screen, Rect, Text, Date, Button, Preview, Slider, InputBox, Docker, List, Matrix };

struct Design2Item {
    Design2Kind kind = Design2Kind::Rect;
    QVariantMap map;
};

// The items of one legacy widget, in creation order (a wall also gives its caption text and
// its toolbar's rectangle, tied to it by "panel_id").
QList<Design2Item> design2Items(const LegacyWidget &widget);

// The Design 2.0 page of a legacy "Page" block.
QVariantMap design2Page(const QString &id, const QString &name);

// A rectangle look of the older form ("clr", "clr2", "bkMode", ...) as the Design 2.0 fill keys.
QVariantMap design2Look(const QVariantMap &legacy);

// First-generation command blocks as Design 2.0 "SendData" entries for `action`, each delayed
// by the waits before it, the bytes as hex so nothing is re-encoded.
QVariantList design2Events(const QStringList &blocks, const QString &action);

// The listener of a level display, from its "Cmd" block: the request ("IP", "Port", "Data",
// "Time" in ms, "Hex") and where its replies come ("RecvPort", else "Port"; "Group" to join)
// laid out like "Reply" with the value at "Key", as a data docker's "send" and "recv"
// settings. Both empty when the block names no target or no request.
struct ListenerMaps {
    QVariantMap send;
    QVariantMap recv;
};
ListenerMaps listenerMaps(const QVariantMap &listen);

} // namespace kora::package
