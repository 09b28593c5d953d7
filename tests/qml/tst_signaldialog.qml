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

        function test_splitStreamUrl_data() {
            return [
                { tag: "group and port", url: "udp://239.1.2.3:5000", group: "239.1.2.3", port: 5000 },
                { tag: "no URL", url: "", group: "", port: 0 },
                { tag: "a bare scheme is too short", url: "udp://", group: "", port: 0 },
                { tag: "seven characters are enough", url: "udp://g", group: "g", port: 0 },
                { tag: "a port that is no number", url: "udp://239.1.2.3:x", group: "239.1.2.3", port: 0 },
                { tag: "a port out of range", url: "udp://239.1.2.3:70000", group: "239.1.2.3", port: 0 },
                { tag: "undefined", url: undefined, group: "", port: 0 }
            ]
        }
        function test_splitStreamUrl(data) {
            compare(Rules.splitStreamUrl(data.url), { group: data.group, port: data.port })
        }

        function test_fitRect_data() {
            return [
                { tag: "wide source in a tall area: bands above and below", area: [960, 700], src: [1920, 1080], rect: [0, 80, 960, 540] },
                { tag: "4:3 source in a wide area: bands left and right", area: [960, 540], src: [1440, 1080], rect: [120, 0, 720, 540] },
                { tag: "same aspect fills the area", area: [480, 270], src: [1920, 1080], rect: [0, 0, 480, 270] },
                { tag: "no source size: the whole area", area: [100, 50], src: [0, 0], rect: [0, 0, 100, 50] }
            ]
        }
        function test_fitRect(data) {
            var r = Rules.fitRect(data.area[0], data.area[1], data.src[0], data.src[1])
            compare([r.x, r.y, r.width, r.height], data.rect)
        }

        function geometry(crop) {
            return { pixWidth: 1920, pixHeight: 1080, cropEnable: crop, pixCropX: 100, pixCropY: 50, pixCropWidth: 800, pixCropHeight: 450 }
        }
        function test_shownSource_data() {
            return [
                { tag: "the whole input without crop", s: geometry(false), rect: [0, 0, 1920, 1080] },
                { tag: "the crop rectangle with crop", s: geometry(true), rect: [100, 50, 800, 450] },
                { tag: "a crop without size shows the input", s: { pixWidth: 1280, pixHeight: 720, cropEnable: true, pixCropWidth: 0, pixCropHeight: 0 },
                  rect: [0, 0, 1280, 720] },
                { tag: "an input without size is taken as 1920x1080", s: { pixWidth: 0, pixHeight: 0, cropEnable: false }, rect: [0, 0, 1920, 1080] }
            ]
        }
        function test_shownSource(data) {
            var r = Rules.shownSource(data.s)
            compare([r.x, r.y, r.width, r.height], data.rect)
        }

        // The picture is 960x540 in every row.
        function test_sourcePoint_data() {
            return [
                { tag: "top-left without crop", crop: false, at: [0, 0], px: [0, 0] },
                { tag: "top-left with crop: the crop origin", crop: true, at: [0, 0], px: [100, 50] },
                { tag: "centre without crop", crop: false, at: [480, 270], px: [960, 540] },
                { tag: "centre with crop", crop: true, at: [480, 270], px: [500, 275] },
                { tag: "fractions go down to the pixel under the pointer", crop: false, at: [100.7, 50.2], px: [201, 100] },
                { tag: "the far edge stays on the last pixel", crop: false, at: [960, 540], px: [1919, 1079] },
                { tag: "out of the picture stays on its edge", crop: true, at: [-30, 600], px: [100, 499] }
            ]
        }
        function test_sourcePoint(data) {
            var p = Rules.sourcePoint(data.at[0], data.at[1], 960, 540, geometry(data.crop))
            compare([p.x, p.y], data.px)
        }

        function test_markPoint_data() {
            return [
                { tag: "a 960x540 picture doubles", at: [96, 54], size: [960, 540], mark: [192, 108] },
                { tag: "a 4:3 picture stretches to the frame", at: [360, 270], size: [720, 540], mark: [960, 540] },
                { tag: "rounded", at: [1, 1], size: [700, 700], mark: [3, 2] },
                { tag: "kept in the frame", at: [-10, 900], size: [960, 540], mark: [0, 1080] }
            ]
        }
        function test_markPoint(data) {
            var p = Rules.markPoint(data.at[0], data.at[1], data.size[0], data.size[1])
            compare([p.x, p.y], data.mark)
        }

        function test_markRect_data() {
            return [
                { tag: "dragged down-right", from: [96, 54], to: [480, 270], rect: { x: 192, y: 108, w: 768, h: 432 } },
                { tag: "dragged up-left: the same frame", from: [480, 270], to: [96, 54], rect: { x: 192, y: 108, w: 768, h: 432 } },
                { tag: "a click draws an empty frame", from: [10, 10], to: [10, 10], rect: { x: 20, y: 20, w: 0, h: 0 } }
            ]
        }
        function test_markRect(data) {
            compare(Rules.markRect(data.from[0], data.from[1], data.to[0], data.to[1], 960, 540), data.rect)
        }

        function test_cropDrag_data() {
            return [
                { tag: "inside the picture", from: [96, 54], to: [576, 324], pix: [1920, 1080], fields: { x: 192, y: 108, w: 960, h: 540 } },
                { tag: "dragged out of the picture: limited to it", from: [-50, -50], to: [2000, 2000], pix: [1920, 1080],
                  fields: { x: 0, y: 0, w: 1920, h: 1080 } },
                { tag: "dragged backwards", from: [576, 324], to: [96, 54], pix: [1920, 1080], fields: { x: 192, y: 108, w: 960, h: 540 } },
                { tag: "a 4K input", from: [96, 54], to: [576, 324], pix: [3840, 2160], fields: { x: 384, y: 216, w: 1920, h: 1080 } },
                { tag: "rounded input pixels", from: [100, 100], to: [101, 101], pix: [1366, 768], fields: { x: 142, y: 142, w: 1, h: 1 } }
            ]
        }
        function test_cropDrag(data) {
            var r = Rules.cropDragRect(data.from[0], data.from[1], data.to[0], data.to[1], 960, 540)
            compare(Rules.cropFields(r, 960, 540, data.pix[0], data.pix[1]), data.fields)
        }

        function test_cropWarning_data() {
            var even = "Width and high must be an even number!", range = "Parameter exceeds the maximum range!"
            return [
                { tag: "a good crop", f: ["0", "0", "1920", "1080"], warning: "" },
                { tag: "odd width", f: ["0", "0", "1919", "1080"], warning: even },
                { tag: "odd height", f: ["0", "0", "1920", "1079"], warning: even },
                { tag: "odd and too wide: odd is named", f: ["10", "0", "1921", "1080"], warning: even },
                { tag: "x + w beyond the input", f: ["2", "0", "1920", "1080"], warning: range },
                { tag: "y + h beyond the input", f: ["0", "2", "1920", "1080"], warning: range },
                { tag: "exactly to the edge", f: ["100", "80", "1820", "1000"], warning: "" },
                { tag: "an empty field", f: ["", "0", "1920", "1080"], warning: range },
                { tag: "a negative position", f: ["-2", "0", "100", "100"], warning: range },
                { tag: "odd positions are fine", f: ["1", "3", "100", "100"], warning: "" }
            ]
        }
        function test_cropWarning(data) {
            compare(Rules.cropWarning(data.f[0], data.f[1], data.f[2], data.f[3], 1920, 1080), data.warning)
        }

        function test_buttons_data() {
            return [
                { tag: "left press", rule: "press", button: Qt.LeftButton, sent: 1 },
                { tag: "right press", rule: "press", button: Qt.RightButton, sent: 2 },
                { tag: "middle press", rule: "press", button: Qt.MiddleButton, sent: 4 },
                { tag: "other buttons send nothing", rule: "press", button: Qt.BackButton, sent: 0 },
                { tag: "left double click", rule: "double", button: Qt.LeftButton, sent: [1, 0, 1, 0] },
                { tag: "right double click adds nothing", rule: "double", button: Qt.RightButton, sent: [] },
                { tag: "a hold held still is a right click", rule: "hold", moved: false, sent: [2, 0] },
                { tag: "a hold that moved is a drag", rule: "hold", moved: true, sent: [] }
            ]
        }
        function test_buttons(data) {
            var sent = data.rule === "press" ? Rules.pressButton(data.button)
                     : data.rule === "double" ? Rules.doubleClickButtons(data.button) : Rules.holdButtons(data.moved)
            compare(sent, data.sent)
        }

        function test_movedBeyond_data() {
            return [
                { tag: "still", d: [0, 0], moved: false },
                { tag: "2 across", d: [2, 0], moved: false },
                { tag: "2 both ways", d: [-2, 2], moved: false },
                { tag: "3 across", d: [3, 0], moved: true },
                { tag: "3 up", d: [0, -3], moved: true },
                { tag: "2.5 down", d: [0, 2.5], moved: true }
            ]
        }
        function test_movedBeyond(data) {
            compare(Rules.movedBeyond(10, 10, 10 + data.d[0], 10 + data.d[1]), data.moved)
        }

        function test_signalSettings_data() {
            return [
                { tag: "crop and input", msg: { kChn0_VI_X: "8", kChn0_VI_Y: "4", kChn0_VI_Width: "1280", kChn0_VI_Height: "720",
                                                kChn0_VI_Crop_Enable: "1", kChn0_VI_W: "3840", kChn0_VI_H: "2160" },
                  out: { pixCropX: 8, pixCropY: 4, pixCropWidth: 1280, pixCropHeight: 720, cropEnable: true, pixWidth: 3840, pixHeight: 2160 } },
                { tag: "crop off", msg: { kChn0_VI_Crop_Enable: "0" }, out: { cropEnable: false } },
                { tag: "overlay", msg: { kChn0_Osd_Name: "Hall 1", kChn0_Osd_X: "10", kChn0_Osd_Y: "20", kChn0_Osd_Size: "32", kChn0_Osd_Enable: "1" },
                  out: { osdText: "Hall 1", osdX: 10, osdY: 20, osdSize: 32, osdEnable: true } },
                { tag: "overlay off", msg: { kChn0_Osd_Enable: "0" }, out: { osdEnable: false } },
                { tag: "an unreadable input size keeps the default", msg: { kChn0_VI_W: "?" }, out: { pixWidth: 1920 } },
                { tag: "other keys are ignored", msg: { kChn1_VI_W: "640" }, out: {} }
            ]
        }
        function test_signalSettings(data) {
            compare(Rules.signalSettings(data.msg), data.out)
        }

        readonly property var rootRows: [{ name: "/:", id: "0", type: 0, pid: "0" }, { name: "Films", id: "7", type: 0, pid: "0" },
                                         { name: "a.mp4", id: "8", type: 1, pid: "0" }, { name: "b.doc", id: "9", type: 6, pid: "0" }]
        readonly property var subRows: [{ name: "Films:", id: "7", type: 0, pid: "0" }, { name: "c.mp4", id: "11", type: 5, pid: "7" }]
        function test_hostFileAction_data() {
            return [
                { tag: "a folder opens", rows: rootRows, row: 1, action: { folder: "7" } },
                { tag: "a file plays", rows: rootRows, row: 2, action: { open: rootRows[2] } },
                { tag: "the root's first row stays at the root", rows: rootRows, row: 0, action: { folder: "0" } },
                { tag: "a folder's first row goes up", rows: subRows, row: 0, action: { folder: "0" } },
                { tag: "type 5 plays", rows: subRows, row: 1, action: { open: subRows[1] } },
                { tag: "other types do nothing", rows: rootRows, row: 3, action: null },
                { tag: "no such row", rows: rootRows, row: 9, action: null }
            ]
        }
        function test_hostFileAction(data) {
            compare(Rules.hostFileAction(data.rows, data.row), data.action)
        }
        function test_cameraRules_data() {
            return [
                { tag: "camera", id: "10.0.0.44-IPC", camera: true, name: " Gate ", preset: "Gate" },
                { tag: "encoder input", id: "10.0.0.30-0", camera: false, name: "", preset: "" },
                { tag: "IPC inside", id: "10.0.0.44-IPC-0", camera: false, name: "x".repeat(33), preset: "" },
                { tag: "bare address", id: "10.0.0.44", camera: false, name: "x".repeat(32), preset: "x".repeat(32) }
            ]
        }
        function test_cameraRules(data) {
            compare(Rules.isCamera(data.id), data.camera)
            compare(Rules.presetName(data.name), data.preset)
        }
    }

    TestCase {
        name: "SignalDialog"
        when: windowShown

        readonly property string ip: "10.0.0.30-0"
        readonly property var allTools: ({ isEnableLogoSetting: true, isEnableSignalControl: true,
                                            isEnableSignalClipping: true, isEnableSignalMark: true })

        function findChildNamed(item, name) {
            if (item.objectName === name)
                return item
            for (var i = 0; i < item.children.length; ++i) {
                var found = findChildNamed(item.children[i], name)
                if (found)
                    return found
            }
            return null
        }
        function openDialog(switches, url2) {
            ImApi.signalList = [{ ip: ip, url: "udp://239.1.2.3:4000", url2: url2 === undefined ? "udp://239.1.2.3:5000" : url2, name: "Cam 30" }]
            dialog.open(ip, "10.0.0.99", switches || allTools)
            // Exactly open: while the box grows the picture is not yet on whole pixels.
            var box = findChildNamed(dialog, "signalDialogBox")
            tryVerify(function () { return box.height === 720 && dialog.opacity === 1 }, 2000, "the dialog opens")
        }
        function init() {
            ImApi.reset()
            ImApi.mode = 0
            dialog.view = "JPEG"
            dialog.markShape = "line"
            dialog.penSize = "4"
            dialog.penColor = "#ff0000"
        }
        // The next opening cuts the closing short.
        function cleanup() { dialog.close() }
        function mice() { return ImApi.named("serverKVMMouseEvent").map(function (a) { return [a[1], a[2], a[3]] }) }
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

        // The view switches: [view at opening, switches]; what the encoder and the live view hear.
        function test_viewSwitching_data() {
            var join = "join 239.1.2.3:5000"
            return [
                { tag: "JPEG, to H264, back to JPEG, close", start: "JPEG", to: ["H264", "JPEG"],
                  snaps: [1, 0, 1, 0], log: [join, "leave"] },
                { tag: "opened in H264 and closed", start: "H264", to: [], snaps: [], log: [join, "leave"] },
                { tag: "opened in H264, to JPEG, close", start: "H264", to: ["JPEG"], snaps: [1, 0], log: [join, "leave"] },
                { tag: "the same view again changes nothing", start: "JPEG", to: ["JPEG"], snaps: [1, 0], log: [] },
                { tag: "no sub-stream: the live view stays empty", start: "JPEG", to: ["H264", "JPEG"], url2: "",
                  snaps: [1, 0, 1, 0], log: [] }
            ]
        }
        function test_viewSwitching(data) {
            dialog.view = data.start
            var before = dialog.liveView.log.length // the view's log runs on from the earlier cases
            openDialog(allTools, data.url2)
            for (var i = 0; i < data.to.length; ++i)
                mouseClick(findChildNamed(dialog, "signalDialog" + data.to[i]))
            dialog.close()
            tryCompare(dialog, "visible", false)
            compare(snaps().map(function (a) { return a[1] }), data.snaps)
            compare(dialog.liveView.log.slice(before), data.log)
        }

        function test_modeOneOpensWithControl_data() {
            return [
                { tag: "mode 1", mode: 1, switches: allTools, tool: "kvm" },
                { tag: "mode 0", mode: 0, switches: allTools, tool: "" },
                { tag: "mode 1 where the list offers no control", mode: 1, switches: { isEnableSignalMark: true }, tool: "" }
            ]
        }
        function test_modeOneOpensWithControl(data) {
            ImApi.mode = data.mode
            openDialog(data.switches)
            compare(dialog.tool, data.tool)
            compare(findChildNamed(dialog, "signalDialogKvm").visible, !!data.switches.isEnableSignalControl)
            compare(findChildNamed(dialog, "signalDialogMark").visible, true)
            compare(findChildNamed(dialog, "signalDialogCrop").visible, !!data.switches.isEnableSignalClipping)
            compare(findChildNamed(dialog, "signalDialogOsd").visible, !!data.switches.isEnableLogoSetting)
        }

        // Pointer actions in picture units ({p: press, m: move, r: release}, with a button).
        // A camera moves and zooms while a button is held and stores or calls named presets;
        // other signals have no camera tool.
        function test_cameraTool() {
            openDialog()
            compare(findChildNamed(dialog, "signalDialogCamera").visible, false)
            dialog.close()
            tryVerify(function () { return !dialog.visible }, 2000)
            var camera = "10.0.0.44-IPC"
            ImApi.signalList = [{ ip: camera, url: "rtsp://10.0.0.44/1", url2: "rtsp://10.0.0.44/2", name: "Dock camera" }]
            dialog.open(camera, "", allTools)
            tryVerify(function () { return dialog.opacity === 1 }, 2000, "the dialog opens")
            mouseClick(findChildNamed(dialog, "signalDialogCamera"))
            compare(dialog.tool, "camera")
            var up = findChildNamed(dialog, "signalDialogCameraUp")
            mousePress(up)
            compare(ImApi.named("controlIPCMove"), [[camera, 1]])
            mouseRelease(up)
            compare(ImApi.named("controlIPCMove"), [[camera, 1], [camera, 0]])
            mouseClick(findChildNamed(dialog, "signalDialogCameraZoomout"))
            compare(ImApi.named("controlIPCZoom"), [[camera, 2], [camera, 0]])
            mouseClick(findChildNamed(dialog, "signalDialogPresetSave"))
            compare(ImApi.named("controlIPCPresets"), [])
            verify(dialog.warning !== "")
            findChildNamed(dialog, "signalDialogPresetName").text = "Gate"
            mouseClick(findChildNamed(dialog, "signalDialogPresetSave"))
            mouseClick(findChildNamed(dialog, "signalDialogPresetCall"))
            compare(ImApi.named("controlIPCPresets"), [[camera, "Gate", 1], [camera, "Gate", 0]])
        }

        function test_kvmPointer_data() {
            return [
                { tag: "a tap: one press and one release", crop: false, acts: [["p", 100, 50], ["r", 100, 50]],
                  sent: [[1, 200, 100], [0, 200, 100]] },
                { tag: "with crop the top-left corner is the crop origin", crop: true, acts: [["p", 0, 0], ["r", 0, 0]],
                  sent: [[1, 100, 50], [0, 100, 50]] },
                { tag: "moves of 2 send nothing", crop: false, acts: [["p", 100, 50], ["m", 102, 52], ["r", 102, 52]],
                  sent: [[1, 200, 100], [0, 204, 104]] },
                { tag: "a move of 3 drags with button 1", crop: false, acts: [["p", 100, 50], ["m", 103, 50], ["m", 104, 50], ["r", 104, 50]],
                  sent: [[1, 200, 100], [1, 206, 100], [0, 208, 100]] },
                { tag: "the right button", crop: false, acts: [["p", 100, 50, Qt.RightButton], ["r", 100, 50, Qt.RightButton]],
                  sent: [[2, 200, 100], [0, 200, 100]] },
                { tag: "the middle button", crop: false, acts: [["p", 480, 270, Qt.MiddleButton], ["r", 480, 270, Qt.MiddleButton]],
                  sent: [[4, 960, 540], [0, 960, 540]] },
                { tag: "without control nothing", crop: false, off: true, acts: [["p", 100, 50], ["r", 100, 50]], sent: [] }
            ]
        }
        function test_kvmPointer(data) {
            openDialog()
            if (data.crop)
                dialog.showSignalMsg({ kChn0_VI_Crop_Enable: "1", kChn0_VI_X: "100", kChn0_VI_Y: "50", kChn0_VI_Width: "800", kChn0_VI_Height: "450" })
            if (!data.off)
                dialog.setTool("kvm")
            compare(dialog.picture.width, 960) // 800x450 has the input's aspect
            for (var i = 0; i < data.acts.length; ++i) {
                var a = data.acts[i], button = a[3] || Qt.LeftButton
                if (a[0] === "p")
                    mousePress(dialog.picture, a[1], a[2], button)
                else if (a[0] === "m")
                    mouseMove(dialog.picture, a[1], a[2], -1, button)
                else
                    mouseRelease(dialog.picture, a[1], a[2], button)
            }
            compare(mice(), data.sent)
            verify(ImApi.named("serverKVMMouseEvent").every(function (c) { return c[0] === ip && c[4] === 0 }))
        }

        function test_kvmDoubleClick() {
            openDialog()
            dialog.setTool("kvm")
            mouseDoubleClickSequence(dialog.picture, 100, 50)
            var buttons = mice().map(function (m) { return m[0] })
            // Each click's own press and release, and the double click's 1, 0, 1, 0 between.
            compare(buttons, [1, 0, 1, 1, 0, 1, 0, 0])
        }

        function test_kvmHoldIsARightClick() {
            openDialog()
            dialog.setTool("kvm")
            mousePress(dialog.picture, 100, 50)
            compare(mice(), [[1, 200, 100]])
            tryVerify(function () { return ImApi.named("serverKVMMouseEvent").length === 3 }, 5000, "the hold's right click")
            mouseRelease(dialog.picture, 100, 50)
            compare(mice(), [[1, 200, 100], [2, 200, 100], [0, 200, 100], [0, 200, 100]])
        }

        function test_kvmKeys_data() {
            return [
                { tag: "control on", tool: "kvm", sent: true },
                { tag: "control off: kept, not sent", tool: "", sent: false }
            ]
        }
        function test_kvmKeys(data) {
            openDialog()
            dialog.setTool(data.tool)
            mouseClick(dialog.picture, 10, 10) // the picture takes the keys back from any field
            ImApi.reset()
            keyPress(Qt.Key_A, Qt.ShiftModifier)
            keyRelease(Qt.Key_A, Qt.ShiftModifier)
            // Shift goes first, as a key of its own.
            compare(ImApi.named("serverKVMKeyEvent"), data.sent ? [[ip, Qt.Key_Shift, Qt.ShiftModifier], [ip, Qt.Key_A, Qt.ShiftModifier]] : [])
            compare(ImApi.named("serverKVMKeyReleasedEvent"), data.sent ? [[ip], [ip]] : [])
        }

        function test_markLine() {
            openDialog()
            mouseClick(findChildNamed(dialog, "signalDialogMark"))
            compare(ImApi.named("serverInLabelStartEvent"), [[ip]])
            dialog.penSize = "10"
            dialog.penColor = "#0000ff"
            mousePress(dialog.picture, 96, 54)
            mouseMove(dialog.picture, 97, 55)
            mouseMove(dialog.picture, 120, 54)
            mouseRelease(dialog.picture, 120, 54)
            compare(ImApi.named("serverInLabelStartPtEvent"), [[ip, 192, 108, 10, "#0000ff"]])
            compare(ImApi.named("serverInLabelToPtEvent"), [[ip, 240, 108]])
            compare(ImApi.named("serverInLabelRectEvent"), [])
            compare(ImApi.named("serverKVMMouseEvent"), [])
            mouseClick(findChildNamed(dialog, "signalDialogClear"))
            compare(ImApi.named("serverInLabelClearEvent"), [[ip]])
            mouseClick(findChildNamed(dialog, "signalDialogMark")) // off again
            compare(ImApi.named("serverInLabelEndEvent"), [[ip]])
        }

        function test_markRectangle() {
            openDialog()
            dialog.setTool("mark")
            mouseClick(findChildNamed(dialog, "signalDialogRect"))
            mousePress(dialog.picture, 480, 270)
            mouseMove(dialog.picture, 300, 200)
            mouseMove(dialog.picture, 96, 54)
            mouseRelease(dialog.picture, 96, 54)
            compare(ImApi.named("serverInLabelStartPtEvent"), [[ip, 960, 540, 4, "#ff0000"]])
            compare(ImApi.named("serverInLabelToPtEvent"), [])
            compare(ImApi.named("serverInLabelRectEvent"), [[ip, 192, 108, 768, 432]])
            dialog.close() // closing with marking on ends it
            compare(ImApi.named("serverInLabelEndEvent"), [[ip]])
        }

        function test_cropDragFillsTheFieldsAndApplies() {
            openDialog()
            dialog.setTool("crop")
            mousePress(dialog.picture, 96, 54)
            mouseMove(dialog.picture, 300, 200)
            mouseMove(dialog.picture, 576, 324)
            mouseRelease(dialog.picture, 576, 324)
            compare([dialog.cropFieldX, dialog.cropFieldY, dialog.cropFieldWidth, dialog.cropFieldHeight], ["192", "108", "960", "540"])
            compare(ImApi.named("serverKVMMouseEvent"), [])
            mouseClick(dialog.picture, 700, 400) // a click is no crop
            compare([dialog.cropFieldX, dialog.cropFieldY, dialog.cropFieldWidth, dialog.cropFieldHeight], ["192", "108", "960", "540"])
            mouseClick(findChildNamed(dialog, "signalDialogApply"))
            compare(ImApi.named("serverCropSignal"), [[ip, 192, 108, 960, 540]])
        }

        function test_cropWarnings_data() {
            return [
                { tag: "odd width", f: ["0", "0", "1279", "720"], warning: "Width and high must be an even number!" },
                { tag: "beyond a 1280x720 input", f: ["2", "0", "1280", "720"], warning: "Parameter exceeds the maximum range!" },
                { tag: "fits", f: ["0", "0", "1280", "720"], warning: "" }
            ]
        }
        function test_cropWarnings(data) {
            openDialog()
            dialog.showSignalMsg({ kChn0_VI_W: "1280", kChn0_VI_H: "720" })
            dialog.setTool("crop")
            dialog.cropFieldX = data.f[0]
            dialog.cropFieldY = data.f[1]
            dialog.cropFieldWidth = data.f[2]
            dialog.cropFieldHeight = data.f[3]
            mouseClick(findChildNamed(dialog, "signalDialogApply"))
            if (data.warning === "") {
                compare(ImApi.named("serverCropSignal"), [[ip, 0, 0, 1280, 720]])
            } else {
                compare(ImApi.named("serverCropSignal"), [])
                compare(dialog.warning, data.warning)
            }
        }

        function test_restoreSendsTheWholeInput() {
            openDialog()
            dialog.showSignalMsg({ kChn0_VI_W: "3840", kChn0_VI_H: "2160" })
            dialog.setTool("crop")
            mouseClick(findChildNamed(dialog, "signalDialogRestore"))
            compare(ImApi.named("serverCropSignal"), [[ip, 0, 0, 3840, 2160]])
        }

        function test_reportShapesThePictureAndFillsTheFields() {
            openDialog()
            dialog.showSignalMsg({ kChn0_VI_X: "240", kChn0_VI_Y: "0", kChn0_VI_Width: "1440", kChn0_VI_Height: "1080",
                                   kChn0_VI_Crop_Enable: "1", kChn0_VI_W: "1920", kChn0_VI_H: "1080",
                                   kChn0_Osd_Name: "Hall", kChn0_Osd_X: "10", kChn0_Osd_Y: "20", kChn0_Osd_Size: "32", kChn0_Osd_Enable: "1" })
            // A 4:3 crop: the picture narrows to 4:3 and stays centred.
            var p = dialog.picture
            verify(Math.abs(p.width / p.height - 4 / 3) < 0.01, p.width + "x" + p.height)
            verify(p.width < 960)
            verify(Math.abs(2 * p.x + p.width - p.parent.width) <= 1, "centred: " + p.x)
            compare([dialog.cropFieldX, dialog.cropFieldY, dialog.cropFieldWidth, dialog.cropFieldHeight], ["240", "0", "1440", "1080"])
            compare([dialog.osdText, dialog.osdX, dialog.osdY, dialog.osdSize, dialog.osdEnable], ["Hall", "10", "20", "32", true])
            dialog.showSignalMsg({ kChn0_VI_Crop_Enable: "0" })
            compare([p.x, p.width, p.height], [0, 960, 540])
        }

        function test_overlay() {
            openDialog()
            dialog.setTool("osd")
            dialog.osdText = "Hall 2"
            dialog.osdX = "16"
            dialog.osdY = "24"
            dialog.osdSize = "40"
            dialog.osdEnable = true
            mouseClick(findChildNamed(dialog, "signalDialogOsdOk"))
            compare(ImApi.named("ServerSetInNodeOSD"), [[{ ip: ip, enable: 1, str: "Hall 2", font_col: "#ffffff", x: 16, y: 24, font_size: 40 }]])
        }

        function test_favourite_data() {
            return [
                { tag: "starred", on: true, starred: [ip], shown: true, star: true, toggled: [[ip, false]] },
                { tag: "not starred", on: true, starred: [], shown: true, star: false, toggled: [[ip, true]] },
                { tag: "no favourites in the project", on: false, starred: [ip], shown: false, star: false, toggled: [] }
            ]
        }
        function test_favourite(data) {
            ImApi.favouritesOn = data.on
            ImApi.starred = data.starred
            openDialog()
            var star = findChildNamed(dialog, "signalDialogStar")
            compare(star.visible, data.shown)
            compare(dialog.starred, data.star)
            if (star.visible)
                mouseClick(star)
            compare(ImApi.named("setSignalStar"), data.toggled)
        }

        function test_hostFiles() {
            ImApi.hostFiles = {
                "0": [{ name: "/:", id: "0", type: 0, pid: "0" }, { name: "Films", id: "7", type: 0, pid: "0" }],
                "7": [{ name: "Films:", id: "7", type: 0, pid: "0" }, { name: "c.mp4", id: "11", type: 1, pid: "7" }]
            }
            openDialog()
            mouseClick(findChildNamed(dialog, "signalDialogFiles"))
            compare(dialog.fileRows.length, 2)
            dialog.fileClicked(1)
            compare(dialog.fileRows[1].name, "c.mp4")
            dialog.fileClicked(0) // up again
            dialog.fileClicked(1)
            compare(ImApi.named("serverQueryHostFileInfo"), [[ip, "0"], [ip, "7"], [ip, "0"], [ip, "7"]])
            dialog.fileClicked(1)
            compare(ImApi.named("serverControlHostFile"), [[1, "11", "open", "10.0.0.99"]])
            var commands = Rules.hostFileCommands
            for (var i = 0; i < commands.length; ++i)
                mouseClick(findChildNamed(dialog, "signalDialogFile_" + commands[i]))
            compare(ImApi.named("serverControlHostFile").map(function (a) { return a[2] }),
                    ["open", "play", "pause", "forward", "back", "vol+", "vol-", "mute", "previous", "next"])
            verify(ImApi.named("serverControlHostFile").every(function (a) { return a[0] === 1 && a[1] === "11" && a[3] === "10.0.0.99" }))
        }

        function test_filesHiddenWithoutAHost() {
            ImApi.signalList = [{ ip: ip, url2: "" }]
            dialog.open(ip, "", allTools)
            compare(findChildNamed(dialog, "signalDialogFiles").visible, false)
        }
    }
}
