import QtQuick 2.15
import QtTest 1.15
import "../../qml/Design2.0"
import "../../qml/js/MonitorRules.js" as Rules

// Node status on monitor items: the display rules on their own, then monitors on pages
// watching nodes through the node control as they are shown, hidden and pointed elsewhere.
Item {
    id: root
    width: 800
    height: 600

    Content { id: host; anchors.fill: parent }

    TestCase {
        name: "MonitorRules"

        function test_watchKey_data() {
            return [
                { tag: "decoder on screen", ip: "10.0.0.30", type: "1", shown: true, key: "10.0.0.30|1" },
                { tag: "encoder on screen", ip: "10.0.0.31", type: "0", shown: true, key: "10.0.0.31|0" },
                { tag: "type as a number", ip: "10.0.0.31", type: 0, shown: true, key: "10.0.0.31|0" },
                { tag: "a suffix is not part of the node", ip: "10.0.0.31-2", type: "0", shown: true, key: "10.0.0.31|0" },
                { tag: "hidden", ip: "10.0.0.30", type: "1", shown: false, key: "" },
                { tag: "no node", ip: "", type: "1", shown: true, key: "" },
                { tag: "no node, only a suffix", ip: "-1", type: "1", shown: true, key: "" },
                { tag: "undefined node", ip: undefined, type: "1", shown: true, key: "" },
                { tag: "another type", ip: "10.0.0.30", type: "2", shown: true, key: "" },
                { tag: "no type", ip: "10.0.0.30", type: "", shown: true, key: "" }
            ]
        }
        function test_watchKey(data) {
            compare(Rules.watchKey(data.ip, data.type, data.shown), data.key)
        }
        function test_fromKey() {
            compare(Rules.fromKey(""), null)
            compare(Rules.fromKey("10.0.0.30|1"), { ip: "10.0.0.30", type: 1 })
        }

        function test_state_data() {
            return [
                { tag: "not watching", watching: false, status: { cpu: 1 }, silent: true, state: "none" },
                { tag: "nothing heard yet", watching: true, status: null, silent: false, state: "waiting" },
                { tag: "values", watching: true, status: { cpu: 1 }, silent: false, state: "ok" },
                { tag: "silent with old values", watching: true, status: { cpu: 1 }, silent: true, state: "silent" },
                { tag: "silent before any value", watching: true, status: null, silent: true, state: "silent" }
            ]
        }
        function test_state(data) {
            compare(Rules.state(data.watching, data.status, data.silent), data.state)
        }

        function values(status) { return Rules.rows(status).map(function (r) { return r.value }) }
        function test_rows_data() {
            return [
                { tag: "a node's status", status: { cpu: 12.5, mem: 33.333, temperature: 48, netSpeed: "12.4Mbps", runingTime: "3d 04:05:06" },
                  values: ["12.5 %", "33.3 %", "48 °C", "12.4Mbps", "3d 04:05:06"] },
                { tag: "zeros are values", status: { cpu: 0, mem: 0, temperature: 0, netSpeed: "0", runingTime: "0" },
                  values: ["0.0 %", "0.0 %", "0 °C", "0", "0"] },
                { tag: "no status", status: null, values: ["-", "-", "-", "-", "-"] },
                { tag: "missing and unreadable fields", status: { cpu: "x", mem: NaN, temperature: Infinity, netSpeed: "  " },
                  values: ["-", "-", "-", "-", "-"] },
                { tag: "negative temperature", status: { temperature: -5 }, values: ["-", "-", "-5 °C", "-", "-"] }
            ]
        }
        function test_rows(data) {
            compare(values(data.status), data.values)
        }
        function test_statusTextWrapsOnlyBetweenRows() {
            var t = Rules.statusText({ cpu: 1, mem: 2, temperature: 3, netSpeed: "4 Mbps", runingTime: "0d 00:00:05" })
            compare(t.split("   ").length, 5)
            compare(t.split("   ")[3], "Network\u00a04\u00a0Mbps")
            verify(t.split("   ").every(function (row) { return row.indexOf(" ") < 0 }))
        }
        function test_rowLabelsAreTranslated() {
            var labels = Rules.rows({}, function (t) { return "[" + t + "]" }).map(function (r) { return r.label })
            compare(labels, ["[CPU]", "[Memory]", "[Temperature]", "[Network]", "[Running time]"])
        }

        function test_alert_data() {
            return [
                { tag: "healthy", status: { cpu: 89.9, mem: 50, temperature: 79 }, alert: false },
                { tag: "busy", status: { cpu: 90 }, alert: true },
                { tag: "memory full", status: { mem: 95 }, alert: true },
                { tag: "hot", status: { temperature: 80 }, alert: true },
                { tag: "nothing", status: null, alert: false }
            ]
        }
        function test_alert(data) {
            compare(Rules.alert(data.status), data.alert)
        }
    }

    TestCase {
        name: "Monitors"
        when: windowShown

        function pos(x, y) { return { x: x, y: y, width: 300, height: 200 } }
        function page(id) { return host.registries.page.filter(function (p) { return p.pageId === id })[0] }
        function monitor(name, pageId) {
            ImApi.callQmlCreateVX2Monitor(pageId, { objectName: name, globalPos: pos(0, 0), dataDockerType: 0 })
            return host.find("monitor", name)
        }
        // The values the monitor shows, or "" when it shows none.
        function shownText(m) {
            var box = findChild(m, "statusBox")
            return box.visible ? findChild(m, "statusText").text.replace(/\u00a0/g, " ") : ""
        }
        function silentShown(m) { return findChild(m, "noAnswer").visible }

        function init() {
            host.clear()
            wait(0) // the items of the last case go, and let go of their nodes
            ImApi.reset()
            ImApi.callQmlCreateVX2Page({ objectName: "A", pageId: "a" })
            ImApi.callQmlCreateVX2Page({ objectName: "B", pageId: "b" })
            ImApi.permitted = ["a", "b"]
            NodeControl.reset()
        }

        function test_watchesOnlyWhileShown() {
            var m = monitor("mon", "a")
            compare(NodeControl.calls, [], "no node yet")
            ImApi.callQmlInitPanel()
            host.customProtocol("InlineSetMonitor", ["mon", "10.0.0.30", "1", "239.10.2.30", "30302"])
            compare(NodeControl.calls, ["insert 10.0.0.30 1"])
            // Pointed at another node: the old watch goes first.
            host.customProtocol("InlineSetMonitor", ["mon", "10.0.0.41", "0", "239.10.2.41", "30412"])
            compare(NodeControl.calls, ["insert 10.0.0.30 1", "delete 10.0.0.30 1", "insert 10.0.0.41 0"])
            // The same node again, another stream: the watch stays.
            host.customProtocol("InlineSetMonitor", ["mon", "10.0.0.41", "0", "239.10.2.41", "30414"])
            compare(NodeControl.calls.length, 3)
            NodeControl.reset()
            host.switchToPage("b")
            compare(NodeControl.calls, ["delete 10.0.0.41 0"])
            host.switchToPage("a")
            compare(NodeControl.calls, ["delete 10.0.0.41 0", "insert 10.0.0.41 0"])
            NodeControl.reset()
            host.clear()
            tryCompare(NodeControl, "calls", ["delete 10.0.0.41 0"])
        }

        function test_aMonitorOnAHiddenPageWatchesNothing() {
            var m = monitor("mon", "b")
            ImApi.callQmlInitPanel()
            host.customProtocol("InlineSetMonitor", ["mon", "10.0.0.30", "1", "239.10.2.30", "30302"])
            compare(NodeControl.calls, [])
            host.switchToPage("b")
            compare(NodeControl.calls, ["insert 10.0.0.30 1"])
        }

        function test_aNodeOfNoKnownTypeIsNotWatched() {
            var m = monitor("mon", "a")
            ImApi.callQmlInitPanel()
            host.customProtocol("InlineSetMonitor", ["mon", "10.0.0.30", "5", "239.10.2.30", "30302"])
            compare(NodeControl.calls, [])
            compare(m.nodeState, "none")
        }

        function test_showsStatusAndNoAnswer() {
            var m = monitor("mon", "a")
            var other = monitor("other", "a")
            ImApi.callQmlInitPanel()
            host.customProtocol("InlineSetMonitor", ["mon", "10.0.0.30-1", "1", "239.10.2.30", "30302"])
            host.customProtocol("InlineSetMonitor", ["other", "10.0.0.31", "1", "239.10.2.31", "30312"])
            compare(NodeControl.calls, ["insert 10.0.0.30 1", "insert 10.0.0.31 1"])
            compare(m.nodeState, "waiting")
            var status = { cpu: 12.5, mem: 25, temperature: 48, netSpeed: "12.4Mbps", runingTime: "0d 01:00:05" }
            NodeControl.querySysMsg(status, "10.0.0.30")
            compare(m.nodeState, "ok")
            compare(shownText(m), "CPU 12.5 %   Memory 25.0 %   Temperature 48 °C   Network 12.4Mbps   Running time 0d 01:00:05")
            // Along the bottom, the middle of the picture stays free.
            var box = findChild(m, "statusBox")
            compare(box.y + box.height, m.height - 1)
            verify(box.y > m.height / 2)
            compare(other.nodeState, "waiting", "another node's status is not shown")
            verify(!silentShown(m))

            NodeControl.queryNoAnswer("10.0.0.30")
            compare(m.nodeState, "silent")
            verify(silentShown(m))
            compare(shownText(m), "", "old values do not look current")
            compare(other.nodeState, "waiting")

            // The node answers again.
            NodeControl.querySysMsg(status, "10.0.0.30")
            verify(!silentShown(m))
            verify(shownText(m) !== "")

            // Pointed at another node: nothing of the old one is shown.
            NodeControl.queryNoAnswer("10.0.0.30")
            host.customProtocol("InlineSetMonitor", ["mon", "10.0.0.31", "1", "239.10.2.31", "30312"])
            compare(m.nodeState, "waiting")
            NodeControl.querySysMsg(status, "10.0.0.31")
            compare(m.nodeState, "ok")
            compare(other.nodeState, "ok", "both monitors of a node show it")
        }

        // The "no answer" look: a red cover over the whole monitor, the values gone.
        function test_noAnswerLook() {
            var m = monitor("mon", "a")
            ImApi.callQmlInitPanel()
            host.customProtocol("InlineSetMonitor", ["mon", "10.0.0.30", "1", "", "0"])
            NodeControl.querySysMsg({ cpu: 1, mem: 2, temperature: 40, netSpeed: "1", runingTime: "1" }, "10.0.0.30")
            var cover = findChild(m, "noAnswer")
            verify(!cover.visible)
            NodeControl.queryNoAnswer("10.0.0.30")
            verify(cover.visible)
            compare([cover.width, cover.height], [m.width - 2, m.height - 2])
            verify(cover.color.r > 2 * cover.color.g && cover.color.r > 2 * cover.color.b && cover.color.a > 0.5)
            verify(!findChild(m, "statusBox").visible)
        }
    }
}
