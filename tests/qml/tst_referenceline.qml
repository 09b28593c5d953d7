import QtQuick 2.15
import QtTest 1.15
import "../../qml/Design2.0"
import "../../qml/js/WallGeometry.js" as Geo

// The reference line dialog of the selected wall "7" (free layout enabled).
Item {
    id: root
    width: 900
    height: 700

    Content { id: host; anchors.fill: parent }

    TestCase {
        name: "ReferenceLines"
        when: windowShown

        property var wall: null
        function dialog() {
            for (var i = 0; i < host.children.length; ++i) {
                if (host.children[i].title === "Reference Line")
                    return host.children[i]
            }
            return null
        }
        function init() {
            host.clear()
            ImApi.reset()
            ImApi.callQmlCreateVX2Page({ objectName: "A", pageId: "a" })
            ImApi.callQmlCreateVX2Screen("a", { objectName: "wall7", id: 7, freeEn: true, globalPos: { x: 0, y: 0, width: 400, height: 225 } })
            wall = host.wallById("7")
            wall.refRow = 1
            wall.refCol = 1
            ImApi.selPanel = "7"
            ImApi.calls = []
            ImApi.callCustomProtocol("InlineShowRLine", ["7"])
        }

        function test_opensWithTheWallsGrid() {
            var d = dialog()
            verify(d.visible)
            compare(d.rowsField, "1")
            compare(d.colsField, "1")
            compare(d.showLines, true)
        }

        function test_apply_data() {
            return [
                { tag: "rows, columns and shown", rows: "2", cols: "3", show: true, grid: [2, 3], flag: true, calls: [[3, 2]], warning: "", open: false },
                { tag: "hidden everywhere", rows: "2", cols: "3", show: false, grid: [2, 3], flag: false, calls: [[3, 2]], warning: "", open: false },
                { tag: "no grid", rows: "0", cols: "0", show: true, grid: [0, 0], flag: true, calls: [[0, 0]], warning: "", open: false },
                { tag: "too many: nothing changes", rows: "40", cols: "3", show: false, grid: [1, 1], flag: true, calls: [], warning: "Rows and columns are 0 to 16", open: true },
                { tag: "not a number: nothing changes", rows: "2", cols: "x", show: true, grid: [1, 1], flag: true, calls: [], warning: "Rows and columns are 0 to 16", open: true }
            ]
        }
        function test_apply(data) {
            var d = dialog()
            d.rowsField = data.rows
            d.colsField = data.cols
            d.showLines = data.show
            mouseClick(findChild(d, "lineOk"))
            compare([wall.refRow, wall.refCol], data.grid)
            compare(ImApi.flgLine, data.flag)
            compare(ImApi.named("ServerSetPanelFline"), data.calls)
            compare(d.warning, data.warning)
            compare(d.visible, data.open)
        }

        // The reference grid is drawn in free layout only while walls show reference lines.
        function test_gridShown_data() {
            return [
                { tag: "shown", shown: true, lines: 3 },
                { tag: "hidden", shown: false, lines: 0 }
            ]
        }
        function test_gridShown(data) {
            var p = { kind: "free", dock: 1, rows: 1, cols: 1, refRow: 2, refCol: 3, refShown: data.shown,
                      egMode: 0, canvasW: 300, canvasH: 200 }
            compare(Geo.wallLines(p).layout.length, data.lines)
        }
    }
}
