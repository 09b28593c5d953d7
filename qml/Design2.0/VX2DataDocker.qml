import QtQuick 2.15
import "../js/DesignLook.js" as Look
import "../js/LevelRules.js" as Level

// A designed level docker: its caption, and the last value its listener reported drawn as a
// level between the designed minimum and maximum, with the value (or its percentage) beside it.
Item {
    id: root
    property var map: ({})
    property real multiplierW: 1
    property real multiplierH: 1
    property string designName: map.objectName || ""
    property var value: undefined
    // What is drawn follows the value only while shown: a hidden page draws no frame.
    readonly property var shownValue: visible ? value : undefined
    readonly property real fraction: Level.fraction(map, shownValue)
    readonly property string label: Level.label(map, shownValue)
    readonly property string caption: map.textMap && map.textMap.text ? map.textMap.text : ""

    readonly property var geometry: Look.place(map.globalPos, multiplierW, multiplierH, true)
    x: geometry.x
    y: geometry.y
    width: geometry.width
    height: geometry.height

    function showValue(v) { value = v }

    // A part's design rectangle inside the docker; the whole docker when the design has none.
    function inside(part) {
        if (!part || !part.globalPos || !map.globalPos)
            return { x: 0, y: 0, width: width, height: height }
        var p = Look.place(part.globalPos, multiplierW, multiplierH, true)
        return { x: p.x - x, y: p.y - y, width: p.width, height: p.height }
    }

    Text {
        id: captionText
        readonly property var area: root.inside(root.map.textMap)
        x: area.x; y: area.y; width: area.width; height: area.height
        visible: root.caption !== ""
        text: root.caption
        color: (root.map.textMap && root.map.textMap.textClr) || "#e8f0f8"
        font.family: (root.map.textMap && root.map.textMap.fontFamily) || font.family
        font.pixelSize: Math.max(8, ((root.map.textMap && root.map.textMap.textSize) || 16) * root.multiplierH)
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
    }

    Item {
        id: levelArea
        objectName: "levelArea"
        readonly property var area: root.inside(root.map.bkRectMap)
        readonly property bool vertical: Level.vertical(area.width, area.height)
        x: area.x; y: area.y; width: area.width; height: area.height

        // The unlit part: the designed look, dimmed.
        VX2Fill { look: root.map.bkRectMap || root.map; multiplierW: root.multiplierW; opacity: 0.25 }
        // The lit part: the same look, cut at the level.
        Item {
            id: lit
            objectName: "levelBar"
            clip: true
            width: levelArea.vertical ? levelArea.width : Math.round(levelArea.width * root.fraction)
            height: levelArea.vertical ? Math.round(levelArea.height * root.fraction) : levelArea.height
            x: 0
            y: levelArea.height - height // stands on the bottom
            VX2Fill {
                anchors.fill: undefined
                x: 0
                y: lit.height - levelArea.height
                width: levelArea.width
                height: levelArea.height
                look: root.map.bkRectMap || root.map
                multiplierW: root.multiplierW
            }
        }
        Text {
            objectName: "levelLabel"
            anchors.centerIn: levelArea
            text: root.label
            color: "#ffffff"
            style: Text.Outline
            styleColor: "#000000"
            font.pixelSize: Math.max(8, Math.min(levelArea.height * 0.4, 28 * root.multiplierH))
            // The log says what the docker shows, so it can be compared with what the equipment sent.
            onTextChanged: if (text !== "") console.log("level docker", root.designName, "shows:", text)
        }
    }
}
