import QtQuick 2.15
import Custom.VX.ffmpeg 1.0

// A designed monitor: the live picture of the stream a design command points it at
// ("InlineSetMonitor"), and the watched node's status over it. The stream is played only
// while the monitor is on screen: a hidden page decodes nothing and stops the registrations.
VX2Placeholder {
    id: root
    property string ip: ""       // the watched node
    property string nodeType: ""
    property string group: ""    // the stream: multicast group and port
    property int port: 0
    property var status: null    // the node's last status map (node monitoring)
    readonly property bool playing: group !== "" && port > 0 && visible
    roundGeometry: true
    caption: group === "" ? "" : group + ":" + port

    function setMonitor(nodeIp, type, streamGroup, streamPort) {
        ip = nodeIp || ""
        nodeType = type || ""
        var p = parseInt(streamPort, 10)
        group = streamGroup || ""
        port = isNaN(p) || p <= 0 || p > 65535 ? 0 : p
        follow()
    }
    function showStatus(map) { status = map }

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
        video.joinMulticast()
    }
    onPlayingChanged: follow()
    Component.onDestruction: if (joined !== "") video.leaveMulticast()

    XImageView {
        id: video
        anchors.fill: parent
        anchors.margins: 1
    }
}
