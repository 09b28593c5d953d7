import QtQuick 2.15
import "../js/DesignLook.js" as Look

// One button of the design's login page ("YesBtn", "QuitBtn", "RememberBtn"); its map comes
// from callQmlSetLoginVX2Button. The remember button is a toggle.
Item {
    id: root
    property var map: ({})
    property real multiplierW: 1
    property real multiplierH: 1
    property bool checked: false
    property var toImagePath: function (path) { return path }
    signal clicked()

    readonly property string state_: area.pressed || checked ? "pressed" : area.containsMouse ? "hover" : "normal"
    readonly property var geometry: Look.place(map.globalPos, multiplierW, multiplierH, true)
    x: geometry.x
    y: geometry.y
    width: geometry.width
    height: geometry.height
    visible: map.label !== undefined && map.enableVisible !== false

    Rectangle {
        anchors.fill: parent
        radius: root.map.isIncorner ? (root.map.cornerTopLeft || 0) * root.multiplierW : 0
        color: Look.stateValue(root.map.isMonoFilled, root.state_) ? (Look.stateValue(root.map.monoColor, root.state_) || "transparent") : "transparent"
        border.width: root.map.egWidth || 0
        border.color: root.map.egClr || "transparent"
        opacity: root.map.trans !== undefined ? root.map.trans / 100 : 1
        Image {
            anchors.fill: parent
            readonly property string picture: Look.stateValue(root.map.bkPic, root.state_) || ""
            visible: picture !== ""
            source: picture !== "" ? root.toImagePath(picture) : ""
        }
    }
    Text {
        anchors.fill: parent
        text: Look.stateValue(root.map.text, root.state_) || ""
        color: Look.stateValue(root.map.textColor, root.state_) || "white"
        font.family: root.map.fontFamily || ""
        font.pixelSize: Math.max(1, root.map.textSize || 16) // a button's text size is not scaled
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
    }
    MouseArea {
        id: area
        anchors.fill: parent
        hoverEnabled: true
        onClicked: root.clicked()
    }
}
