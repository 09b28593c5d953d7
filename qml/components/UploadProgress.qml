import QtQuick 2.15
import QtQuick.Controls 2.15

// How far a wall background has got, output by output; it goes away a moment after the last.
Rectangle {
    id: root
    objectName: "uploadProgress"
    property string fontFamily: ""
    property var translate: function (text) { return text }
    property int current: 0
    property int total: 0

    function show(done, outputs) {
        current = Math.max(0, done)
        total = Math.max(0, outputs)
        visible = total > 0
        if (current >= total)
            hide.restart()
        else
            hide.stop()
    }

    anchors.bottom: parent ? parent.bottom : undefined
    anchors.horizontalCenter: parent ? parent.horizontalCenter : undefined
    anchors.bottomMargin: 24
    width: 420
    height: 64
    radius: 6
    color: "#0a1826"
    border.color: "#2e5a84"
    border.width: 2
    visible: false
    z: 50

    Timer { id: hide; interval: 1500; onTriggered: root.visible = false }
    Column {
        x: 14; y: 8
        width: parent.width - 28
        spacing: 8
        Text {
            text: root.translate("Background") + "  " + root.current + " / " + root.total
            color: "white"; font.family: root.fontFamily; font.pixelSize: 16
        }
        ProgressBar { objectName: "uploadProgressBar"; width: parent.width; from: 0; to: Math.max(1, root.total); value: root.current }
    }
}
