import QtQuick 2.15
import QtTest 1.15
import "../../qml/Design2.0"
import "../../qml/components"

// A signal list and a wall screen side by side, at scale 1: the wall is 960x540 on screen for
// a 3840x2160 wall of 2x2 decoders (one canvas unit is four wall pixels).
Item {
    id: root
    width: 1200
    height: 800

    DragImage { id: dragImage }
    // The window's refresh tick, as main.qml has it; the cases fire it by hand.
    Timer { id: mainTimer; interval: 50; repeat: false; running: false }
    property var wall: null
    property var list: null

    Component { id: wallComponent; VX2Screen {} }
    Component { id: listComponent; VX2SignalList {} }
    Component { id: treeComponent; VX2TreeView {} }

    TestCase {
        name: "Wall"
        when: windowShown

        function init() {
            ImApi.reset()
            ImApi.signalList = [
                { ip: "10.0.0.30-0", url: "udp://main30", url2: "udp://sub30", name: "Cam 30" },
                { ip: "10.0.0.31-0", url: "udp://main31", url2: "udp://sub31", name: "Cam 31" }
            ]
            ImApi.mosaics = [{ name: "Quad", row: 2, col: 2, ip: ["a", "b", "c", "d"], url: ["ua", "ub", "uc", "ud"],
                               url2: ["sa", "sb", "sc", "sd"] }]
            ImApi.groups = { "Locked": [{ index: 1, type: 0 }], "G": [{ index: 0, type: 0 }, { index: 1, type: 0 }, { index: 0, type: 1 }] }
            ImApi.signalPermitted = ["G"]
            wall = wallComponent.createObject(root, { map: {
                objectName: "wall-a", id: "1", globalPos: { x: 0, y: 0, width: 960, height: 540 },
                size: { width: 3840, height: 2160 }, splitSize: { width: 2, height: 2 },
                nodeRects: [{ x: 0, y: 0, width: 1920, height: 1080 }, { x: 1920, y: 0, width: 1920, height: 1080 },
                            { x: 0, y: 1080, width: 1920, height: 1080 }, { x: 1920, y: 1080, width: 1920, height: 1080 }],
                freeEn: true, fullEn: true, stream: 4 } })
            list = listComponent.createObject(root, { dragImage: dragImage, map: {
                objectName: "list", globalPos: { x: 0, y: 600, width: 900, height: 150 }, winNum: 3, space: 0,
                direction: 0, isDragSlide: true, linkedGroup: ["Locked", "G"], bkRect: { globalPos: { x: 0, y: 600, width: 300, height: 150 } } } })
            // The set-up calls are not what the cases look at.
            var answers = { signalList: ImApi.signalList, mosaics: ImApi.mosaics, groups: ImApi.groups,
                            signalPermitted: ImApi.signalPermitted }
            ImApi.reset()
            for (var k in answers)
                ImApi[k] = answers[k]
        }
        function cleanup() {
            wall.destroy()
            list.destroy()
            wait(0)
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
        function blockItem(k) {
            // The canvas holds the blocks as its children with a `block` property.
            for (var j = 0; j < wall.children.length; ++j) {
                var canvas = wall.children[j]
                for (var i = 0; i < canvas.children.length; ++i) {
                    var c = canvas.children[i]
                    if (c.block !== undefined && c.block.key === wall.blocks[k].key)
                        return c
                }
            }
            return null
        }

        function test_dropOnGrid_data() {
            return [
                { tag: "first quadrant", cell: 0, x: 240, y: 135, sent: "{SetWindows;1;10.0.0.30-0,udp://main30,0,0,1920,1080}" },
                { tag: "last quadrant", cell: 1, x: 700, y: 400, sent: "{SetWindows;1;10.0.0.31-0,udp://main31,1920,1080,1920,1080}" },
                { tag: "astride the middle cut: the cell of its left edge", cell: 0, x: 481, y: 100,
                  sent: "{SetWindows;1;10.0.0.30-0,udp://main30,0,0,1920,1080}" },
                { tag: "left edge just past the middle cut", cell: 0, x: 640, y: 100,
                  sent: "{SetWindows;1;10.0.0.30-0,udp://main30,1920,0,1920,1080}" },
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

        function test_searchReplacesTheCells() {
            list.search("Cam")
            compare(ImApi.named("searchSignalOfGroup"), [["G", "Cam"]])
            compare(list.cells, [{ index: 0, type: 0 }])
            list.reload()
            compare(list.cells.length, 3)
        }

        function test_moveAlongTheListScrollsWithoutDragging() {
            list.cells = list.cells.concat(list.cells) // six cells, three shown
            mousePress(root, 450, 675)
            mouseMove(root, 400, 676)
            mouseMove(root, 350, 677)
            verify(list.list.contentX > 0)
            verify(!dragImage.visible)
            mouseRelease(root, 350, 677)
            compare(commands().length, 0)
        }

        function test_cellClicks_data() {
            return [
                { tag: "a click names the cell", x: 450, enabled: true, clicks: 1, clicked: [1, 0], doubles: [] },
                { tag: "a double click on a signal asks for its settings", x: 150, enabled: true, clicks: 2,
                  doubles: [0, "10.0.0.30-0", { isEnableLogoSetting: false, isEnableSignalControl: false,
                                                isEnableSignalClipping: false, isEnableSignalMark: true }] },
                { tag: "not when the design does not enable it", x: 150, enabled: false, clicks: 2, doubles: [] },
                { tag: "a mosaic does not react", x: 750, enabled: true, clicks: 2, doubles: [] }
            ]
        }
        function test_cellClicks(data) {
            list.map.isEnableDoubleClick = data.enabled
            list.map.isEnableSignalMark = true
            var clicked = [], doubles = []
            list.cellClicked.connect(function (i, t) { clicked = [i, t] })
            list.cellDoubleClicked.connect(function (i, a, sw) { doubles = [i, a, sw] })
            if (data.clicks === 2)
                mouseDoubleClickSequence(root, data.x, 675)
            else
                mouseClick(root, data.x, 675)
            if (data.clicked)
                compare(clicked, data.clicked)
            compare(doubles, data.doubles)
        }
        function test_slideIsNoClick() {
            var clicked = 0
            list.cellClicked.connect(function () { ++clicked })
            mousePress(root, 450, 675)
            mouseMove(root, 420, 676)
            mouseRelease(root, 420, 676)
            compare(clicked, 0)
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

        function test_stackingMenu() {
            dragCell(0, 240, 135)
            dragCell(1, 700, 400)
            compare(wall.blocks[1].parts[0].ip, "10.0.0.31-0")
            var top = blockItem(1)
            mouseClick(top, 50, 50, Qt.RightButton)
            tryCompare(wall, "blockMenuOpen", true)
            keyClick(Qt.Key_Escape)
            tryCompare(wall, "blockMenuOpen", false)
            wall.restackBlock(top.block.key, "Bottom")
            compare(wall.blocks[0].parts[0].ip, "10.0.0.31-0")
            compare(commands()[commands().length - 1],
                    "{SetWindows;1;10.0.0.31-0,udp://main31,1920,1080,1920,1080;10.0.0.30-0,udp://main30,0,0,1920,1080}")
        }

        function test_freeLayoutAlignsWhileDragging() {
            wall.setLayout(-2) // free, with alignment
            dragCell(0, 240, 135) // 90,60 300x150
            dragCell(1, 700, 400) // 550,325 300x150
            var b = blockItem(1)
            mousePress(root, 700, 400)
            mouseMove(root, 650, 400)
            mouseMove(root, 543, 400) // left edge 3 units right of the other's right edge
            compare(b.x, 390)
            verify(wall.splitLines.length > 0)
            mouseRelease(root, 543, 400)
            compare(wall.splitLines, [])
            compare(commands()[commands().length - 1],
                    "{SetWindows;1;10.0.0.30-0,udp://main30,360,240,1200,600;10.0.0.31-0,udp://main31,1560,1300,1200,600}")
        }

        function test_suspendedBannerShortensTheCanvas() {
            // A 216 pixel band (a tenth of the wall) at the top: the canvas is 486 units high and
            // a window on its upper half is sent from y 216.
            wall.osdMap = { enable: 1, suspend: 1, string: "News", x: 0, y: 0, width: 3840, height: 216 }
            compare(wall.canvasH, 486)
            dragCell(0, 240, 300)
            compare(commands()[commands().length - 1], "{SetWindows;1;10.0.0.30-0,udp://main30,0,216,1920,972}")
        }

        function test_resizeFromTheBottomRightCorner() {
            dragCell(0, 240, 135)
            var b = blockItem(0)
            mousePress(b, b.width - 5, b.height - 5)
            mouseMove(b, b.width + 100, b.height + 100)
            mouseMove(b, b.width + 400, b.height + 200)
            mouseRelease(b, b.width + 400, b.height + 200)
            compare(commands()[commands().length - 1], "{SetWindows;1;10.0.0.30-0,udp://main30,0,0,3840,2160}")
        }

        function test_preDrawHoldsCommandsUntilPublished() {
            wall.yt = true
            dragCell(0, 240, 135)
            dragCell(1, 700, 400)
            compare(commands().length, 0)
            compare(wall.blocks.length, 2)
            wall.publish()
            compare(commands(), ["{SetWindows;1;10.0.0.30-0,udp://main30,0,0,1920,1080;10.0.0.31-0,udp://main31,1920,1080,1920,1080}"])
        }

        function test_listingDuringAGestureWins() {
            dragCell(0, 240, 135)
            var b = blockItem(0)
            mousePress(b, 100, 100)
            mouseMove(b, 300, 100)
            // The controller's listing arrives mid-drag: the picture is its windows.
            wall.clearBlocks()
            wall.addBlock({ src_ip: "10.0.0.31-0", url: "udp://main31", url2: "udp://sub31", x: "0", y: "1080", w: "1920", h: "1080", type: 0 })
            wait(0)
            var n = commands().length
            mouseRelease(root, 500, 100)
            compare(commands().length, n)
            compare(wall.blocks.length, 1)
            compare(wall.blocks[0].parts[0].ip, "10.0.0.31-0")
            compare(wall.blocks[0].y, 270)
        }

        function test_mosaicListedTwiceIsOneWindow() {
            var entry = { src_ip: "a", url: "ua", x: "0", y: "0", w: "960", h: "540", type: 1, id: "0_17", index: "0" }
            wall.clearBlocks()
            wall.addBlock(entry)
            wall.addBlock(entry)
            wait(0)
            compare(wall.blocks.length, 1)
            compare(wall.blocks[0].width, 480) // one cell listed, two columns drawn
            compare(commands().length, 0)
        }

        function test_treeRowDraggedOntoTheWall() {
            var tree = treeComponent.createObject(root, { dragImage: dragImage, map: {
                objectName: "tree", globalPos: { x: 1000, y: 0, width: 200, height: 400 }, px: 16,
                treeModel: [{ text: "G", istitle: true, subnodes: [{ text: "Cam 31", isoption: false, index: 1, type: 0 }] }] } })
            compare(tree.rows.length, 1)
            mouseClick(tree, 50, 15) // the title opens
            compare(tree.rows.length, 2)
            var rowY = 4 + tree.rowHeight * 1.5
            mousePress(tree, 50, rowY)
            mouseMove(tree, 40, rowY)     // along the row: no drag
            verify(!dragImage.visible)
            mouseMove(tree, -10, rowY)    // out of the tree sideways
            verify(dragImage.visible)
            mouseMove(root, 700, 400)
            mouseRelease(root, 700, 400)
            compare(commands(), ["{SetWindows;1;10.0.0.31-0,udp://main31,1920,1080,1920,1080}"])
            tree.destroy()
        }

        function test_snapshotsFollowTheTopWindow() {
            dragCell(0, 240, 135)
            dragCell(1, 700, 400)
            var dips = ImApi.named("serverSetSignalSnapDip")
            compare(dips.slice(dips.length - 2), [["10.0.0.30-0", 0], ["10.0.0.31-0", 1]])
            mouseClick(blockItem(1), blockItem(1).width - 10, 10) // closed
            dips = ImApi.named("serverSetSignalSnapDip")
            compare(dips.slice(dips.length - 2), [["10.0.0.31-0", 0], ["10.0.0.30-0", 1]])
        }

        function test_clearingTheWallTurnsEverySnapshotOff() {
            dragCell(0, 240, 135)
            dragCell(1, 700, 400)
            ImApi.reset()
            wall.clearWall()
            compare(ImApi.named("serverSetSignalSnapDip"), [["10.0.0.30-0", 0], ["10.0.0.31-0", 0]])
            compare(commands(), ["{SetWindows;1}"])
        }

        function test_dimensionsFollowTheGesture() {
            dragCell(0, 240, 135)
            var b = blockItem(0)
            function label() {
                for (var i = 0; i < b.children.length; ++i) {
                    if (b.children[i].text !== undefined && /x/.test(b.children[i].text) && b.children[i].visible)
                        return b.children[i].text
                }
                return ""
            }
            compare(label(), "")
            wall.isShowPos = true
            compare(label(), "0,0 1920x1080")
            mousePress(b, 240, 135)
            mouseMove(b, 260, 145)
            mouseMove(b, 290, 165)
            // Moves are given in the moving item's own coordinates: 70 x 40 units in all.
            compare(label(), "280,160 1920x1080")
            mouseRelease(b, 290, 165)
        }

        function test_doubleClickOnTheBareWall() {
            var touched = 0
            wall.touched.connect(function () { ++touched })
            mouseDoubleClickSequence(wall, 700, 400)
            verify(touched > 0)
            compare(ImApi.named("upLoadBackgroundImage"), [[""]])
            dragCell(0, 240, 135)
            ImApi.reset()
            mouseDoubleClickSequence(blockItem(0), 100, 100) // a window: full screen, no picture
            compare(ImApi.named("upLoadBackgroundImage"), [])
        }

        function last() { var c = commands(); return c[c.length - 1] }

        function test_windowsStayOnTheWallWhenTheItemChanges() {
            dragCell(0, 240, 135)
            var sent = "{SetWindows;1;10.0.0.30-0,udp://main30,0,0,1920,1080}"
            compare(last(), sent)
            wall.width = 480
            wall.height = 270
            wall.publish()
            compare(last(), sent, "half the size")
            wall.osdMap = { enable: 1, suspend: 1, string: "News", x: 0, y: 0, width: 3840, height: 216 }
            wall.publish()
            compare(last(), sent, "a banner band")
        }

        // The dock list: "default", "free", "full screen" (both enabled), then the layouts.
        function test_dockListEntries_data() {
            return [
                { tag: "default: the grid", index: 0, kind: "grid", asked: [] },
                { tag: "free", index: 1, kind: "free", asked: [] },
                { tag: "full screen", index: 2, kind: "full", asked: [] },
                { tag: "the first dock layout, asked for this wall", index: 3, kind: "dock", asked: [[0, "1"]] }
            ]
        }
        function test_dockListEntries(data) {
            ImApi.dockWindows = [[{ x: 0, y: 0, width: 1920, height: 2160, chn: 1, audio: "" }]]
            ImApi.selPanel = "7"
            wall.applyDockLayout(data.index)
            compare(wall.layout.kind, data.kind)
            compare(ImApi.named("getPanelDockV2"), data.asked)
            compare(ImApi.selPanel, "7", "the selection stays")
        }

        function test_replacedSignalKeepsTheDockStream() {
            ImApi.dockWindows = [[{ x: 0, y: 0, width: 3840, height: 2160, chn: 2, audio: "" }]]
            wall.applyDockLayout(3)
            dragCell(0, 240, 135)
            compare(last(), "{SetWindows;1;10.0.0.30-0,udp://main30,0,0,3840,2160}")
            wall.replaceSignal = 1
            dragCell(1, 500, 300)
            compare(last(), "{SetWindows;1;10.0.0.31-0,udp://main31,0,0,3840,2160}")
        }

        function test_preDrawHoldsTheDockAudioBack() {
            ImApi.dockWindows = [[{ x: 0, y: 0, width: 3840, height: 2160, chn: 2, audio: "10.0.1.1" }]]
            wall.applyDockLayout(3)
            wall.yt = true
            dragCell(0, 240, 135)
            compare(ImApi.named("ServerSetAudios"), [])
            wall.publish()
            compare(ImApi.named("ServerSetAudios"), [["10.0.1.1", "{SetAudios;wall-of-10.0.1.1;0|udp://main30}"]])
            compare(commands().length, 1)
        }

        function test_dockRectanglesBelowTheBanner() {
            wall.osdMap = { enable: 1, suspend: 1, string: "News", x: 0, y: 0, width: 3840, height: 216 }
            ImApi.dockWindows = [[{ x: 0, y: 216, width: 1920, height: 1944, chn: 2, audio: "" },
                                  { x: 1920, y: 1080, width: 1920, height: 1080, chn: 2, audio: "" }]]
            wall.applyDockLayout(3)
            dragCell(0, 700, 400)
            compare(last(), "{SetWindows;1;10.0.0.30-0,udp://main30,1920,1080,1920,1080}")
        }

        function test_listingOfWhatWasSentKeepsTheWindow() {
            wall.width = 955 // canvas units that are no whole number of wall pixels
            wall.setLayout(-2)
            dragCell(0, 301, 177)
            var key = wall.blocks[0].key
            var f = last().slice(1, -1).split(";")[2].split(",")
            wall.clearBlocks()
            wall.addBlock({ type: 0, src_ip: f[0], url: f[1], url2: "udp://sub30", x: f[2], y: f[3], w: f[4], h: f[5] })
            tryVerify(function () { return wall.listing === null })
            compare(wall.blocks.length, 1)
            compare(wall.blocks[0].key, key)
        }

        function test_coveredWindowsAreAskedTopFirst() {
            dragCell(0, 240, 135)
            dragCell(1, 700, 400)
            var masks = ImApi.named("callRectMask")
            var last = masks[masks.length - 1][0]
            compare(last.length, 2)
            compare(last[0].x, 480) // the last dropped is on top, listed first
            compare(last[1].x, 0)
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
    }
}
