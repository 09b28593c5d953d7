import QtQuick 2.15
import QtTest 1.15
import "../../qml/Design2.0"

Item {
    id: root
    width: 800
    height: 600

    Component { id: buttonComponent; VX2Button {} }
    Component { id: sliderComponent; VX2Slider {} }
    Component { id: matrixComponent; VXMatrix {} }

    TestCase {
        name: "Controls"
        when: windowShown

        function ev(action, data, behavior, ip) {
            return { action: action, behavior: behavior || "SendData", delay: 0, value: { ip: ip || "10.0.0.9", data: data } }
        }
        // The `value.data` of every entry sent with ServerVX2ButtonCmd, in order.
        function sent() { return ImApi.named("ServerVX2ButtonCmd").map(function (a) { return a[0].value.data }) }
        function statuses() { return ImApi.named("ServerSetStatus").map(function (a) { return a[1] }) }
        function button(extra) {
            var map = { objectName: "b1", globalPos: { x: 10, y: 10, width: 100, height: 40 }, autoLift: true,
                        buttonGroup: -1, eventAttrList: [] }
            for (var k in extra)
                map[k] = extra[k]
            return createTemporaryObject(buttonComponent, root, { map: map })
        }

        function init() { ImApi.reset() }

        readonly property var momentary: [ev("Clicked", "C1"), ev("ButtonPressed", "P1"), ev("Clicked", "C2"),
                                          ev("ButtonRelease", "R1"), ev("ButtonPressed", "P2")]

        function test_pointer_data() {
            var withLong = momentary.concat([ev("LongPressed", "L1")])
            return [
                { tag: "press, release, click", events: withLong, group: -1, hold: 0,
                  pressed: ["P1", "P2"], released: ["P1", "P2", "R1", "C1"], vibrations: 1 },
                { tag: "a grouped button does not send its Clicked entry", events: withLong, group: 4, hold: 0,
                  pressed: ["P1", "P2"], released: ["P1", "P2", "R1"], vibrations: 1 },
                { tag: "long press sends LongPressed and then no click", events: withLong, group: -1, hold: 950,
                  pressed: ["P1", "P2", "L1"], released: ["P1", "P2", "L1", "R1"], vibrations: 0 },
                { tag: "long press without LongPressed entries still clicks", events: momentary, group: -1, hold: 950,
                  pressed: ["P1", "P2"], released: ["P1", "P2", "R1", "C1"], vibrations: 1 }
            ]
        }
        function test_pointer(data) {
            var b = button({ eventAttrList: data.events, buttonGroup: data.group })
            compare(sent(), [], "a momentary button without initialTrigger sends nothing when set up")
            mousePress(b, 50, 20)
            verify(b.pressed)
            if (data.hold > 0)
                wait(data.hold)
            // A loaded machine may fire the long-press timer late.
            tryVerify(function () { return JSON.stringify(sent()) === JSON.stringify(data.pressed) }, 2000)
            compare(sent(), data.pressed)
            mouseRelease(b, 50, 20)
            compare(sent(), data.released)
            compare(ImApi.named("vibrate"), data.vibrations ? [[100]] : [])
            compare(b.checked, false, "a momentary button never latches")
        }

        // A latching button: what its set-up sends and reports, then what each of two clicks does.
        function test_latching_data() {
            var base = [ev("ButtonPressed", "P1"), ev("ButtonRelease", "R1"), ev("ButtonRelease", "H", "HideWidget")]
            return [
                { tag: "starts unchecked without sending but hides", events: base, trigger: false, poly: 0,
                  setup: ["H"], setupStatus: [], first: ["P1"], firstStatus: ["B_b1_1"], second: ["R1", "H"], secondStatus: ["B_b1_0"] },
                { tag: "initialTrigger, starts checked: its command runs", events: base, trigger: true, poly: 1,
                  setup: ["P1"], setupStatus: ["B_b1_1"], first: ["R1", "H"], firstStatus: ["B_b1_0"], second: ["P1"], secondStatus: ["B_b1_1"] },
                { tag: "initialTrigger, starts unchecked: runs at once", events: base, trigger: true, poly: 0,
                  setup: ["R1", "H"], setupStatus: ["B_b1_0"], first: ["P1"], firstStatus: ["B_b1_1"], second: ["R1", "H"], secondStatus: ["B_b1_0"] },
                { tag: "a Clicked entry goes before the state command", events: [ev("Clicked", "C1")].concat(base), trigger: false, poly: 0,
                  setup: ["H"], setupStatus: [], first: ["C1", "P1"], firstStatus: ["B_b1_1"], second: ["C1", "R1", "H"], secondStatus: ["B_b1_0"] },
                { tag: "a pressed event to 127.0.0.1 is not reported", events: [ev("ButtonPressed", "L", "SendData", "127.0.0.1"), ev("ButtonRelease", "R1")],
                  trigger: false, poly: 0, setup: [], setupStatus: [], first: ["L"], firstStatus: [], second: ["R1"], secondStatus: ["B_b1_0"] },
                { tag: "SwitchPage is not reported", events: [ev("ButtonPressed", "G", "SwitchPage")],
                  trigger: false, poly: 0, setup: [], setupStatus: [], first: ["G"], firstStatus: [], second: [], secondStatus: ["B_b1_0"] },
                { tag: "momentary with initialTrigger: press and release entries once, in order", events: momentary, trigger: true, poly: 0, momentary: true,
                  setup: ["P1", "R1", "P2"], setupStatus: [], first: ["P1", "P2", "R1", "C1"], firstStatus: [], second: ["P1", "P2", "R1", "C1"], secondStatus: [] }
            ]
        }
        function test_latching(data) {
            var b = button({ eventAttrList: data.events, autoLift: !!data.momentary, initialTrigger: data.trigger, usingPolyState: data.poly })
            compare(sent(), data.setup)
            compare(statuses(), data.setupStatus)
            verify(b.isSendState, "sending is on after set-up")
            var steps = [[data.first, data.firstStatus], [data.second, data.secondStatus]]
            for (var i = 0; i < steps.length; ++i) {
                ImApi.reset()
                var was = b.checked
                mouseClick(b, 50, 20)
                compare(b.checked, data.momentary ? false : !was)
                compare(sent(), steps[i][0], "click " + (i + 1))
                compare(statuses(), steps[i][1], "click " + (i + 1))
            }
        }

        function test_refresh_data() {
            var events = [ev("ButtonPressed", "P1"), ev("ButtonPressed", "S", "ShowWidget"), ev("ButtonRelease", "R1")]
            return [
                { tag: "without initialTrigger only shows the state", trigger: false, value: "1", perform: true, checked: true, sent: ["S"], status: [] },
                { tag: "with initialTrigger performs the events", trigger: true, value: "1", perform: true, checked: true, sent: ["P1", "S"], status: ["B_b1_1"] },
                { tag: "the act refresh never sends", trigger: true, value: "1", perform: false, checked: true, sent: ["S"], status: [] },
                { tag: "number 0 is unchecked: no change, nothing sent", trigger: true, value: 0, perform: true, checked: false, sent: [], status: [] },
                { tag: "any value but 0 checks", trigger: false, value: "2", perform: true, checked: true, sent: ["S"], status: [] }
            ].map(function (r) { r.events = events; return r })
        }
        function test_refresh(data) {
            var b = button({ eventAttrList: data.events, autoLift: false, initialTrigger: data.trigger })
            ImApi.reset()
            b.refresh(data.value, data.perform)
            compare(b.checked, data.checked)
            compare(sent(), data.sent)
            compare(statuses(), data.status)
            verify(b.isSendState, "sending is on again")
        }

        // Sliders: every pointer position of a drag (the first is the press) and the values taken.
        function sliderMap(extra) {
            var map = { objectName: "s1", globalPos: { x: 0, y: 0, width: 200, height: 40 }, minValue: 0, maxValue: 100,
                        eventAttrList: [ev("Sliding", "V1"), ev("Clicked", "C1"), ev("Sliding", "V2")] }
            for (var k in extra)
                map[k] = extra[k]
            return map
        }
        function test_sliderDrag_data() {
            var knob = { sliderType: 2, globalPos: { x: 0, y: 0, width: 200, height: 200 }, startAngle: 225, endAngle: 315 }
            return [
                { tag: "horizontal, clamped past the end", map: {}, points: [[50, 20], [100, 20], [300, 20], [310, 20]], values: [25, 50, 100] },
                { tag: "vertical counts upwards", map: { sliderType: 1, globalPos: { x: 0, y: 0, width: 40, height: 200 } },
                  points: [[20, 50], [20, 150]], values: [75, 25] },
                { tag: "step 5 at 50: 53 ignored, 55 taken", map: { defaultValue: 50, stepValue: 5 },
                  points: [[106, 20], [110, 20]], values: [55] },
                { tag: "knob over the top, no jump across the gap", map: knob,
                  points: [[10, 100], [100, 10], [190, 100], [100, 190], [20, 180]], values: [100 / 6, 50, 250 / 3, 100] },
                { tag: "a knob pressed on the far side does not move", map: knob, points: [[190, 120]], values: [] }
            ]
        }
        function test_sliderDrag(data) {
            var s = createTemporaryObject(sliderComponent, root, { map: sliderMap(data.map) })
            compare(ImApi.named("ServerGetStatus"), [["s1"]])
            ImApi.reset()
            mousePress(s, data.points[0][0], data.points[0][1])
            for (var i = 1; i < data.points.length; ++i)
                mouseMove(s, data.points[i][0], data.points[i][1], -1, Qt.LeftButton)
            mouseRelease(s, data.points[data.points.length - 1][0], data.points[data.points.length - 1][1])
            var calls = ImApi.named("ServerVX2SliderCmd")
            compare(calls.length, 2 * data.values.length, JSON.stringify(calls))
            for (var j = 0; j < data.values.length; ++j) {
                for (var e = 0; e < 2; ++e) {
                    var c = calls[2 * j + e]
                    compare(c[0], "s1")
                    compare(c[1].value.data, e === 0 ? "V1" : "V2")
                    fuzzyCompare(c[2], data.values[j], 0.01)
                    compare(c[3], 1)
                }
            }
            if (data.values.length)
                fuzzyCompare(s.value, data.values[data.values.length - 1], 0.01)
        }

        function test_sliderSetupRefreshStep() {
            var s = createTemporaryObject(sliderComponent, root, { map: sliderMap({ defaultValue: 30, cmd: "VOL" }) })
            compare(s.value, 30)
            compare(ImApi.named("ServerGetStatus"), [["s1"]])
            compare(ImApi.named("ServerVX2SliderCmd"), [], "the default value is not sent")
            var rows = [[42, 42], [250, 100], ["abc", 100], [-3, 0]]
            for (var i = 0; i < rows.length; ++i) {
                s.refresh(rows[i][0])
                compare(s.value, rows[i][1], "refresh " + rows[i][0])
            }
            compare(ImApi.named("ServerVX2SliderCmd"), [], "a refresh sends nothing")
            verify(s.isSendState)
            s.step("1", "15")
            s.step("0", "40")
            ignoreWarning(/ignores the step 2 5/)
            s.step("2", "5")   // neither up nor down
            ignoreWarning(/ignores the step 1 x/)
            s.step("1", "x")
            compare(ImApi.named("ServerSliderCmd"), [["s1", "VOL", 15, 1], ["s1", "VOL", 0, 1]])
        }

        // A 2 × 3 matrix of 100 × 100 cells.
        function matrix() {
            return createTemporaryObject(matrixComponent, root, { map: {
                uuid: "m1", row: 2, col: 3, globalPos: { x: 0, y: 0, width: 300, height: 200 },
                xlist: ["in0", "in1", "in2"], ylist: ["out0", "out1"],
                vxButton: { state1: { cmd: "ON" }, state0: { cmd: "OFF" } } } })
        }
        function test_matrixClick_data() {
            return [
                { tag: "switch on", clicks: [[1, 0]], cmds: [["ON", "in0", "out1"]], states: ["M_m1_1_-1_-1"] },
                { tag: "the checked cell unchecks", clicks: [[1, 0], [1, 0]], cmds: [["ON", "in0", "out1"], ["OFF", "in0", "out1"]],
                  states: ["M_m1_1_-1_-1", "M_m1_-1_-1_-1"] },
                { tag: "another row of the column replaces it", clicks: [[0, 2], [1, 2]], cmds: [["ON", "in2", "out0"], ["ON", "in2", "out1"]],
                  states: ["M_m1_-1_-1_0", "M_m1_-1_-1_1"] },
                { tag: "columns are independent", clicks: [[0, 0], [1, 1]], cmds: [["ON", "in0", "out0"], ["ON", "in1", "out1"]],
                  states: ["M_m1_0_-1_-1", "M_m1_0_1_-1"] }
            ]
        }
        function test_matrixClick(data) {
            var m = matrix()
            compare(ImApi.named("ServerGetStatus"), [["m1"]])
            ImApi.reset()
            for (var i = 0; i < data.clicks.length; ++i)
                mouseClick(m, data.clicks[i][1] * 100 + 50, data.clicks[i][0] * 100 + 50)
            compare(ImApi.named("ServerMatrixCmd"), data.cmds)
            compare(ImApi.named("ServerSetStatus"), data.states.map(function (s) { return ["m1", s] }))
        }

        function test_matrixAllOffPresetRefresh() {
            var m = matrix()
            m.click(1, 1)
            ImApi.reset()
            m.allOff()
            compare(ImApi.named("ServerMatrixCmd"), [["OFF", "in0", "out0"], ["OFF", "in0", "out1"], ["OFF", "in1", "out0"],
                                                     ["OFF", "in1", "out1"], ["OFF", "in2", "out0"], ["OFF", "in2", "out1"]])
            compare(ImApi.named("ServerSetStatus"), [["m1", "M_m1_-1_-1_-1"]])

            m.click(0, 2)
            ImApi.reset()
            ImApi.matrixPreset = ["1", "0"]
            m.callPreset(3)
            compare(ImApi.named("ServerCallMatrixPreset"), [["m1", 3]])
            compare(ImApi.named("ServerMatrixCmd"), [["OFF", "in0", "out0"], ["ON", "in0", "out1"], ["ON", "in1", "out0"], ["OFF", "in1", "out1"]])
            compare(m.stateText(), "M_m1_1_0_0", "columns the preset does not name keep their cell")

            ImApi.reset()
            m.refresh({ uuid: "m1", value: ["-1", "1", "7"], preset: ["morning", "night"] })
            compare(m.stateText(), "M_m1_-1_1_-1")
            compare(m.presets, ["morning", "night"])
            m.savePreset("evening")
            m.deletePreset(1)
            compare(ImApi.named("ServerMatrixCmd"), [], "a refresh sends no command")
            compare(ImApi.named("ServerSaveMatrixPreset"), [["m1", "evening", "M_m1_-1_1_-1"]])
            compare(ImApi.named("ServerDelMatrixPreset"), [["m1", 1, "M_m1_-1_1_-1"]])
        }
    }
}
