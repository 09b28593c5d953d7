import QtQuick 2.15
import "../js/DesignLook.js" as Look
import "../js/ControlRules.js" as Rules
import "../js/DialogRules.js" as Dialogs

// A crosspoint matrix: one checked cell per column at most. Each click sends the cell's on
// or off command for its input (column) and output (row), then stores the matrix's state.
Item {
    id: root
    property var map: ({})
    property real multiplierW: 1
    property real multiplierH: 1
    readonly property string designName: map.uuid || map.objectName || ""
    readonly property int rows: Math.max(0, map.row || 0)
    readonly property int cols: Math.max(0, map.col || 0)
    readonly property var handle: map.vxButton || ({})
    property var cells: Rules.matrixCellsFromRows([], rows, cols)
    property var presets: []
    // The design's scene switch offers the preset dialog, which the page host opens.
    readonly property bool presetsEn: Dialogs.on(Dialogs.value(map, "sceneEn"))
    signal presetsRequested()

    readonly property var geometry: Look.place(map.globalPos, multiplierW, multiplierH, false)
    x: geometry.x
    y: geometry.y
    width: geometry.width
    height: geometry.height

    function command(on) { return ((on ? handle.state1 : handle.state0) || {}).cmd || "" }
    function sendCell(r, c, on) {
        ImApi.ServerMatrixCmd(command(on), String((map.xlist || [])[c] || ""), String((map.ylist || [])[r] || ""))
    }
    function stateText() { return Rules.matrixStateText(designName, cells, rows, cols) }
    function click(r, c) {
        var next = Rules.matrixClick(cells, rows, cols, r, c)
        cells = next.cells
        sendCell(r, c, next.on)
        ImApi.ServerSetStatus(designName, stateText())
    }
    function allOff() {
        cells = Rules.matrixCellsFromRows([], rows, cols)
        for (var c = 0; c < cols; ++c)
            for (var r = 0; r < rows; ++r)
                sendCell(r, c, false)
        ImApi.ServerSetStatus(designName, stateText())
    }
    // Every cell of the preset's columns switched on or off by the preset.
    function callPreset(n) {
        var list = ImApi.ServerCallMatrixPreset(designName, n) || []
        var next = cells.slice()
        for (var c = 0; c < list.length && c < cols; ++c) {
            var chosen = parseInt(list[c], 10)
            for (var r = 0; r < rows; ++r) {
                next[r * cols + c] = r === chosen
                sendCell(r, c, r === chosen)
            }
        }
        cells = next
    }
    function savePreset(name) { ImApi.ServerSaveMatrixPreset(designName, name, stateText()) }
    function deletePreset(n) { ImApi.ServerDelMatrixPreset(designName, n, stateText()) }
    // A state from the controller: preset names and per-column rows, shown without commands.
    function refresh(m) {
        if (m.preset !== undefined)
            presets = m.preset
        if (m.value !== undefined)
            cells = Rules.matrixCellsFromRows(m.value, rows, cols)
    }

    Component.onCompleted: ImApi.ServerGetStatus(designName)

    Grid {
        anchors.fill: parent
        rows: root.rows
        columns: root.cols
        Repeater {
            model: root.rows * root.cols
            Item {
                readonly property int r: Math.floor(index / root.cols)
                readonly property int c: index % root.cols
                readonly property bool on: !!root.cells[index]
                width: root.cols > 0 ? root.width / root.cols : 0
                height: root.rows > 0 ? root.height / root.rows : 0
                Rectangle {
                    anchors.fill: parent
                    anchors.margins: 2
                    color: parent.on ? "#2f7fc1" : "#1c3d5e"
                    VX2Fill {
                        look: (parent.parent.on ? root.handle.state1 : root.handle.state0) || ({})
                        state_: cellArea.pressed ? "pressed" : "normal"
                        multiplierW: root.multiplierW
                    }
                }
                MouseArea { id: cellArea; anchors.fill: parent; onClicked: root.click(parent.r, parent.c) }
            }
        }
    }
    Rectangle {
        objectName: "matrixPresets"
        visible: root.presetsEn
        x: root.width - width
        y: root.height - height
        width: Math.max(24, 28 * root.multiplierH)
        height: width
        radius: 4
        color: presetArea.pressed ? "#2f7fc1" : "#80182c42"
        border.color: "#3d6185"
        Text { anchors.centerIn: parent; text: "\u2630"; color: "white"; font.pixelSize: parent.height * 0.6 }
        MouseArea { id: presetArea; anchors.fill: parent; onClicked: root.presetsRequested() }
    }
}
