import QtQuick 2.15
import QtTest 1.15
import "../../qml/Design2.0"
import "../../qml/components"
import "Items.js" as Items

// A signal list and a wall screen side by side, at scale 1: the wall is 960x540 on screen for
// a 3840x2160 wall of 2x2 decoders (one canvas unit is four wall pixels).
Item {
    id: root
    width: 1200
    height: 800

    DragImage { id: dragImage }
    property var wall: null
    property var list: null

    Component { id: wallComponent; VX2Screen {} }
    Component { id: listComponent; VX2SignalList {} }

    TestCase {
        name: "Wall"
        when: windowShown

        function init() {
            wait(0) // the last case's wall and list go, and let go of their snapshots
            ImApi.reset()
            ImApi.signalList = [
                { ip: "10.0.0.30-0", url: "udp://main30", url2: "udp://sub30", name: "Cam 30" },
                { ip: "10.0.0.31-0", url: "udp://main31", url2: "udp://sub31", name: "Cam 31" }
            ]
            ImApi.mosaics = [{ name: "Quad", row: 2, col: 2, ip: ["a", "b", "c", "d"], url: ["ua", "ub", "uc", "ud"],
                               url2: ["sa", "sb", "sc", "sd"] }]
            ImApi.groups = { "Locked": [{ index: 1, type: 0 }], "G": [{ index: 0, type: 0 }, { index: 1, type: 0 }, { index: 0, type: 1 }] }
            ImApi.signalPermitted = ["G"]
            wall = createTemporaryObject(wallComponent, root, { map: {
                objectName: "wall-a", id: "1", globalPos: { x: 0, y: 0, width: 960, height: 540 },
                size: { width: 3840, height: 2160 }, splitSize: { width: 2, height: 2 },
                nodeRects: [{ x: 0, y: 0, width: 1920, height: 1080, audio: "10.0.0.20" }, { x: 1920, y: 0, width: 1920, height: 1080, audio: "10.0.0.21" },
                            { x: 0, y: 1080, width: 1920, height: 1080, audio: "10.0.0.22" }, { x: 1920, y: 1080, width: 1920, height: 1080 }],
                freeEn: true, fullEn: true, stream: 4 } })
            list = createTemporaryObject(listComponent, root, { dragImage: dragImage, map: {
                objectName: "list", globalPos: { x: 0, y: 600, width: 900, height: 150 }, winNum: 3, space: 0,
                direction: 0, isDragSlide: true, linkedGroup: ["Locked", "G"], bkRect: { globalPos: { x: 0, y: 600, width: 300, height: 150 } } } })
            ImApi.calls = [] // the set-up's own calls are not what the cases look at
        }
        function commands() { return ImApi.named("ServerSetWindows").map(function (a) { return a[1] }) }
        // Drags cell `i` of the list up and drops it at (x, y) of the window.
        function dragCell(i, x, y) {
            var cx = 150 + 300 * i, cy = 675
            mousePress(root, cx, cy)
            mouseMove(root, cx, cy - 10)   // off the cell: the drag begins
            mouseMove(root, (cx + x) / 2, (cy + y) / 2)
            mouseMove(root, x, y)
            mouseRelease(root, x, y)
        }
        // The item drawing block `k`.
        function blockItem(k) { return Items.first(wall, function (c) { return c.block && c.block.key === wall.blocks[k].key }) }

        function test_dropOnGrid_data() {
            return [
                { tag: "first quadrant", cell: 0, x: 240, y: 135, sent: "{SetWindows;1;10.0.0.30-0,udp://main30,0,0,1920,1080}" },
                { tag: "astride the middle cut: the cell of its left edge", cell: 0, x: 481, y: 100,
                  sent: "{SetWindows;1;10.0.0.30-0,udp://main30,0,0,1920,1080}" },
                { tag: "a mosaic: four parts with its window id", cell: 2, x: 240, y: 135,
                  sent: /^\{SetWindows;1;a,ua,0,0,960,540,0_\d+;b,ub,960,0,960,540,0_\d+;c,uc,0,540,960,540,0_\d+;d,ud,960,540,960,540,0_\d+\}$/ }
            ]
        }
        function test_dropOnGrid(data) {
            compare(list.currentGroup, "G") // the first linked group the role may use
            compare(list.cells.length, 3)
            dragCell(data.cell, data.x, data.y)
            var sent = commands()
            compare(sent.length, 1)
            if (typeof data.sent === "string")
                compare(sent[0], data.sent)
            else
                verify(data.sent.test(sent[0]), sent[0])
            compare(wall.blocks.length, 1)
            verify(!dragImage.visible)
        }

        function test_gestures() {
            dragCell(0, 240, 135)
            var b = blockItem(0)
            verify(b)
            // Moved to the right half: one command with the new cell.
            mousePress(b, 100, 100)
            mouseMove(b, 200, 100)
            mouseMove(b, 600, 110)
            mouseRelease(b, 600, 110)
            compare(commands().length, 2)
            compare(commands()[1], "{SetWindows;1;10.0.0.30-0,udp://main30,1920,0,1920,1080}")
            // A double click fills the wall.
            b = blockItem(0)
            mouseDoubleClickSequence(b, 200, 200)
            compare(commands()[commands().length - 1], "{SetWindows;1;10.0.0.30-0,udp://main30,0,0,3840,2160}")
            // The close button empties it.
            b = blockItem(0)
            var n = commands().length
            mouseClick(b, b.width - 10, 10)
            compare(commands().length, n + 1)
            compare(commands()[n], "{SetWindows;1}")
            compare(wall.blocks.length, 0)
        }

        // Every visible tile and window part asks for its signal's snapshot; hidden ones ask
        // nothing, so their streams stop.
        function test_snapshotsAskedOnlyWhileVisible() {
            dragCell(2, 700, 400) // the mosaic: four parts
            var all = ["10.0.0.30-0", "10.0.0.31-0", "a", "b", "c", "d"]
            compare(SnapshotBoard.wanted(), all)
            list.visible = false
            compare(SnapshotBoard.wanted(), ["a", "b", "c", "d"]) // the window's parts
            wall.visible = false
            compare(SnapshotBoard.wanted(), [])
            list.visible = true
            wall.visible = true
            compare(SnapshotBoard.wanted(), all)
        }

        // A tile's mark while its signal is silent, and gone with the next picture.
        function marks(item, key) {
            return Items.all(item, function (c) { return c.objectName === "silence" && c.parent.parent.ip === key })
                        .map(function (c) { return c.visible ? c.text : "" })
        }
        function test_silence_data() {
            return [
                { tag: "pictures come", picture: true, stop: false, after: 60000, mark: "" },
                { tag: "nothing yet, not for long", picture: false, after: 2900, mark: "" },
                { tag: "nothing ever", picture: false, after: 2950, mark: "no picture yet" },
                { tag: "stopped", picture: true, stop: true, after: 12000, mark: "no picture · 12 s" },
                { tag: "stopped long ago", picture: true, stop: true, after: 300000, mark: "no picture · 5 min" }
            ]
        }
        function test_silence(data) {
            var key = "10.0.0.30-0"
            Snapshots.reset()
            dragCell(0, 240, 135) // its window too
            if (data.picture)
                Snapshots.deliver(key, true)
            Snapshots.advance(50)
            if (data.stop)
                Snapshots.deliver(key, false)
            Snapshots.advance(data.after)
            compare(marks(root, key), [data.mark, data.mark]) // the tile and the window
            Snapshots.deliver(key, true)
            Snapshots.advance(50)
            compare(marks(root, key), ["", ""])
        }
    
        // Outputs that did not answer are covered where they are on the wall, until heard from.
        function test_silentOutputs_data() {
            return [
                { tag: "one output", silent: ["10.0.0.21"], covers: ["10.0.0.21 480,0 480x270"] },
                { tag: "two", silent: ["10.0.0.22", "10.0.0.20"], covers: ["10.0.0.22 0,270 480x270", "10.0.0.20 0,0 480x270"] },
                { tag: "another wall's", silent: ["10.0.9.9"], covers: [] }
            ]
        }
        function test_silentOutputs(data) {
            var covers = function () {
                return Items.all(wall, function (c) { return c.objectName === "outputNoAnswer" && c.visible })
                            .map(function (c) { return c.address + " " + c.x + "," + c.y + " " + c.width + "x" + c.height })
            }
            ImApi.silence(data.silent)
            compare(covers(), data.covers)
            ImApi.silence([])
            compare(covers(), [])
        }
    }
}
