import QtQuick 2.15
import "../js/DesignLook.js" as Look

// A designed rectangle: fill (colour, gradient or picture), border and opacity.
Item {
    id: root
    property var map: ({})
    property real multiplierW: 1
    property real multiplierH: 1
    readonly property string designName: map.objectName || ""
    readonly property string panelId: map.panel_id !== undefined ? String(map.panel_id) : ""

    readonly property var geometry: Look.place(map.globalPos, multiplierW, multiplierH, true)
    x: geometry.x
    y: geometry.y
    width: geometry.width
    height: geometry.height
    VX2Fill { look: root.map; multiplierW: root.multiplierW }
}
