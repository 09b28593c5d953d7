import QtQuick 2.15
import QtQuick.Controls 2.15
import "../js/DialogRules.js" as Rules

// A crosspoint matrix's presets: save the current crosspoints under a name, call or delete
// one. The names are the matrix's, as the controller's state refresh last gave them.
DialogFrame {
    id: root
    title: "Presets"
    property var matrix: null
    property int current: -1
    readonly property var names: matrix ? matrix.presets : []
    property alias nameField: nameInput.text

    function open(m) {
        matrix = m
        current = -1
        nameInput.text = ""
        show()
    }
    function save() {
        var name = nameInput.text.trim()
        warning = Rules.presetNameError(name, names)
        if (warning === "") {
            matrix.savePreset(name)
            nameInput.text = ""
        }
    }
    function call() {
        if (current >= 0 && current < names.length)
            matrix.callPreset(current)
    }
    function remove() {
        if (current >= 0 && current < names.length) {
            matrix.deletePreset(current)
            current = -1
        }
    }

    buttons: [
        Button { objectName: "presetSave"; focusPolicy: Qt.NoFocus; text: root.tr("Save"); onClicked: root.save() },
        Button { objectName: "presetCall"; enabled: root.current >= 0; focusPolicy: Qt.NoFocus; text: root.tr("Call"); onClicked: root.call() },
        Button { objectName: "presetDelete"; enabled: root.current >= 0; focusPolicy: Qt.NoFocus; text: root.tr("Delete"); onClicked: root.remove() }
    ]

    Column {
        anchors.fill: parent
        spacing: 8
        TextField { id: nameInput; objectName: "presetName"; width: parent.width; selectByMouse: true; placeholderText: root.tr("Name") }
        ListView {
            width: parent.width
            height: parent.height - 56
            clip: true
            model: root.names
            delegate: Rectangle {
                width: ListView.view.width
                height: 36
                color: index === root.current ? "#2f7fc1" : "transparent"
                Text { x: 8; anchors.verticalCenter: parent.verticalCenter; text: modelData; color: "white"; font.family: root.fontFamily; font.pixelSize: 16 }
                MouseArea { anchors.fill: parent; onClicked: root.current = index; onDoubleClicked: { root.current = index; root.call() } }
            }
        }
    }
}
