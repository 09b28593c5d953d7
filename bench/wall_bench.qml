import QtQuick 2.15
import QtQuick.Window 2.15
import "qrc:/Design2.0"
import "qrc:/components"

// The wall screen of the wall benchmark: wall 1 of the lab sample (3840x2160) cut 8 x 4, so
// that a full wall holds 32 windows of one cell each.
Window {
    id: root
    width: 1920
    height: 1080
    visible: true
    color: "black"
    property string lastText: ""
    property var saved: []
    property int drops: 0

    VX2Screen {
        id: wall
        map: ({ objectName: "wall", id: "1", globalPos: { x: 100, y: 100, width: 1600, height: 900 },
                size: { width: 3840, height: 2160 }, splitSize: { width: 8, height: 4 },
                nodeRects: [{ x: 0, y: 0, width: 1920, height: 1080 }, { x: 1920, y: 0, width: 1920, height: 1080 },
                            { x: 0, y: 1080, width: 1920, height: 1080 }, { x: 1920, y: 1080, width: 1920, height: 1080 }],
                freeEn: true, fullEn: true, stream: 4 })
        onWindowsSent: root.lastText = text
    }
    DragImage { id: dragImage }

    // `count` windows, one per cell from the top left, of the lab's signals in turn.
    function fill(count) {
        wall.clearBlocks()
        for (var i = 0; i < count; ++i) {
            var s = ImApi.getSignalMsg(i % 13)
            wall.addBlock({ src_ip: s.ip, url: s.url, url2: s.url2, type: 0,
                            x: String((i % 8) * 480), y: String(Math.floor(i / 8) * 540), w: "480", h: "540" })
        }
        wall.takeListing()
        saved = wall.blocks
        return wall.blocks.length
    }
    // One signal dragged from outside and dropped on the last cell; the wall is put back.
    function dropOnce() {
        dragImage.begin(drops++ % 13, 0, 1, 1, "", 200, 112)
        dragImage.moveTo(100 + 1600 * 15 / 16, 100 + 900 * 7 / 8)
        dragImage.finish()
    }
    function restore() { wall.blocks = saved }
    function sendOnly() { ImApi.ServerSetWindows("1", lastText) }
    // The centre of the first window, in window coordinates.
    function firstWindowCentre() { return Qt.point(100 + wall.egWidth / 2 + 50, 100 + wall.egWidth / 2 + 56) }
}
