import QtQuick 2.15

// What the pointer carries while a signal is dragged onto a wall: the signal's tiles (rows ×
// columns for a mosaic), centred on the pointer. Walls read `signalIndex` and `signalType`
// from it when it is dropped.
Item {
    id: root
    property int signalIndex: -1
    property int signalType: 0
    property int rows: 1
    property int cols: 1
    property string name: ""
    property var ips: [] // the signals of the cells, row by row

    visible: false
    z: 100
    Drag.keys: ["signal"]
    Drag.hotSpot.x: width / 2
    Drag.hotSpot.y: height / 2
    Drag.supportedActions: Qt.MoveAction
    Drag.proposedAction: Qt.MoveAction
    Drag.mimeData: ({ signalIndex: String(signalIndex), signalType: String(signalType) })

    function begin(index, type, r, c, text, w, h) {
        signalIndex = index
        signalType = type
        rows = Math.max(1, r)
        cols = Math.max(1, c)
        name = text
        ips = type === 1 ? (ImApi.getMultiSignalMsg(index).ip || []) : [ImApi.getSignalMsg(index).ip || ""]
        width = w
        height = h
        visible = true
        Drag.active = true
    }
    function moveTo(wx, wy) {
        var p = parent.mapFromItem(null, wx, wy)
        x = p.x - width / 2
        y = p.y - height / 2
    }
    function finish() {
        Drag.drop()
        Drag.active = false
        visible = false
    }
    function cancel() {
        Drag.cancel()
        Drag.active = false
        visible = false
    }

    Grid {
        anchors.fill: parent
        rows: root.rows
        columns: root.cols
        opacity: 0.8
        Repeater {
            model: root.rows * root.cols
            Rectangle {
                width: root.width / root.cols
                height: root.height / root.rows
                color: "#24507a"
                border.width: 1
                border.color: "#9fc6ee"
                SnapshotImage {
                    anchors.fill: parent
                    anchors.margins: 1
                    ip: root.visible ? (root.ips[index] || "") : ""
                }
            }
        }
    }
    Text { anchors.centerIn: parent; text: root.name; color: "white"; font.pixelSize: 14 }
}
