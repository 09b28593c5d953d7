import QtQuick 2.15
import QtQuick.Controls 2.15
import "../js/Letterbox.js" as Letterbox

// Shown while the project is downloaded; swallows all input meanwhile.
Item {
    id: root
    property real percent: 0
    property string fileName: ""
    property string fontFamily: ""
    readonly property string percentText: Letterbox.percentText(percent)

    function start() { percent = 0; fileName = ""; visible = true }
    function stop() { visible = false }

    visible: false

    MouseArea {
        anchors.fill: parent
        hoverEnabled: true
        acceptedButtons: Qt.AllButtons
        onWheel: wheel.accepted = true
    }
    Rectangle { anchors.fill: parent; color: "#80000000" }
    Column {
        anchors.centerIn: parent
        spacing: 12
        BusyIndicator { anchors.horizontalCenter: parent.horizontalCenter; running: root.visible }
        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            color: "white"
            font.family: root.fontFamily
            font.pixelSize: 18
            text: root.percentText
        }
        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            color: "#d0d0d0"
            font.family: root.fontFamily
            font.pixelSize: 14
            text: root.fileName
        }
    }
}
