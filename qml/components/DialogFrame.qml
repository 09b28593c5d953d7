import QtQuick 2.15
import QtQuick.Controls 2.15

// The frame of the page host's wall dialogs: a dimmed page, a titled box holding the dialog's
// own content, a warning line and a Close button. Escape closes. The dialogs put their
// controls into the box (default property) and their buttons into `buttons`.
FocusScope {
    id: root
    property string title: ""
    property string fontFamily: ""
    property var translate: function (text) { return text }
    property string warning: ""
    property real boxWidth: 520
    property real boxHeight: 440
    default property alias content: body.data
    property alias buttons: buttonRow.data

    signal closed()

    anchors.fill: parent
    visible: false
    z: 45

    function tr(text) { return root.translate(text) }
    function show() { warning = ""; visible = true; root.forceActiveFocus() }
    function close() {
        if (!visible)
            return
        visible = false
        closed()
    }

    Keys.onEscapePressed: close()

    MouseArea { anchors.fill: parent; acceptedButtons: Qt.AllButtons; onWheel: wheel.accepted = true }
    Rectangle { anchors.fill: parent; color: "#80000000" }
    Rectangle {
        anchors.centerIn: parent
        width: Math.min(root.width, root.boxWidth)
        height: Math.min(root.height, root.boxHeight)
        radius: 6
        color: "#182c42"
        border.color: "#3d6185"
        Text {
            id: titleText
            x: 20; y: 14
            text: root.tr(root.title)
            color: "white"; font.family: root.fontFamily; font.pixelSize: 20; font.bold: true
        }
        Item {
            id: body
            x: 20
            anchors.top: titleText.bottom
            anchors.topMargin: 12
            anchors.bottom: warningText.top
            anchors.bottomMargin: 6
            width: parent.width - 40
        }
        Text {
            id: warningText
            x: 20
            anchors.bottom: buttonBar.top
            anchors.bottomMargin: 6
            width: parent.width - 40
            text: root.tr(root.warning)
            color: "#f0c040"; font.family: root.fontFamily; font.pixelSize: 14; elide: Text.ElideRight
        }
        Row {
            id: buttonBar
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            anchors.margins: 16
            spacing: 10
            Row { id: buttonRow; spacing: 10 }
            Button { objectName: "dialogClose"; focusPolicy: Qt.NoFocus; text: root.tr("Close"); onClicked: root.close() }
        }
    }
}
