import QtQuick 2.15
import "../js/WallGeometry.js" as Geo
import "../components"

// One window on a wall screen. A press brings it to the top; dragging moves it or, near its
// edges, resizes it (grab zones); the wall decides where it lands when it is released. While
// a gesture runs only this item moves; the wall's model changes at the release.
Item {
    id: root
    property var block: ({})
    property real stackZ: 1
    property var wall: null
    property real multiplierH: 1
    property bool dragging: false
    property int zone: 5
    property point start
    property var startRect: ({})

    z: dragging ? 1000 : stackZ

    // The item is kept across changes of its block: each change puts it where the block is.
    function place() {
        x = block.x || 0
        y = block.y || 0
        width = block.width || 0
        height = block.height || 0
    }
    onBlockChanged: place()
    Component.onCompleted: place()

    function currentRect() { return Geo.rect(x, y, width, height) }

    Rectangle {
        anchors.fill: parent
        color: "#24507a"
        border.width: 1
        border.color: root.dragging ? "#f0c040" : "#9fc6ee"
    }
    // Each part's snapshot at its cell of the window.
    Repeater {
        model: root.block.parts || []
        SnapshotImage {
            readonly property int cols: Math.max(1, root.block.col || 1)
            readonly property int rows: Math.max(1, root.block.row || 1)
            x: 1 + (modelData.c || 0) * (root.width - 2) / cols
            y: 1 + (modelData.r || 0) * (root.height - 2) / rows
            width: (root.width - 2) / cols
            height: (root.height - 2) / rows
            ip: modelData.ip || ""
        }
    }
    // One frame per mosaic cell.
    Grid {
        anchors.fill: parent
        anchors.margins: 1
        rows: root.block.row || 1
        columns: root.block.col || 1
        visible: rows * columns > 1
        Repeater {
            model: (root.block.row || 1) * (root.block.col || 1)
            Rectangle {
                width: parent.width / parent.columns
                height: parent.height / parent.rows
                color: "transparent"
                border.width: 1
                border.color: "#50ffffff"
            }
        }
    }
    Text {
        anchors.left: parent.left
        anchors.right: closeButton.left
        anchors.top: parent.top
        anchors.margins: 4
        text: root.block.signalName || ""
        color: "white"
        font.pixelSize: Math.max(9, 14 * root.multiplierH)
        elide: Text.ElideRight
    }
    // Position and size in wall pixels, following the gesture.
    Text {
        visible: root.wall !== null && root.wall.isShowPos
        anchors.left: parent.left
        anchors.bottom: parent.bottom
        anchors.margins: 4
        readonly property var r: visible ? Geo.wallRect(Geo.rect(root.x, root.y, root.width, root.height), root.wall.commandCtx()) : null
        text: r ? r.x + "," + r.y + " " + r.width + "x" + r.height : ""
        color: "white"
        font.pixelSize: Math.max(9, 12 * root.multiplierH)
    }
    MouseArea {
        anchors.fill: parent
        preventStealing: true
        acceptedButtons: Qt.LeftButton | Qt.RightButton
        // The stacking menu: a right click, or a long press that did not move the window.
        onPressAndHold: {
            if (!Geo.sameRect(root.currentRect(), root.startRect))
                return
            root.dragging = false
            root.wall.openBlockMenu(root.block.key, root, mouse.x, mouse.y)
        }
        onPressed: {
            if (mouse.button === Qt.RightButton) {
                root.wall.openBlockMenu(root.block.key, root, mouse.x, mouse.y)
                return
            }
            root.start = mapToItem(root.parent, mouse.x, mouse.y)
            root.startRect = root.currentRect()
            root.zone = Geo.grabZone(mouse.x, mouse.y, root.width, root.height)
            // On top while it moves; the model takes the new order at the release.
            root.dragging = true
            root.wall.touched()
        }
        onPositionChanged: {
            if (!root.dragging)
                return
            var p = mapToItem(root.parent, mouse.x, mouse.y)
            var r = root.wall.dragTo(root.block.key,
                                     Geo.dragRect(root.startRect, root.zone, p.x - root.start.x, p.y - root.start.y), root.zone)
            root.x = r.x; root.y = r.y; root.width = r.width; root.height = r.height
        }
        onReleased: {
            if (!root.dragging)
                return
            root.dragging = false
            var p = mapToItem(root.parent, mouse.x, mouse.y)
            if (Geo.sameRect(root.currentRect(), root.startRect))
                root.wall.pressBlock(root.block.key)
            else
                root.wall.releaseBlock(root.block.key, root.currentRect(), p.x, p.y)
        }
        onCanceled: {
            root.dragging = false
            root.wall.splitLines = []
            root.place()
        }
        onDoubleClicked: root.wall.fullScreen(root.block.key)
    }
    Rectangle {
        id: closeButton
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.margins: 2
        width: Math.max(16, 22 * root.multiplierH)
        height: width
        radius: 3
        color: closeArea.pressed ? "#c0392b" : "#60000000"
        Text { anchors.centerIn: parent; text: "×"; color: "white"; font.pixelSize: parent.height * 0.8 }
        MouseArea { id: closeArea; anchors.fill: parent; onClicked: root.wall.closeBlock(root.block.key) }
    }
}
