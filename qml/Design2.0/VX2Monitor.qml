import QtQuick 2.15
import Custom.VX.ffmpeg 1.0
import "../components"
import "../js/HealthRules.js" as Health
import "../js/MonitorRules.js" as Rules

// A designed monitor: the live picture of the stream a design command points it at
// ("InlineSetMonitor"), and the watched node's status over it. The stream is played and the
// node watched only while the monitor is on screen: a hidden page decodes nothing, stops the
// registrations and costs no status requests. The picture says what it waits for; a long
// press, or F3 or "i" (focused or under the pointer), shows the stream's figures.
VX2Placeholder {
    id: root
    property string ip: ""       // the watched node
    property string nodeType: "" // "1" decoder, "0" encoder
    property string group: ""    // the stream: multicast group and port
    property int port: 0
    property var status: null    // the node's last status map (node monitoring)
    property bool silent: false  // the node stopped answering
    readonly property bool playing: group !== "" && port > 0 && visible
    roundGeometry: true
    caption: group === "" ? "" : group + ":" + port

    function setMonitor(nodeIp, type, streamGroup, streamPort) {
        if (Rules.nodeAddress(nodeIp) !== Rules.nodeAddress(ip)) {
            status = null
            silent = false
        }
        ip = nodeIp || ""
        nodeType = type === undefined || type === null ? "" : String(type)
        var p = parseInt(streamPort, 10)
        group = streamGroup || ""
        port = isNaN(p) || p <= 0 || p > 65535 ? 0 : p
        follow()
        followNode()
    }
    function showStatus(map) {
        status = map
        silent = false
    }
    function showNoAnswer() { silent = true }

    // Leave first, then join the new stream: one stream at a time per monitor.
    property string joined: ""
    function follow() {
        var want = playing ? group + ":" + port : ""
        if (want === joined)
            return
        if (joined !== "")
            video.leaveMulticast()
        joined = want
        if (want === "")
            return
        video.mMulticast = group
        video.mPort = port
        // An encoder's own stream: it is asked for a keyframe, so the picture comes at once.
        video.encoder = nodeType === "0" ? Rules.nodeAddress(ip) : ""
        video.joinMulticast()
    }
    onPlayingChanged: follow()

    // The watched node ("ip|type"). The old node's watch goes before the new one's, as the
    // node control counts watchers; node and type change together, never one by one.
    property string watched: ""
    function followNode() {
        var want = Rules.watchKey(ip, nodeType, visible)
        if (want === watched)
            return
        var old = Rules.fromKey(watched)
        if (old)
            NodeControl.deleteMemFromQuery(old.ip, old.type)
        watched = want
        var now = Rules.fromKey(watched)
        if (now)
            NodeControl.insertMemToQuery(now.ip, now.type)
    }
    onVisibleChanged: followNode()
    Component.onDestruction: {
        if (joined !== "")
            video.leaveMulticast()
        var old = Rules.fromKey(watched)
        if (old)
            NodeControl.deleteMemFromQuery(old.ip, old.type)
    }

    Connections {
        target: NodeControl
        function onQuerySysMsg(map, nodeIp) {
            if (nodeIp !== "" && nodeIp === Rules.nodeAddress(root.ip))
                root.showStatus(map)
        }
        function onQueryNoAnswer(nodeIp) {
            if (nodeIp !== "" && nodeIp === Rules.nodeAddress(root.ip))
                root.showNoAnswer()
        }
    }

    XImageView {
        id: video
        objectName: "video"
        anchors.fill: parent
        anchors.margins: 1
    }

    function toggleStatistics() { video.statistics = !video.statistics }
    Keys.onPressed: {
        if (event.key === Qt.Key_F3 || event.key === Qt.Key_I) {
            toggleStatistics()
            event.accepted = true
        }
    }
    MouseArea {
        id: pointer
        anchors.fill: parent
        hoverEnabled: true
        onPressed: root.forceActiveFocus()
        onPressAndHold: root.toggleStatistics()
    }
    // F3 reaches the monitor under the pointer without taking the focus from a text field.
    Shortcut {
        sequence: "F3"
        enabled: pointer.containsMouse && !root.activeFocus
        onActivated: root.toggleStatistics()
    }
    // The log says when the monitor starts and stops waiting (not every second of it).
    readonly property string waitingFor: playing ? video.waiting : ""
    onWaitingForChanged: console.log("monitor", designName, "waits for:", waitingFor || "nothing")
    Text {
        objectName: "waiting"
        // In the middle of what the status strip leaves free.
        x: 4
        y: Math.max(0, ((statusBox.visible ? statusBox.y : root.height) - height) / 2)
        z: 1
        width: parent.width - 8
        visible: text !== "" && root.playing
        text: Health.previewWaiting(video.waiting, video.silentSeconds)
        horizontalAlignment: Text.AlignHCenter
        wrapMode: Text.Wrap
        color: "#f0c040"
        style: Text.Outline
        styleColor: "black"
        font.pixelSize: root.fontSize * 1.2
    }
    Rectangle {
        objectName: "statistics"
        visible: video.statistics && root.playing
        x: 4
        y: 4
        width: figures.implicitWidth + 8
        height: figures.implicitHeight + 6
        color: "#c0101820"
        Text {
            id: figures
            objectName: "figuresText"
            x: 4
            y: 3
            text: Health.previewFigures(video.figures)
            color: "#e8eef4"
            font.pixelSize: root.fontSize
            font.family: "monospace"
        }
    }

    readonly property string nodeState: Rules.state(watched !== "", status, silent)
    readonly property real fontSize: Math.max(9, 12 * multiplierH)

    // The values in a dark strip along the bottom, readable over any picture and leaving
    // the middle of the picture free. Nothing before the node's first answer.
    Rectangle {
        id: statusBox
        objectName: "statusBox"
        visible: root.nodeState === "ok"
        anchors.left: root.left
        anchors.right: root.right
        anchors.bottom: root.bottom
        anchors.margins: 1
        height: Math.min(root.height - 2, values.implicitHeight + 6)
        clip: true
        color: "#d8101820"
        border.color: Rules.alert(root.status) ? "#e0a030" : "transparent"
        Text {
            id: values
            objectName: "statusText"
            x: 4
            y: 3
            width: statusBox.width - 8
            wrapMode: Text.Wrap
            text: Rules.statusText(root.status, function (t) { return ImApi.language(t) })
            color: "#e8eef4"
            font.pixelSize: root.fontSize
            // The log says what the strip shows, once its bindings settle (the strip appears
            // before its text follows), so it can be compared with what the node sent.
            readonly property string shown: statusBox.visible ? text : ""
            function logShown() {
                if (shown !== "")
                    console.log("monitor", root.designName, "shows:", shown)
            }
            onShownChanged: Qt.callLater(logShown)
        }
    }

    // A node that stopped answering must not read as a healthy one.
    NoAnswerCover {
        objectName: "noAnswer"
        visible: root.nodeState === "silent"
        anchors.fill: root
        anchors.margins: 1
        address: Rules.nodeAddress(root.ip)
        fontSize: root.fontSize
    }
}
