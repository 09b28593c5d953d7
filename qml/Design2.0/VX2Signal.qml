import QtQuick 2.15
import "../js/DesignLook.js" as Look
import "../components"

// One cell of a signal list: the signal's (or mosaic's) name over one tile per mosaic cell.
Item {
    id: root
    property var list: null
    property var cell: ({ index: -1, type: 0 })
    readonly property var info: cell.type === 1 ? ImApi.getMultiSignalMsg(cell.index) : ImApi.getSignalMsg(cell.index)
    readonly property int rows: cell.type === 1 ? Math.max(1, info.row || 1) : 1
    readonly property int cols: cell.type === 1 ? Math.max(1, info.col || 1) : 1
    property point pressAt
    property bool dragging: false

    VX2Fill { look: (root.list.map.bkRect || {}); multiplierW: root.list.multiplierW }
    Grid {
        id: tiles
        anchors.fill: parent
        anchors.margins: 4
        anchors.bottomMargin: label.height + 4
        rows: root.rows
        columns: root.cols
        Repeater {
            model: root.rows * root.cols
            Rectangle {
                width: tiles.width / root.cols
                height: tiles.height / root.rows
                color: "#0c1622"
                border.width: 1
                border.color: "#2e5a84"
                SnapshotImage {
                    anchors.fill: parent
                    anchors.margins: 1
                    // A mosaic's cells are its signals, row by row; an empty cell shows nothing.
                    ip: root.cell.type === 1 ? ((root.info.ip || [])[index] || "") : (root.info.ip || "")
                }
            }
        }
    }
    Text {
        id: label
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.margins: 4
        text: root.info.name || ""
        visible: root.list.map.isShowTextLable !== false
        color: root.list.map.textColor || "white"
        font.pixelSize: Math.max(8, (root.list.map.textSize || 14) * root.list.multiplierH)
        horizontalAlignment: Text.AlignHCenter
        elide: Text.ElideRight
    }
    MouseArea {
        anchors.fill: parent
        preventStealing: true
        property bool moved: false
        onPressed: { root.pressAt = Qt.point(mouse.x, mouse.y); root.dragging = false; moved = false }
        onClicked: if (!moved) root.list.cellClicked(root.cell.index, root.cell.type)
        // Only single signals open their settings.
        onDoubleClicked: {
            if (root.cell.type === 0 && root.list.map.isEnableDoubleClick)
                root.list.cellDoubleClicked(root.cell.index, root.info.ip || "", root.list.switches())
        }
        onPositionChanged: {
            if (Math.abs(mouse.x - root.pressAt.x) > 2 || Math.abs(mouse.y - root.pressAt.y) > 2)
                moved = true
            var view = root.list.list
            var off = root.list.vertical ? (mouse.x < -2 || mouse.x > root.width + 2)
                                         : (mouse.y < -2 || mouse.y > root.height + 2)
            if (root.dragging || off) {
                if (!root.list.dragEn || !root.list.dragImage)
                    return
                var w = mapToItem(null, mouse.x, mouse.y)
                if (!root.dragging) {
                    root.dragging = true
                    root.list.dragImage.begin(root.cell.index, root.cell.type, root.rows, root.cols, root.info.name || "",
                                              root.width, root.height)
                }
                root.list.dragImage.moveTo(w.x, w.y)
            } else if (root.list.isDragSlide && root.list.dragEn) {
                // Each move takes the pointer's whole distance from the press point.
                if (root.list.vertical)
                    view.contentY -= mouse.y - root.pressAt.y
                else
                    view.contentX -= mouse.x - root.pressAt.x
            }
        }
        onReleased: {
            if (root.dragging) {
                root.dragging = false
                root.list.dragImage.finish()
            }
            root.list.settleScroll()
        }
        onCanceled: {
            if (root.dragging) {
                root.dragging = false
                root.list.dragImage.cancel()
            }
        }
    }
}
