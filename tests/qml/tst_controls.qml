import QtQuick 2.15
import QtTest 1.15
import "../../qml/Design2.0"

Item {
    id: root
    width: 800
    height: 600

    Component { id: buttonComponent; VX2Button {} }
    Component { id: sliderComponent; VX2Slider {} }

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
            var map = Object.assign({ objectName: "b1", globalPos: { x: 10, y: 10, width: 100, height: 40 }, autoLift: true,
                                      buttonGroup: -1, eventAttrList: [] }, extra)
            return createTemporaryObject(buttonComponent, root, { map: map })
        }

        function init() { ImApi.reset() }

        readonly property var momentary: [ev("Clicked", "C1"), ev("ButtonPressed", "P1"), ev("Clicked", "C2"),
                                          ev("ButtonRelease", "R1"), ev("ButtonPressed", "P2")]

        // A button whose TCP peer is down carries a mark until the peer is up again.
        function test_connectionMark_data() {
            function tcp(ip, port, protocol) { return { action: "Clicked", behavior: "SendData", value: { ip: ip, port: port, protocol: protocol || "Tcp", data: "X" } } }
            return [
                { tag: "its peer down", events: [tcp("10.0.0.8", 9001)], mark: true },
                { tag: "suffixed address, port as text", events: [tcp("10.0.0.8-2", "9001")], mark: true },
                { tag: "one of its peers down", events: [tcp("10.0.0.9", 9001), tcp("10.0.0.8", 9001)], mark: true },
                { tag: "another port", events: [tcp("10.0.0.8", 9002)], mark: false },
                { tag: "the same peer over UDP", events: [tcp("10.0.0.8", 9001, "Udp")], mark: false }
            ]
        }
        function test_connectionMark(data) {
            var b = button({ eventAttrList: data.events })
            var mark = findChild(b, "connectionMark")
            verify(!mark.visible)
            ImApi.setTcpDown(["10.0.0.1:9001", "10.0.0.8:9001"])
            compare(mark.visible, data.mark)
            ImApi.setTcpDown(["10.0.0.1:9001"])
            verify(!mark.visible)
        }

        // A latching button: what its set-up sends and reports, then what each of two clicks does.
        function test_latching_data() {
            var base = [ev("ButtonPressed", "P1"), ev("ButtonRelease", "R1"), ev("ButtonRelease", "H", "HideWidget")]
            return [
                { tag: "starts unchecked without sending but hides", events: base, trigger: false, poly: 0,
                  setup: ["H"], setupStatus: [], first: ["P1"], firstStatus: ["B_b1_1"], second: ["R1", "H"], secondStatus: ["B_b1_0"] },
                { tag: "initialTrigger, starts checked: its command runs", events: base, trigger: true, poly: 1,
                  setup: ["P1"], setupStatus: ["B_b1_1"], first: ["R1", "H"], firstStatus: ["B_b1_0"], second: ["P1"], secondStatus: ["B_b1_1"] },
                { tag: "a Clicked entry goes before the state command", events: [ev("Clicked", "C1")].concat(base), trigger: false, poly: 0,
                  setup: ["H"], setupStatus: [], first: ["C1", "P1"], firstStatus: ["B_b1_1"], second: ["C1", "R1", "H"], secondStatus: ["B_b1_0"] },
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

        // Sliders: every pointer position of a drag (the first is the press) and the values taken.
        function sliderMap(extra) {
            return Object.assign({ objectName: "s1", globalPos: { x: 0, y: 0, width: 200, height: 40 }, minValue: 0, maxValue: 100,
                                   eventAttrList: [ev("Sliding", "V1"), ev("Clicked", "C1"), ev("Sliding", "V2")] }, extra)
        }
        function test_sliderDrag_data() {
            var knob = { sliderType: 2, globalPos: { x: 0, y: 0, width: 200, height: 200 }, startAngle: 225, endAngle: 315 }
            return [
                { tag: "horizontal, clamped past the end", map: {}, points: [[50, 20], [100, 20], [300, 20], [310, 20]], values: [25, 50, 100] },
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
            // Each value taken goes out once per Sliding entry, in order (values to two places).
            var round = function (v) { return Math.round(v * 100) / 100 }
            var expected = []
            data.values.forEach(function (v) { expected.push(["s1", "V1", round(v), 1], ["s1", "V2", round(v), 1]) })
            compare(ImApi.named("ServerVX2SliderCmd").map(function (c) { return [c[0], c[1].value.data, round(c[2]), c[3]] }), expected)
            if (data.values.length)
                fuzzyCompare(s.value, data.values[data.values.length - 1], 0.01)
        }
    }
}
