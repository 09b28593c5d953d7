import QtQuick 2.15
import "../js/DesignLook.js" as Look

// A designed text: its size scales with the design's height. "InlineTextControl" edits it.
Text {
    property var map: ({})
    property real multiplierW: 1
    property real multiplierH: 1
    readonly property string designName: map.objectName || ""
    readonly property string panelId: map.panel_id !== undefined ? String(map.panel_id) : ""

    readonly property var geometry: Look.place(map.globalPos, multiplierW, multiplierH, false)
    x: geometry.x
    y: geometry.y
    width: geometry.width
    height: geometry.height
    visible: map.enableVisible !== false
    text: map.text || ""
    color: map.clr || "white"
    font.family: map.family || ""
    font.pixelSize: Math.max(1, (map.px || 12) * multiplierH)
    font.bold: !!map.isBold
    font.italic: !!map.isItalic
    font.underline: !!map.isUnderline
    font.letterSpacing: (map.textSpacing || 0) * multiplierW
    horizontalAlignment: (map.alignHor || Qt.AlignLeft) & (Qt.AlignLeft | Qt.AlignRight | Qt.AlignHCenter)
    verticalAlignment: (map.alignVer || Qt.AlignVCenter) & (Qt.AlignTop | Qt.AlignBottom | Qt.AlignVCenter)
    rotation: map.rotate || 0
    elide: Text.ElideRight
}
