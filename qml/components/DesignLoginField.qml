import QtQuick 2.15
import QtQuick.Controls 2.15
import "../js/DesignLook.js" as Look

// One input box of the design's login page; its map comes from callQmlSetLoginVX2InputBox.
TextField {
    id: root
    property var map: ({})
    property real multiplierW: 1
    property real multiplierH: 1
    readonly property var look: map.BKRect || map
    readonly property var textLook: map.textMap || map
    readonly property var geometry: Look.place(map.globalPos, multiplierW, multiplierH, true)

    x: geometry.x
    y: geometry.y
    width: geometry.width
    height: geometry.height
    visible: map.label !== undefined && (map.label === "PasswordInputBox" || map.enableVisible !== false)
    echoMode: map.isPasswdMode ? TextInput.Password : TextInput.Normal
    selectByMouse: true
    color: textLook.textColor || "white"
    font.family: textLook.family || textLook.fontFamily || ""
    font.pixelSize: Math.max(1, (textLook.textSize || 16) * multiplierH)
    horizontalAlignment: (textLook.textAlignHorizontal || Qt.AlignLeft) & (Qt.AlignLeft | Qt.AlignRight | Qt.AlignHCenter)
    verticalAlignment: TextInput.AlignVCenter
    background: Rectangle {
        color: root.look.isMonoFilled && root.look.monoColor ? root.look.monoColor : "transparent"
        border.width: root.look.egWidth || root.look.borderWidth || 0
        border.color: root.look.egClr || root.look.borderColor || "transparent"
        radius: root.look.isIncorner ? (root.look.cornerTopLeft || 0) * root.multiplierW : 0
        opacity: root.look.trans !== undefined ? root.look.trans / 100 : 1
    }
}
