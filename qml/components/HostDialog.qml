import QtQuick 2.15
import QtQuick.Controls 2.15

// The page host's shared dialog: a confirmation, a name to type, or a list to choose from.
// open() takes {title, text, input, inputText, items, accepted(value)}; the value is the
// typed text or the chosen index. Enter accepts, Escape cancels.
FocusScope {
    id: root
    property string fontFamily: ""
    property var translate: function (text) { return text }
    property var options: ({})
    property int chosen: -1
    readonly property bool withInput: !!options.input
    readonly property var items: options.items || []

    anchors.fill: parent
    visible: false
    z: 50

    function open(opts) {
        options = opts
        chosen = items.length > 0 ? 0 : -1
        field.text = opts.inputText || ""
        visible = true
        if (withInput)
            field.forceActiveFocus()
        else
            root.forceActiveFocus()
    }
    function close() { visible = false; options = ({}) }
    // A name of only blanks is no name: the dialog stays open for one.
    function accept() {
        var done = options.accepted
        var value = withInput ? field.text : chosen
        if (withInput ? value.trim().length === 0 : items.length > 0 && value < 0) {
            field.forceActiveFocus()
            return
        }
        close()
        if (done)
            done(value)
    }

    Keys.onReturnPressed: accept()
    Keys.onEnterPressed: accept()
    Keys.onEscapePressed: close()

    MouseArea { anchors.fill: parent; acceptedButtons: Qt.AllButtons; onWheel: wheel.accepted = true }
    Rectangle { anchors.fill: parent; color: "#80000000" }
    Rectangle {
        id: box
        objectName: "hostDialogBox"
        anchors.centerIn: parent
        width: 460
        height: 170 + (root.withInput ? 50 : 0) + (root.items.length > 0 ? 200 : 0)
        radius: 6
        color: "#182c42"
        border.color: "#3d6185"
        Column {
            x: 20; y: 16
            width: parent.width - 40
            spacing: 12
            Text {
                text: root.translate(root.options.title || "")
                color: "white"; font.family: root.fontFamily; font.pixelSize: 20; font.bold: true
            }
            Text {
                width: parent.width
                text: root.translate(root.options.text || "")
                visible: text !== ""
                color: "#dbe4ee"; font.family: root.fontFamily; font.pixelSize: 16; wrapMode: Text.Wrap
            }
            TextField {
                id: field
                objectName: "hostDialogField"
                width: parent.width
                visible: root.withInput
                selectByMouse: true
                Keys.onReturnPressed: root.accept()
                Keys.onEnterPressed: root.accept()
                Keys.onEscapePressed: root.close()
            }
            ListView {
                width: parent.width
                height: 190
                visible: root.items.length > 0
                clip: true
                model: root.items
                delegate: Rectangle {
                    width: ListView.view.width
                    height: 36
                    color: index === root.chosen ? "#2f7fc1" : "transparent"
                    Text { anchors.verticalCenter: parent.verticalCenter; x: 8; text: modelData; color: "white"; font.pixelSize: 16 }
                    MouseArea { anchors.fill: parent; onClicked: root.chosen = index; onDoubleClicked: root.accept() }
                }
            }
        }
        Row {
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            anchors.margins: 16
            spacing: 12
            Button { objectName: "hostDialogOk"; text: root.translate("OK"); onClicked: root.accept() }
            Button { objectName: "hostDialogCancel"; text: root.translate("Cancel"); onClicked: root.close() }
        }
    }
}
