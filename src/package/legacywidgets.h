#pragma once
// The widgets of an older controller's pages: the block text of the "UI" block (global
// widgets) and of each "Page" block, read into the maps of the older page-building signals.
// Pure: the controller object emits the signals in the order given here and keeps the walls.
#include "design/designbuild.h"

#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace kora::package {

// Which signal carries a widget: callQmlCreate<Kind>(pageIndex, ...). Rect, Text (also for
// clocks), Panel, Button (map and its two states), Preview (groups and map), Slider,
// SearchBox, Listen, Matrix, List.
enum class LegacyKind { Rect, Text, Panel, Button, Preview, Slider, SearchBox, Listen, Matrix, List };

struct LegacyWidget {
    LegacyKind kind = LegacyKind::Rect;
    QVariantMap map;
    QVariantMap state0, state1; // Button: its two "ButtonState" blocks
    QStringList groups;         // Preview: "GroupList"
};

struct LegacyPageWidgets {
    QList<LegacyWidget> widgets; // in emission order: by kind, then text order
    QList<design::WallRecord> walls;
};

// Every widget block at the top level of `text` (a "Page" block or the "UI" block).
// Absent keys are left out of the maps; the items keep their own defaults.
LegacyPageWidgets readLegacyWidgets(const QString &text);

// "13,67,89" -> "#0d4359"; empty when it is not three components of 0..255.
QString legacyColour(const QString &text);

// "439,714,800x160" -> (439, 714, 800, 160); a null rectangle when malformed.
QRect legacyRect(const QString &text);

} // namespace kora::package
