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

        function test_rows_data() {
            return [
                { tag: "a node's status", status: { cpu: 12.5, mem: 33.333, temperature: 48, netSpeed: "12.4Mbps", runingTime: "3d 04:05:06" },
                  values: ["12.5 %", "33.3 %", "48 °C", "12.4Mbps", "3d 04:05:06"] },
                { tag: "no status", status: null, values: ["-", "-", "-", "-", "-"] },
                { tag: "missing and unreadable fields", status: { cpu: "x", mem: NaN, temperature: Infinity, netSpeed: "  " },
                  values: ["-", "-", "-", "-", "-"] }
            ]
        }
        function test_rows(data) { compare(Rules.rows(data.status).map(function (r) { return r.value }), data.values) }
    }

    TestCase {
        name: "Monitors"
        when: windowShown

        function monitor(name, pageId) {
            ImApi.callQmlCreateVX2Monitor(pageId, { objectName: name, globalPos: { x: 0, y: 0, width: 300, height: 200 }, dataDockerType: 0 })
            return host.find("monitor", name)
        }

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

        // What a playing monitor says it waits for, cleared when pictures show; the figures
        // come and go with a long press, "i" and F3.
        function test_waiting_data() {
            return [
                { tag: "nothing yet", waiting: "stream", seconds: -1, text: "waiting for the stream" },
                { tag: "no clean picture", waiting: "keyframe", seconds: -1, text: "waiting for a key frame" },
                { tag: "stopped", waiting: "silent", seconds: 8, text: "no stream for 8 s" }
            ]
        }
        function test_waiting(data) {
            var m = monitor("mon", "a")
            ImApi.callQmlInitPanel()
            host.customProtocol("InlineSetMonitor", ["mon", "10.0.0.30", "1", "239.10.2.30", "30302"])
            var video = findChild(m, "video"), shown = findChild(m, "waiting")
            video.waiting = data.waiting
            video.silentSeconds = data.seconds
            compare(shown.visible ? shown.text : "", data.text)
            video.waiting = ""
            verify(!shown.visible)
            mousePress(m, 20, 20)
            tryCompare(video, "statistics", true) // held
            mouseRelease(m, 20, 20)
            keyClick(Qt.Key_I)
            verify(!video.statistics)
            mouseMove(m, 30, 30)
            keyClick(Qt.Key_F3)
            verify(video.statistics)
            video.figures = { codec: "H.264", width: 1920, height: 1080, received: 25, shown: 25, dropped: 0, lost: 2, decodeMs: 3.14, latencyMs: 41.5 }
            compare(findChild(m, "figuresText").text, "H.264 1920×1080\nframes/s 25 received · 25 shown · 0 dropped\n"
                    + "lost 2 frames · decode 3.1 ms · latency 41.5 ms")
        }
    }
}
