import QtQuick 2.15
import QtTest 1.15
import "../../qml/components"
import "../../qml/js/SignalDialogRules.js" as Rules

// The signal settings dialog at a size where its picture is 960x540 for a 1920x1080 input:
// one picture unit is two input pixels.
Item {
    id: root
    width: 1296
    height: 800

    SignalDialog { id: dialog; multiplierW: 1.0125; multiplierH: 1 }

    TestCase {
        name: "SignalDialogRules"

        function xywh(r) { return [r.x, r.y, r.width, r.height] }
        function geometry(crop) {
            return { pixWidth: 1920, pixHeight: 1080, cropEnable: crop, pixCropX: 100, pixCropY: 50, pixCropWidth: 800, pixCropHeight: 450 }
        }
        function test_rules() {
            compare(Rules.splitStreamUrl("udp://239.1.2.3:5000"), { group: "239.1.2.3", port: 5000 })
            compare(Rules.splitStreamUrl("udp://239.1.2.3:70000"), { group: "239.1.2.3", port: 0 })
            compare(xywh(Rules.fitRect(960, 700, 1920, 1080)), [0, 80, 960, 540])
            compare(xywh(Rules.fitRect(960, 540, 1440, 1080)), [120, 0, 720, 540])
            compare(xywh(Rules.shownSource(geometry(true))), [100, 50, 800, 450])
            // The picture is 960x540: one picture unit is two input pixels, or less with a crop.
            var point = function (x, y, crop) { var p = Rules.sourcePoint(x, y, 960, 540, geometry(crop)); return [p.x, p.y] }
            compare(point(480, 270, true), [500, 275])
            compare(point(960, 540, false), [1919, 1079])
            compare(point(-30, 600, true), [100, 499])
            compare(Rules.markRect(480, 270, 96, 54, 960, 540), { x: 192, y: 108, w: 768, h: 432 })
            compare(Rules.cropFields(Rules.cropDragRect(-50, -50, 2000, 2000, 960, 540), 960, 540, 1920, 1080), { x: 0, y: 0, w: 1920, h: 1080 })
            compare(Rules.cropFields(Rules.cropDragRect(100, 100, 101, 101, 960, 540), 960, 540, 1366, 768), { x: 142, y: 142, w: 1, h: 1 })
        }
        function test_cropWarning_data() {
            var even = "Width and high must be an even number!", range = "Parameter exceeds the maximum range!"
            return [
                { tag: "a good crop", f: ["0", "0", "1920", "1080"], warning: "" },
                { tag: "odd height", f: ["0", "0", "1920", "1079"], warning: even },
                { tag: "y + h beyond the input", f: ["0", "2", "1920", "1080"], warning: range },
                { tag: "x + w beyond the input", f: ["2", "0", "1920", "1080"], warning: range },
                { tag: "an empty field", f: ["", "0", "1920", "1080"], warning: range },
                { tag: "a negative position", f: ["-2", "0", "100", "100"], warning: range }
            ]
        }
        function test_cropWarning(data) { compare(Rules.cropWarning(data.f[0], data.f[1], data.f[2], data.f[3], 1920, 1080), data.warning) }
        function test_pointerAndSettings() {
            compare([Rules.movedBeyond(10, 10, 8, 12), Rules.movedBeyond(10, 10, 10, 7), Rules.movedBeyond(10, 10, 10, 12.5)], [false, true, true])
            compare(Rules.signalSettings({ kChn0_VI_X: "8", kChn0_VI_Y: "4", kChn0_VI_Width: "1280", kChn0_VI_Height: "720",
                                           kChn0_VI_Crop_Enable: "1", kChn0_VI_W: "?", kChn0_Osd_Enable: "0", kChn1_VI_W: "640" }),
                    { pixCropX: 8, pixCropY: 4, pixCropWidth: 1280, pixCropHeight: 720, cropEnable: true, pixWidth: 1920, osdEnable: false })
            var rows = [{ name: "/:", id: "0", type: 0, pid: "0" }, { name: "Films", id: "7", type: 0, pid: "0" },
                        { name: "a.mp4", id: "8", type: 5, pid: "0" }, { name: "b.doc", id: "9", type: 6, pid: "0" }]
            var sub = [{ name: "Films:", id: "7", type: 0, pid: "0" }]
            compare([Rules.hostFileAction(rows, 1), Rules.hostFileAction(rows, 2), Rules.hostFileAction(rows, 0), Rules.hostFileAction(sub, 0),
                     Rules.hostFileAction(rows, 3), Rules.hostFileAction(rows, 9)],
                    [{ folder: "7" }, { open: rows[2] }, { folder: "0" }, { folder: "0" }, null, null])
            compare([Rules.isCamera("10.0.0.44-IPC"), Rules.isCamera("10.0.0.44-IPC-0"), Rules.isCamera("10.0.0.44")], [true, false, false])
            compare([Rules.presetName(" Gate "), Rules.presetName("x".repeat(32)), Rules.presetName("x".repeat(33))], ["Gate", "x".repeat(32), ""])
        }
    }

    TestCase {
        name: "SignalDialog"
        when: windowShown

        readonly property string ip: "10.0.0.30-0"
        readonly property var allTools: ({ isEnableLogoSetting: true, isEnableSignalControl: true,
                                            isEnableSignalClipping: true, isEnableSignalMark: true })

        function openDialog() {
            ImApi.signalList = [{ ip: ip, url: "udp://239.1.2.3:4000", url2: "udp://239.1.2.3:5000", name: "Cam 30" }]
            dialog.open(ip, "10.0.0.99", allTools)
            // Exactly open: while the box grows the picture is not yet on whole pixels.
            var box = findChild(dialog, "signalDialogBox")
            tryVerify(function () { return box.height === 720 && dialog.opacity === 1 }, 2000, "the dialog opens")
        }
        function init() {
            ImApi.reset()
            ImApi.mode = 0
        }
        // The next opening cuts the closing short.
        function cleanup() { dialog.close() }
        function snaps() { return ImApi.named("serverSetSignalSnapDip") }

        function test_openShowsSnapshotsAndClosesThemAgain() {
            openDialog()
            compare(dialog.picture.width, 960)
            compare(dialog.picture.height, 540)
            compare(ImApi.named("serverGetHostFileInfo"), [[ip]])
            compare(snaps(), [[ip, 1]])
            compare(dialog.tool, "")
            dialog.close()
            tryCompare(dialog, "visible", false)
            compare(snaps(), [[ip, 1], [ip, 0]])
        }
    }
}
