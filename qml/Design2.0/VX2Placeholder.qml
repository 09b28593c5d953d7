import QtQuick 2.15
import "../js/DesignLook.js" as Look

// An item placed and styled from its map whose live content is not built yet: it shows its
// fill and a neutral caption.
Item {
    id: root
    property var map: ({})
    property real multiplierW: 1
    property real multiplierH: 1
    property bool roundGeometry: false
    property var look: map
    property string caption: ""
    property string designName: map.objectName || ""
    readonly property string panelId: map.panel_id !== undefined ? String(map.panel_id) : ""

    readonly property var geometry: Look.place(map.globalPos, multiplierW, multiplierH, roundGeometry)
    x: geometry.x
    y: geometry.y
    width: geometry.width
    height: geometry.height

    VX2Fill { look: root.look; multiplierW: root.multiplierW }
    Text {
        anchors.centerIn: parent
        width: parent.width - 8
        horizontalAlignment: Text.AlignHCenter
        text: root.caption
        color: "#6f8298"
        font.pixelSize: Math.max(8, 16 * root.multiplierH)
        elide: Text.ElideRight
    }
}
