import QtQuick 2.15
import QtQuick.Controls 2.15
import Custom.VX.ffmpeg 1.0
import "../js/SignalDialogRules.js" as Rules
import "../js/LayoutLog.js" as LayoutLog

// One encoder signal, live or as snapshots, with the tools the opening list allows: KVM
// control of the source computer through the picture, marks drawn onto the signal, the
// encoder's input crop and text overlay, the favourite star, and the files of the signal's
// host with their playback. Opened by the page host with open(); the controller's report on
// the encoder arrives through showSignalMsg().
FocusScope {
    id: root
    property real multiplierW: 1
    property real multiplierH: 1
    property string fontFamily: ""
    property var translate: function (text) { return text }

    property string ip: ""
    property string hostIp: ""
    property int mode: 0
    // The encoder's input and crop rectangle, in its pixels, until its report says otherwise.
    property int pixWidth: Rules.kDefaultWidth
    property int pixHeight: Rules.kDefaultHeight
    property bool cropEnable: false
    property int pixCropX: 0
    property int pixCropY: 0
    property int pixCropWidth: 0
    property int pixCropHeight: 0
    // What the opening list lets the operator do; each hides its tool.
    property bool isEnableLogoSetting: false
    property bool isEnablesignalControl: false
    property bool isEnablesignalclipping: false
    property bool isEnablesignalMark: false

    // "H264": the live sub-stream; "JPEG": snapshots. Kept from one opening to the next.
    property string view: "JPEG"
    // The tool in use: "" (look only), "kvm", "mark", "crop", "osd", "camera" or "files".
    property string tool: ""
    property var stream: ({ group: "", port: 0 })
    property bool joined: false
    property bool starShown: false
    property bool starred: false
    // Marking: "line" or "rect", the pen size (one of Rules.penSizes) and its colour.
    property string markShape: "line"
    property string penSize: Rules.penSizes[0]
    property string penColor: "#ff0000"
    // Host files: the rows of the folder shown, and the file opened for playback (or null).
    property var fileRows: []
    property var openedFile: null

    property alias picture: pictureItem
    property alias liveView: live
    property alias warning: warningBox.text
    property alias cropFieldX: cropX.text
    property alias cropFieldY: cropY.text
    property alias cropFieldWidth: cropW.text
    property alias cropFieldHeight: cropH.text
    property alias osdText: osdTextField.text
    property alias osdX: osdXField.text
    property alias osdY: osdYField.text
    property alias osdSize: osdSizeField.text
    property alias osdEnable: osdEnableBox.checked
    property string osdColor: "#ffffff"

    readonly property var colours: ["#ff0000", "#ffff00", "#00ff00", "#00ffff", "#0000ff", "#ffffff", "#000000"]

    anchors.fill: parent
    visible: false
    opacity: 0
    z: 40

    function tr(text) { return root.translate(text) }
    function source() {
        return { pixWidth: pixWidth, pixHeight: pixHeight, cropEnable: cropEnable, pixCropX: pixCropX,
                 pixCropY: pixCropY, pixCropWidth: pixCropWidth, pixCropHeight: pixCropHeight }
    }

    // ---- Opening and closing ----

    // `switches` are the opening list's (isEnableSignalControl and so on).
    function open(address, host, switches) {
        if (visible && !closing.running)
            leave()
        var s = switches || {}
        ip = address
        hostIp = host || ""
        isEnableLogoSetting = !!s.isEnableLogoSetting
        isEnablesignalControl = !!s.isEnableSignalControl
        isEnablesignalclipping = !!s.isEnableSignalClipping
        isEnablesignalMark = !!s.isEnableSignalMark
        mode = ImApi.mode
        pixWidth = Rules.kDefaultWidth
        pixHeight = Rules.kDefaultHeight
        cropEnable = false
        pixCropX = pixCropY = pixCropWidth = pixCropHeight = 0
        fileRows = []
        openedFile = null
        gesture.active = false
        // The fields show this signal's values once its report arrives.
        var fields = [cropX, cropY, cropW, cropH, osdTextField, osdXField, osdYField, osdSizeField, presetField]
        for (var i = 0; i < fields.length; ++i)
            fields[i].text = ""
        osdEnableBox.checked = false
        // KVM control only where the list offers it: the operator must be able to turn it off.
        tool = mode === 1 && isEnablesignalControl ? "kvm" : ""
        starShown = ImApi.hasStar()
        starred = starShown && ImApi.isStar(ip)
        ImApi.serverGetHostFileInfo(ip)
        stream = Rules.splitStreamUrl(ImApi.getSignalUrl2(ip))
        closing.stop()
        visible = true
        keySink.forceActiveFocus()
        if (view === "H264")
            joinLive()
        else
            snapshotSize(1)
        opening.restart()
    }
    function close() {
        if (!visible || closing.running)
            return
        leave()
        opening.stop()
        closing.restart()
    }
    // What this signal was given while it was shown is handed back.
    function leave() {
        if (tool === "mark")
            ImApi.serverInLabelEndEvent(ip)
        tool = ""
        if (view === "H264")
            leaveLive()
        else
            snapshotSize(0)
    }

    // ---- Views ----

    function setView(v) {
        if (v === view || (v !== "H264" && v !== "JPEG"))
            return
        view = v
        if (!visible)
            return
        if (v === "H264") {
            joinLive()
            snapshotSize(0)
        } else {
            snapshotSize(1)
            leaveLive()
        }
    }
    function joinLive() {
        if (joined || stream.group === "" || stream.port <= 0)
            return
        live.mMulticast = stream.group
        live.mPort = stream.port
        live.encoder = String(ip).split("-")[0] // the signal's encoder, asked for a keyframe
        live.joinMulticast()
        joined = true
    }
    function leaveLive() {
        if (!joined)
            return
        live.leaveMulticast()
        joined = false
    }
    // The encoder sends large snapshots only while somebody looks at them closely.
    function snapshotSize(large) {
        ImApi.serverSetSignalSnapDip(ip, large)
    }

    // ---- The encoder's report ----

    function showSignalMsg(map) {
        if (!visible || !map)
            return
        var s = Rules.signalSettings(map)
        var keys = ["pixCropX", "pixCropY", "pixCropWidth", "pixCropHeight", "pixWidth", "pixHeight", "cropEnable"]
        for (var i = 0; i < keys.length; ++i) {
            if (s[keys[i]] !== undefined)
                root[keys[i]] = s[keys[i]]
        }
        if (s.pixCropX !== undefined) cropX.text = String(s.pixCropX)
        if (s.pixCropY !== undefined) cropY.text = String(s.pixCropY)
        if (s.pixCropWidth !== undefined) cropW.text = String(s.pixCropWidth)
        if (s.pixCropHeight !== undefined) cropH.text = String(s.pixCropHeight)
        if (s.osdText !== undefined) osdTextField.text = s.osdText
        if (s.osdX !== undefined) osdXField.text = String(s.osdX)
        if (s.osdY !== undefined) osdYField.text = String(s.osdY)
        if (s.osdSize !== undefined) osdSizeField.text = String(s.osdSize)
        if (s.osdEnable !== undefined) osdEnableBox.checked = s.osdEnable
    }

    // ---- Tools ----

    function setTool(t) {
        var next = t === tool ? "" : t
        if (tool === "mark")
            ImApi.serverInLabelEndEvent(ip)
        gesture.active = false
        openedFile = null
        tool = next
        if (next === "mark")
            ImApi.serverInLabelStartEvent(ip)
        else if (next === "files")
            listFiles("0")
        keySink.forceActiveFocus()
        Qt.callLater(logLayout)
    }
    // Where the controls are (the end-to-end checks click there).
    function logLayout() { console.log("signal dialog layout:", LayoutLog.line(box, "signalDialog")) }
    function clearMarks() { ImApi.serverInLabelClearEvent(ip) }
    function cameraPreset(save) {
        var name = Rules.presetName(presetField.text)
        if (name === "") {
            warn("Give the preset a name.")
            return false
        }
        ImApi.controlIPCPresets(ip, name, save)
        return true
    }
    function warn(message) { warningBox.flash(tr(message)) }
    // "Apply": the crop fields go to the encoder once they pass the checks.
    function applyCrop() {
        var w = Rules.cropWarning(cropX.text, cropY.text, cropW.text, cropH.text, pixWidth, pixHeight)
        if (w !== "") {
            warn(w)
            return false
        }
        ImApi.serverCropSignal(ip, parseInt(cropX.text, 10), parseInt(cropY.text, 10), parseInt(cropW.text, 10),
                               parseInt(cropH.text, 10))
        return true
    }
    function restoreCrop() { ImApi.serverCropSignal(ip, 0, 0, pixWidth, pixHeight) }
    function applyOverlay() {
        function num(text) { var n = parseInt(text, 10); return isNaN(n) ? 0 : n }
        ImApi.ServerSetInNodeOSD({ ip: ip, enable: osdEnableBox.checked ? 1 : 0, str: osdTextField.text,
                                   font_col: osdColor, x: num(osdXField.text), y: num(osdYField.text),
                                   font_size: num(osdSizeField.text) })
    }
    function setStar(on) {
        starred = on
        ImApi.setSignalStar(ip, on)
    }
    function listFiles(pid) {
        openedFile = null
        fileRows = ImApi.serverQueryHostFileInfo(ip, pid) || []
    }
    function fileClicked(index) {
        var a = Rules.hostFileAction(fileRows, index)
        if (!a)
            return
        if (a.folder !== undefined) {
            listFiles(a.folder)
        } else {
            openedFile = a.open
            controlFile("open")
        }
    }
    function controlFile(cmd) {
        if (openedFile)
            ImApi.serverControlHostFile(Number(openedFile.type), String(openedFile.id), cmd, hostIp)
    }

    // ---- Pointer and keys on the picture ----

    QtObject {
        id: gesture
        property bool active: false
        property real pressX: 0
        property real pressY: 0
        property real lastX: 0
        property real lastY: 0
        property bool moved: false
        property real x: 0
        property real y: 0
    }
    function kvm(button, x, y) {
        var p = Rules.sourcePoint(x, y, pictureItem.width, pictureItem.height, source())
        ImApi.serverKVMMouseEvent(ip, button, p.x, p.y, 0)
    }
    function markStart(x, y) {
        var p = Rules.markPoint(x, y, pictureItem.width, pictureItem.height)
        ImApi.serverInLabelStartPtEvent(ip, p.x, p.y, parseInt(penSize, 10), penColor)
    }
    function pointerPressed(button, x, y) {
        var code = Rules.pressButton(button)
        if (code === 0 || (tool !== "kvm" && code !== 1))
            return
        gesture.active = true
        gesture.pressX = gesture.lastX = gesture.x = x
        gesture.pressY = gesture.lastY = gesture.y = y
        gesture.moved = false
        if (tool === "kvm")
            kvm(code, x, y)
        else if (tool === "mark")
            markStart(x, y)
    }
    function pointerMoved(x, y) {
        if (!gesture.active)
            return
        gesture.x = x
        gesture.y = y
        if (tool === "crop") {
            // A click is no crop: the fields keep their values.
            if (!Rules.movedBeyond(gesture.pressX, gesture.pressY, x, y))
                return
            var r = Rules.cropDragRect(gesture.pressX, gesture.pressY, x, y, pictureItem.width, pictureItem.height)
            var f = Rules.cropFields(r, pictureItem.width, pictureItem.height, pixWidth, pixHeight)
            cropX.text = String(f.x)
            cropY.text = String(f.y)
            cropW.text = String(f.w)
            cropH.text = String(f.h)
            return
        }
        if (!Rules.movedBeyond(gesture.lastX, gesture.lastY, x, y))
            return
        gesture.moved = true
        gesture.lastX = x
        gesture.lastY = y
        if (tool === "kvm") {
            kvm(Rules.moveButton, x, y)
        } else if (tool === "mark" && markShape === "line") {
            var p = Rules.markPoint(x, y, pictureItem.width, pictureItem.height)
            ImApi.serverInLabelToPtEvent(ip, p.x, p.y)
        }
    }
    function pointerReleased(x, y) {
        if (!gesture.active)
            return
        pointerMoved(x, y)
        gesture.active = false
        if (tool === "kvm") {
            kvm(Rules.releaseButton, x, y)
        } else if (tool === "mark" && markShape === "rect") {
            var r = Rules.markRect(gesture.pressX, gesture.pressY, x, y, pictureItem.width, pictureItem.height)
            ImApi.serverInLabelRectEvent(ip, r.x, r.y, r.w, r.h)
        }
    }
    function pointerDoubleClicked(button, x, y) {
        if (tool === "kvm")
            Rules.doubleClickButtons(button).forEach(function (b) { kvm(b, x, y) })
    }
    function pointerHeld() {
        if (tool === "kvm" && gesture.active)
            Rules.holdButtons(gesture.moved).forEach(function (b) { kvm(b, gesture.x, gesture.y) })
    }

    // Keys are the seat's while KVM control is on. The dialog keeps every key, the fields'
    // leftovers too: none reaches the pages behind it.
    Item {
        id: keySink
        focus: true
        Keys.onPressed: {
            if (root.tool === "kvm")
                ImApi.serverKVMKeyEvent(root.ip, event.key, event.modifiers)
            event.accepted = true
        }
        Keys.onReleased: {
            if (root.tool === "kvm")
                ImApi.serverKVMKeyReleasedEvent(root.ip)
            event.accepted = true
        }
    }
    Keys.onPressed: event.accepted = true
    Keys.onReleased: event.accepted = true

    // ---- Look ----

    ParallelAnimation {
        id: opening
        NumberAnimation { target: box; property: "height"; from: 0; to: root.fullHeight; duration: 300; easing.type: Easing.OutCubic }
        NumberAnimation { target: root; property: "opacity"; from: 0; to: 1; duration: 300; easing.type: Easing.OutCubic }
        onFinished: root.logLayout()
    }
    SequentialAnimation {
        id: closing
        ParallelAnimation {
            NumberAnimation { target: box; property: "height"; to: 0; duration: 300; easing.type: Easing.OutCubic }
            NumberAnimation { target: root; property: "opacity"; to: 0; duration: 300; easing.type: Easing.OutCubic }
        }
        ScriptAction { script: root.visible = false }
    }
    readonly property real fullHeight: 720 * multiplierH

    // Nothing behind the dialog takes the pointer while it is open.
    MouseArea { anchors.fill: parent; acceptedButtons: Qt.AllButtons; onWheel: wheel.accepted = true }
    Rectangle { anchors.fill: parent; color: "#80000000" }

    // Buttons never take the focus: keys typed at the picture belong to the seat.
    component DialogButton: Button { focusPolicy: Qt.NoFocus }
    component Field: TextField { width: parent.width; selectByMouse: true }
    component Caption: Text { color: "#dbe4ee"; font.pixelSize: 15 }

    Rectangle {
        id: box
        objectName: "signalDialogBox"
        anchors.centerIn: parent
        width: Math.min(root.width, 1280 * root.multiplierW)
        height: 0
        clip: true
        radius: 6
        color: "#182c42"
        border.color: "#3d6185"

        Row {
            id: header
            x: 12
            y: 8
            height: 40
            spacing: 8
            Text {
                anchors.verticalCenter: parent.verticalCenter
                width: Math.max(120, box.width - tools.width - 60)
                text: ImApi.getSignalName(root.ip) + "  " + root.ip
                color: "white"; font.family: root.fontFamily; font.pixelSize: 18; font.bold: true
                elide: Text.ElideRight
            }
        }
        Row {
            id: tools
            anchors.right: parent.right
            anchors.rightMargin: 12
            y: 8
            height: 40
            spacing: 6
            DialogButton { objectName: "signalDialogH264"; text: "H264"; highlighted: root.view === "H264"; onClicked: root.setView("H264") }
            DialogButton { objectName: "signalDialogJPEG"; text: "JPEG"; highlighted: root.view === "JPEG"; onClicked: root.setView("JPEG") }
            DialogButton { objectName: "signalDialogKvm"; highlighted: root.tool === "kvm"; onClicked: root.setTool("kvm"); text: root.tr("Control"); visible: root.isEnablesignalControl }
            DialogButton { objectName: "signalDialogMark"; highlighted: root.tool === "mark"; onClicked: root.setTool("mark"); text: root.tr("Mark"); visible: root.isEnablesignalMark }
            DialogButton { objectName: "signalDialogCrop"; highlighted: root.tool === "crop"; onClicked: root.setTool("crop"); text: root.tr("Crop"); visible: root.isEnablesignalclipping }
            DialogButton { objectName: "signalDialogOsd"; highlighted: root.tool === "osd"; onClicked: root.setTool("osd"); text: root.tr("OSD"); visible: root.isEnableLogoSetting }
            DialogButton { objectName: "signalDialogCamera"; highlighted: root.tool === "camera"; onClicked: root.setTool("camera"); text: root.tr("Camera"); visible: Rules.isCamera(root.ip) }
            DialogButton { objectName: "signalDialogFiles"; highlighted: root.tool === "files"; onClicked: root.setTool("files"); text: root.tr("Files"); visible: root.hostIp !== "" }
            DialogButton {
                objectName: "signalDialogStar"
                text: root.starred ? "★" : "☆"
                visible: root.starShown
                highlighted: root.starred
                onClicked: root.setStar(!root.starred)
            }
            DialogButton { objectName: "signalDialogClose"; text: "✕"; onClicked: root.close() }
        }

        // The picture keeps the aspect of what the encoder sends, centred in its area.
        Item {
            id: pictureArea
            x: 12
            y: header.y + header.height + 8
            width: box.width - side.width - 36
            height: Math.max(0, root.fullHeight - y - 12)
            readonly property var shown: Rules.shownSource(root.source())
            readonly property var fit: Rules.fitRect(width, height, shown.width, shown.height)
            Rectangle { anchors.fill: parent; color: "black" }
            Item {
                id: pictureItem
                objectName: "signalDialogPicture"
                x: Math.round(pictureArea.fit.x)
                y: Math.round(pictureArea.fit.y)
                width: Math.floor(pictureArea.fit.width)
                height: Math.floor(pictureArea.fit.height)
                XImageView {
                    id: live
                    anchors.fill: parent
                    visible: root.view === "H264"
                }
                SnapshotImage {
                    anchors.fill: parent
                    visible: root.view === "JPEG"
                    ip: root.visible && root.view === "JPEG" ? root.ip : ""
                }
                Rectangle {
                    // The frame being drawn: a mark frame in the pen colour, or the crop.
                    readonly property bool drawing: gesture.active && (root.tool === "crop" || (root.tool === "mark" && root.markShape === "rect"))
                    readonly property var span: Rules.cropDragRect(gesture.pressX, gesture.pressY, gesture.x, gesture.y, pictureItem.width, pictureItem.height)
                    visible: drawing
                    x: span.x; y: span.y; width: span.width; height: span.height
                    color: "transparent"
                    border.width: 2
                    border.color: root.tool === "mark" ? root.penColor : "#ffd24a"
                }
                MouseArea {
                    anchors.fill: parent
                    enabled: root.tool === "kvm" || root.tool === "mark" || root.tool === "crop"
                    acceptedButtons: Qt.LeftButton | Qt.RightButton | Qt.MiddleButton
                    preventStealing: true
                    cursorShape: Qt.CrossCursor
                    onPressed: { keySink.forceActiveFocus(); root.pointerPressed(mouse.button, mouse.x, mouse.y) }
                    onPositionChanged: root.pointerMoved(mouse.x, mouse.y)
                    onReleased: root.pointerReleased(mouse.x, mouse.y)
                    onDoubleClicked: root.pointerDoubleClicked(mouse.button, mouse.x, mouse.y)
                    onPressAndHold: root.pointerHeld()
                    onCanceled: gesture.active = false
                }
            }
        }

        // The tool's settings beside the picture.
        Item {
            id: side
            anchors.right: parent.right
            anchors.rightMargin: 12
            y: pictureArea.y
            width: 300
            height: pictureArea.height

            Column {
                id: markPanel
                width: parent.width
                spacing: 10
                visible: root.tool === "mark"
                Caption { font.family: root.fontFamily; text: root.tr("Shape") }
                Row {
                    spacing: 8
                    DialogButton { objectName: "signalDialogLine"; text: root.tr("Line"); highlighted: root.markShape === "line"; onClicked: root.markShape = "line" }
                    DialogButton { objectName: "signalDialogRect"; text: root.tr("Rectangle"); highlighted: root.markShape === "rect"; onClicked: root.markShape = "rect" }
                }
                Caption { font.family: root.fontFamily; text: root.tr("Pen size") }
                ComboBox {
                    objectName: "signalDialogPenSize"
                    width: parent.width
                    focusPolicy: Qt.NoFocus
                    model: Rules.penSizes
                    currentIndex: Rules.penSizes.indexOf(root.penSize)
                    onActivated: root.penSize = Rules.penSizes[index]
                }
                Caption { font.family: root.fontFamily; text: root.tr("Colour") }
                Flow {
                    width: parent.width
                    spacing: 6
                    Repeater {
                        model: root.colours
                        Rectangle {
                            width: 32; height: 32; radius: 4
                            color: modelData
                            border.width: root.penColor === modelData ? 3 : 1
                            border.color: root.penColor === modelData ? "#2f7fc1" : "#3d6185"
                            MouseArea { anchors.fill: parent; onClicked: root.penColor = modelData }
                        }
                    }
                }
                DialogButton { objectName: "signalDialogClear"; text: root.tr("Clear"); onClicked: root.clearMarks() }
            }

            Column {
                id: cropPanel
                width: parent.width
                spacing: 8
                visible: root.tool === "crop"
                Caption { font.family: root.fontFamily; text: "X" }
                Field { id: cropX; objectName: "signalDialogCropX"; validator: IntValidator { bottom: 0 } }
                Caption { font.family: root.fontFamily; text: "Y" }
                Field { id: cropY; objectName: "signalDialogCropY"; validator: IntValidator { bottom: 0 } }
                Caption { font.family: root.fontFamily; text: root.tr("Width") }
                Field { id: cropW; objectName: "signalDialogCropWidth"; validator: IntValidator { bottom: 0 } }
                Caption { font.family: root.fontFamily; text: root.tr("Height") }
                Field { id: cropH; objectName: "signalDialogCropHeight"; validator: IntValidator { bottom: 0 } }
                Row {
                    spacing: 8
                    DialogButton { objectName: "signalDialogApply"; text: root.tr("Apply"); onClicked: root.applyCrop() }
                    DialogButton { objectName: "signalDialogRestore"; text: root.tr("Restore"); onClicked: root.restoreCrop() }
                }
            }

            Column {
                id: osdPanel
                width: parent.width
                spacing: 8
                visible: root.tool === "osd"
                CheckBox { id: osdEnableBox; objectName: "signalDialogOsdEnable"; text: root.tr("Show"); font.family: root.fontFamily }
                Caption { font.family: root.fontFamily; text: root.tr("Text") }
                Field { id: osdTextField; objectName: "signalDialogOsdText"; font.family: root.fontFamily }
                Caption { font.family: root.fontFamily; text: "X" }
                Field { id: osdXField; validator: IntValidator { bottom: 0 } }
                Caption { font.family: root.fontFamily; text: "Y" }
                Field { id: osdYField; validator: IntValidator { bottom: 0 } }
                Caption { font.family: root.fontFamily; text: root.tr("Size") }
                Field { id: osdSizeField; validator: IntValidator { bottom: 0 } }
                Flow {
                    width: parent.width
                    spacing: 6
                    Repeater {
                        model: root.colours
                        Rectangle {
                            width: 32; height: 32; radius: 4
                            color: modelData
                            border.width: root.osdColor === modelData ? 3 : 1
                            border.color: root.osdColor === modelData ? "#2f7fc1" : "#3d6185"
                            MouseArea { anchors.fill: parent; onClicked: root.osdColor = modelData }
                        }
                    }
                }
                DialogButton { objectName: "signalDialogOsdOk"; text: root.tr("OK"); onClicked: root.applyOverlay() }
            }

            // A camera moves and zooms while a button is held, and stores or calls presets.
            Column {
                width: parent.width
                spacing: 8
                visible: root.tool === "camera"
                Caption { font.family: root.fontFamily; text: root.tr("Move") }
                Flow {
                    width: parent.width
                    spacing: 6
                    Repeater {
                        model: Rules.cameraMoves
                        DialogButton {
                            objectName: "signalDialogCamera" + modelData.name
                            text: root.tr(modelData.name)
                            onPressed: ImApi.controlIPCMove(root.ip, modelData.direction)
                            onReleased: ImApi.controlIPCMove(root.ip, Rules.cameraStop)
                        }
                    }
                }
                Caption { font.family: root.fontFamily; text: root.tr("Zoom") }
                Row {
                    spacing: 6
                    Repeater {
                        model: Rules.cameraZooms
                        DialogButton {
                            objectName: "signalDialogCamera" + modelData.name.replace(" ", "")
                            text: root.tr(modelData.name)
                            onPressed: ImApi.controlIPCZoom(root.ip, modelData.direction)
                            onReleased: ImApi.controlIPCZoom(root.ip, Rules.cameraStop)
                        }
                    }
                }
                Caption { font.family: root.fontFamily; text: root.tr("Preset") }
                Field { id: presetField; objectName: "signalDialogPresetName"; font.family: root.fontFamily }
                Row {
                    spacing: 8
                    DialogButton { objectName: "signalDialogPresetSave"; text: root.tr("Save"); onClicked: root.cameraPreset(1) }
                    DialogButton { objectName: "signalDialogPresetCall"; text: root.tr("Call"); onClicked: root.cameraPreset(0) }
                }
            }

            // The host's files: a folder listing, or the playback buttons of the file opened.
            Item {
                anchors.fill: parent
                visible: root.tool === "files"
                ListView {
                    id: fileList
                    anchors.fill: parent
                    visible: !root.openedFile
                    clip: true
                    model: root.fileRows
                    delegate: Rectangle {
                        width: ListView.view.width
                        height: 36
                        color: area.pressed ? "#2f7fc1" : "transparent"
                        Text {
                            anchors.verticalCenter: parent.verticalCenter
                            x: 8
                            width: parent.width - 16
                            text: (index > 0 && Number(modelData.type) === 0 ? "▸ " : "") + modelData.name
                            color: "white"; font.family: root.fontFamily; font.pixelSize: 16
                            elide: Text.ElideRight
                        }
                        MouseArea { id: area; anchors.fill: parent; onClicked: root.fileClicked(index) }
                    }
                }
                Column {
                    width: parent.width
                    spacing: 10
                    visible: !!root.openedFile
                    Caption { font.family: root.fontFamily; width: parent.width; text: root.openedFile ? root.openedFile.name : ""; elide: Text.ElideRight; font.bold: true }
                    Flow {
                        width: parent.width
                        spacing: 6
                        Repeater {
                            model: Rules.hostFileCommands
                            DialogButton { objectName: "signalDialogFile_" + modelData; text: root.tr(modelData); onClicked: root.controlFile(modelData) }
                        }
                    }
                    DialogButton { objectName: "signalDialogFilesBack"; text: root.tr("Back"); onClicked: root.openedFile = null }
                }
            }
        }

        WarningBox {
            id: warningBox
            anchors.centerIn: parent
            fontFamily: root.fontFamily
        }
    }
}
