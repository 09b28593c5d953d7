import QtQuick 2.15
import QtTest 1.15
import "../../qml/Design2.0"

// The preset dialog of a 2 × 3 matrix "m1" whose stored state is rows 1, none, 0 with the
// presets "P1" and "P2".
Item {
    id: root
    width: 900
    height: 700

    Content { id: host; anchors.fill: parent }

    TestCase {
        name: "MatrixPresets"
        when: windowShown

        property var matrix: null
        function dialog() {
            for (var i = 0; i < host.children.length; ++i) {
                if (host.children[i].title === "Presets")
                    return host.children[i]
            }
            return null
        }
        function click(parentItem, name) {
            var b = findChild(parentItem, name)
            verify(b, name)
            verify(b.visible && b.enabled, name + " can be pressed")
            // A row places what just became visible when it is next polished.
            tryVerify(function () { return !isPolishScheduled(b.parent) })
            mouseClick(b)
        }
        function create(extra) {
            var map = { uuid: "m1", row: 2, col: 3, globalPos: { x: 0, y: 0, width: 300, height: 200 },
                        xlist: ["x0", "x1", "x2"], ylist: ["y0", "y1"], vxButton: { state0: { cmd: "off" }, state1: { cmd: "on" } } }
            for (var k in extra)
                map[k] = extra[k]
            ImApi.callQmlCreateMatrix(0, map)
            return host.find("matrix", "m1")
        }
        function init() {
            host.clear()
            ImApi.reset()
            ImApi.callQmlCreateVX2Page({ objectName: "A", pageId: "a" })
            host.registries.page[0].visible = true
            matrix = create({ sceneEn: 1 })
            ImApi.callQmlRefreshMatrix({ uuid: "m1", preset: ["P1", "P2"], value: ["1", "-1", "0"] })
            ImApi.calls = []
            click(matrix, "matrixPresets")
        }

        function test_opensWithTheNames() {
            var d = dialog()
            verify(d.visible)
            compare(d.names, ["P1", "P2"])
            ImApi.callQmlRefreshMatrix({ uuid: "m1", preset: ["P1", "P2", "Eve"] })
            compare(d.names, ["P1", "P2", "Eve"], "a refresh reaches the open dialog")
        }

        function test_save_data() {
            return [
                { tag: "the current crosspoints under the name", name: " Eve ", calls: [["m1", "Eve", "M_m1_1_-1_0"]], warning: "" },
                { tag: "a taken name", name: "P1", calls: [], warning: "A preset of this name exists" },
                { tag: "a separator in the name", name: "a&*b", calls: [], warning: "A name cannot hold { } ; , *& or &*" },
                { tag: "no name", name: "", calls: [], warning: "Enter a name" }
            ]
        }
        function test_save(data) {
            var d = dialog()
            d.nameField = data.name
            click(d, "presetSave")
            compare(ImApi.named("ServerSaveMatrixPreset"), data.calls)
            compare(d.warning, data.warning)
        }

        function test_call() {
            var d = dialog()
            ImApi.matrixPreset = ["0", "1", "-1"]
            d.current = 1
            click(d, "presetCall")
            compare(ImApi.named("ServerCallMatrixPreset"), [["m1", 1]])
            compare(ImApi.named("ServerMatrixCmd"), [
                ["on", "x0", "y0"], ["off", "x0", "y1"],
                ["off", "x1", "y0"], ["on", "x1", "y1"],
                ["off", "x2", "y0"], ["off", "x2", "y1"]])
            compare(matrix.stateText(), "M_m1_0_1_-1")
        }

        function test_delete() {
            var d = dialog()
            d.current = 0
            click(d, "presetDelete")
            compare(ImApi.named("ServerDelMatrixPreset"), [["m1", 0, "M_m1_1_-1_0"]])
            compare(d.current, -1)
        }

        function test_noneChosen() {
            var d = dialog()
            verify(!findChild(d, "presetCall").enabled)
            verify(!findChild(d, "presetDelete").enabled)
        }

        function test_withoutSceneSwitchNoPresets() {
            host.clear()
            ImApi.callQmlCreateVX2Page({ objectName: "A", pageId: "a" })
            host.registries.page[0].visible = true
            var m = create({})
            verify(!findChild(m, "matrixPresets").visible)
        }
    }
}
