import QtQuick 2.15
import QtQuick.Controls 2.15
import "../js/DialogRules.js" as Rules

// The wall's scenes with a check box each; `choices` are DialogRules.sceneChoices entries.
ListView {
    id: root
    property var choices: []
    property string fontFamily: ""

    function toggle(index) { choices = Rules.toggleChoice(choices, index) }

    clip: true
    model: choices
    delegate: CheckBox {
        objectName: "sceneChoice" + index
        width: ListView.view.width
        height: 34
        focusPolicy: Qt.NoFocus
        checked: modelData.chosen
        text: modelData.name
        font.family: root.fontFamily
        onClicked: root.toggle(index)
    }
}
