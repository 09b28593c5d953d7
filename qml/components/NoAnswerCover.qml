import QtQuick 2.15

// The look of equipment that stopped answering, over what it would show: a red veil, its
// border and "No answer" with the address. A node that went quiet must not read as healthy.
Rectangle {
    id: cover
    property string address: ""
    property real fontSize: 12
    color: "#a0400808"
    border.color: "#e04040"
    border.width: 2
    Text {
        anchors.centerIn: cover
        width: cover.width - 8
        horizontalAlignment: Text.AlignHCenter
        wrapMode: Text.Wrap
        text: ImApi.language("No answer") + "\n" + cover.address
        color: "#ffd8d8"
        font.pixelSize: cover.fontSize * 1.4
        font.bold: true
    }
}
