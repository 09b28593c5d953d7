import QtQuick 2.15
import "../js/DesignLook.js" as Look
import "../js/PageRules.js" as PageRules

// A designed video wall: its decoders drawn to scale with their cut lines, and the windows
// the controller lists for it. Window editing (drops, moves, resizes) is not part of it yet.
Item {
    id: root
    property var map: ({})
    property real multiplierW: 1
    property real multiplierH: 1
    readonly property string designName: map.objectName || ""
    readonly property string panelId: map.id !== undefined ? String(map.id) : "001"
    readonly property int pixWidth: map.size && map.size.width > 0 ? map.size.width : 1920
    readonly property int pixHeight: map.size && map.size.height > 0 ? map.size.height : 1080
    readonly property int originalRow: map.splitSize && map.splitSize.height > 0 ? map.splitSize.height : 1
    readonly property int originalCol: map.splitSize && map.splitSize.width > 0 ? map.splitSize.width : 1
    property int cutRow: originalRow
    property int cutCol: originalCol
    property int dock: 0
    property var dockrect: []
    property var osdMap: ({})
    property bool yt: false
    property bool focused: false
    // Window descriptions of the controller's last listing, in stacking order.
    property var blocks: []

    signal touched()

    readonly property var geometry: Look.place(map.globalPos, multiplierW, multiplierH, false)
    x: geometry.x
    y: geometry.y
    width: geometry.width
    height: geometry.height

    function requestWindows() { ImApi.ServerGetWindows(map.isKvmVWall ? "100" : panelId) }
    function addBlock(m) { var b = blocks.slice(); b.push(m); blocks = b }
    function clearBlocks() { blocks = [] }
    function setCut(rows, cols) {
        if (rows > 0 && cols > 0) { cutRow = rows; cutCol = cols; dock = 0; dockrect = [] }
    }
    // The dock a scene id names, if any: dock number, cut rows and columns, and its layout.
    function applySceneDock(sceneId) {
        var d = PageRules.sceneDock(sceneId)
        if (!d)
            return
        dock = d.dock
        cutRow = d.rows
        cutCol = d.cols
        var n = PageRules.dockLayoutIndex(d.dock, map.freeEn, map.fullEn)
        if (n >= 0)
            dockrect = ImApi.getPanelDockV2(n)
    }
    function applyDockLayout(index) {
        dock = index + 1 + (map.freeEn ? 1 : 0) + (map.fullEn ? 1 : 0)
        dockrect = ImApi.getPanelDockV2(index)
    }

    VX2Fill { look: root.map; multiplierW: root.multiplierW }

    // Cut lines of the grid, or the dock layout's rectangles.
    Repeater {
        model: root.dockrect.length > 0 ? 0 : Math.max(0, root.cutCol - 1)
        Rectangle { x: root.width * (index + 1) / root.cutCol; width: 1; height: root.height; color: "#40ffffff" }
    }
    Repeater {
        model: root.dockrect.length > 0 ? 0 : Math.max(0, root.cutRow - 1)
        Rectangle { y: root.height * (index + 1) / root.cutRow; height: 1; width: root.width; color: "#40ffffff" }
    }
    Repeater {
        model: root.dockrect
        Rectangle {
            readonly property var r: modelData
            x: r.x * root.width / root.pixWidth
            y: r.y * root.height / root.pixHeight
            width: r.width * root.width / root.pixWidth
            height: r.height * root.height / root.pixHeight
            color: "transparent"
            border.width: 1
            border.color: "#60ffffff"
        }
    }
    Repeater {
        model: root.blocks
        Rectangle {
            readonly property var w: modelData
            x: Number(w.x) * root.width / root.pixWidth
            y: Number(w.y) * root.height / root.pixHeight
            width: Number(w.w) * root.width / root.pixWidth
            height: Number(w.h) * root.height / root.pixHeight
            z: 1 + index * 0.1
            color: "#24507a"
            border.width: 1
            border.color: "#9fc6ee"
            Text {
                anchors.fill: parent
                anchors.margins: 4
                text: ImApi.getSignalName(parent.w.src_ip) || parent.w.src_ip || ""
                color: "white"
                font.pixelSize: Math.max(8, 14 * root.multiplierH)
                elide: Text.ElideRight
            }
        }
    }
    Rectangle {
        anchors.fill: parent
        color: "transparent"
        border.width: root.focused ? 2 : 0
        border.color: "#f0c040"
    }
    MouseArea { anchors.fill: parent; onPressed: { root.touched(); mouse.accepted = false } }
}
