import QtQuick 2.15
import QtTest 1.15
import "../../qml/Design2.0"
import "../../qml/js/LevelRules.js" as Level

// Level dockers: the rules that place a value in the designed range and label it, and a docker
// of the page host that follows the values the controller reports.
Item {
    id: root
    width: 800
    height: 600

    Content { id: host; anchors.fill: parent }

    TestCase {
        name: "LevelRules"

        function docker(min, max, percentage, showLabel) {
            var m = { dataMinValue: min, dataMaxValue: max,
                      eventAttrList: [{ behavior: "SendData", value: { send: {}, recv: { percentage: percentage } } }] }
            if (showLabel !== undefined)
                m.isShowLable = showLabel
            return m
        }

        function test_fraction_data() {
            return [
                { tag: "middle of a dB range", map: docker(-60, 0), value: -30, fraction: 0.5 },
                { tag: "minimum is empty", map: docker(-60, 0), value: -60, fraction: 0 },
                { tag: "maximum is full", map: docker(-60, 0), value: 0, fraction: 1 },
                { tag: "below the range clamps", map: docker(-60, 0), value: -90, fraction: 0 },
                { tag: "above the range clamps", map: docker(-60, 0), value: 12, fraction: 1 },
                { tag: "nothing reported yet", map: docker(-60, 0), value: undefined, fraction: 0 },
                { tag: "empty range reads 0..100", map: docker(50, 50), value: 25, fraction: 0.25 },
                { tag: "reversed range reads 0..100", map: docker(100, 0), value: 75, fraction: 0.75 },
                { tag: "missing range reads 0..100", map: {}, value: 40, fraction: 0.4 },
                { tag: "positive range", map: docker(20, 120), value: 45, fraction: 0.25 }
            ]
        }
        function test_fraction(data) {
            fuzzyCompare(Level.fraction(data.map, data.value), data.fraction, 1e-9)
        }

        function test_label_data() {
            return [
                { tag: "the value", map: docker(-60, 0, false), value: -12, label: "-12" },
                { tag: "percentage of the range", map: docker(-60, 0, true), value: -15, label: "75%" },
                { tag: "percentage rounds", map: docker(0, 3, true), value: 1, label: "33%" },
                { tag: "percentage clamps", map: docker(0, 100, true), value: 150, label: "100%" },
                { tag: "nothing before the first value", map: docker(-60, 0, false), value: undefined, label: "" },
                { tag: "label hidden by the design", map: docker(-60, 0, false, false), value: -12, label: "" },
                { tag: "label shown by the design", map: docker(-60, 0, false, true), value: 0, label: "0" },
                { tag: "no event list: a plain value", map: { dataMinValue: 0, dataMaxValue: 1 }, value: 1, label: "1" }
            ]
        }
        function test_label(data) {
            compare(Level.label(data.map, data.value), data.label)
        }

        function test_vertical_data() {
            return [
                { tag: "wide grows to the right", w: 460, h: 200, vertical: false },
                { tag: "tall grows upwards", w: 40, h: 200, vertical: true },
                { tag: "square grows to the right", w: 50, h: 50, vertical: false }
            ]
        }
        function test_vertical(data) {
            compare(Level.vertical(data.w, data.h), data.vertical)
        }
    }

    TestCase {
        name: "LevelDocker"
        when: windowShown

        function init() {
            host.clear()
            ImApi.reset()
        }
        function child(item, name) {
            for (var i = 0; i < item.children.length; ++i) {
                var c = item.children[i]
                if (c.objectName === name)
                    return c
                var deeper = child(c, name)
                if (deeper)
                    return deeper
            }
            return null
        }
        function makeDocker(percentage, w, h) {
            ImApi.callQmlCreateVX2Page({ objectName: "A", pageId: "a" })
            host.registries.page[0].visible = true
            ImApi.callQmlCreateVX2Docker("a", {
                objectName: "hall-level", dataDockerType: 2, dataMinValue: -60, dataMaxValue: 0, isShowLable: true,
                globalPos: { x: 10, y: 10, width: w, height: h },
                eventAttrList: [{ value: { recv: { percentage: percentage } } }],
                textMap: { text: "Hall level (dB)", globalPos: { x: 10, y: 10, width: w, height: 20 } },
                bkRectMap: { globalPos: { x: 10, y: 30, width: w, height: h - 20 }, isMonoFilled: true, monoColor: "#1e9e50" }
            })
            return host.find("docker", "hall-level")
        }

        function test_followsReportedValues_data() {
            return [
                { tag: "wide: width follows", w: 400, h: 120, value: -15, percentage: false, bar: [300, 100], label: "-15" },
                { tag: "tall: height follows", w: 60, h: 420, value: -45, percentage: false, bar: [60, 100], label: "-45" },
                { tag: "percentage label", w: 400, h: 120, value: -30, percentage: true, bar: [200, 100], label: "50%" },
                { tag: "above the maximum is full", w: 400, h: 120, value: 6, percentage: false, bar: [400, 100], label: "6" }
            ]
        }
        function test_followsReportedValues(data) {
            var d = makeDocker(data.percentage, data.w, data.h)
            verify(d)
            var bar = child(d, "levelBar")
            var label = child(d, "levelLabel")
            compare(bar.width * bar.height, 0)
            compare(label.text, "")
            ImApi.callQmlRefreshListen("hall-level", data.value)
            compare([bar.width, bar.height], data.bar)
            compare(label.text, data.label)
            // The bar stands on the bottom of the level area.
            compare(bar.y + bar.height, child(d, "levelArea").height)
        }

        // Another docker's value changes nothing here; a hidden page draws no level.
        function test_onlyItsOwnValueWhileShown() {
            var d = makeDocker(false, 400, 120)
            var bar = child(d, "levelBar")
            ImApi.callQmlRefreshListen("other", -10)
            compare(bar.width, 0)
            ImApi.callQmlRefreshListen("hall-level", -30)
            compare(bar.width, 200)
            host.registries.page[0].visible = false
            ImApi.callQmlRefreshListen("hall-level", 0)
            compare(bar.width, 0)
            host.registries.page[0].visible = true
            compare(bar.width, 400)
        }
    }
}
