import QtQuick 2.15
import QtQuick.Controls 2.15
import "../js/DesignLook.js" as Look

// A designed input box; in search mode its text searches the signal list it is linked to.
TextField {
    id: root
    property var map: ({})
    property real multiplierW: 1
    property real multiplierH: 1
    readonly property string designName: map.objectName || ""
    readonly property var look: map.BKRect || map
    readonly property var textLook: map.textMap || map
    signal searchRequested(string linkedWidget, string text)

    readonly property var geometry: Look.place(map.globalPos, multiplierW, multiplierH, true)
    x: geometry.x
    y: geometry.y
    width: geometry.width
    height: geometry.height
    visible: map.enableVisible !== false
    echoMode: map.isPasswdMode ? TextInput.Password : TextInput.Normal
    selectByMouse: true
    color: textLook.textColor || "white"
    font.family: textLook.family || ""
    font.pixelSize: Math.max(1, (textLook.textSize || 16) * multiplierH)
    font.bold: !!textLook.isBold
    horizontalAlignment: (textLook.textAlignHorizontal || Qt.AlignLeft) & (Qt.AlignLeft | Qt.AlignRight | Qt.AlignHCenter)
    verticalAlignment: TextInput.AlignVCenter
    onTextEdited: if (map.isSearchMode) searchRequested(map.linkedWidget || "", text)
    background: Item { VX2Fill { look: root.look; multiplierW: root.multiplierW } }
}
