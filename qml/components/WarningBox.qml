import QtQuick 2.15

// A warning that fades in over 200 ms, stays 1000 ms and fades out over 200 ms; a
// persistent warning stays until the next one replaces it.
Rectangle {
    id: root
    property alias text: label.text
    property bool persistent: false
    property string fontFamily: ""

    function flash(message) {
        persistent = false
        label.text = message
        fade.restart()
    }
    function showPersistent(message) {
        fade.stop()
        persistent = true
        label.text = message
        opacity = 1
    }

    visible: opacity > 0
    opacity: 0
    radius: 6
    color: "#e0c0392b"
    width: Math.max(label.implicitWidth + 48, 320)
    height: label.implicitHeight + 24

    Text {
        id: label
        anchors.centerIn: parent
        color: "white"
        font.family: root.fontFamily
        font.pixelSize: 18
    }

    SequentialAnimation {
        id: fade
        NumberAnimation { target: root; property: "opacity"; from: 0; to: 1; duration: 200 }
        PauseAnimation { duration: 1000 }
        NumberAnimation { target: root; property: "opacity"; to: 0; duration: 200 }
    }
}
