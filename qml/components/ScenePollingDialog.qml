import QtQuick 2.15
import QtQuick.Controls 2.15
import "../js/DialogRules.js" as Rules

// Scene polling of the selected wall: the wall steps through the chosen scenes, one every
// so many seconds, until stopped. Opening asks the controller for the wall's stored polling
// state, which arrives through showCycle() and marks what runs.
DialogFrame {
    id: root
    title: "Scene polling"
    property string panelId: ""
    property bool running: false
    property var wallScenes: ({ ids: [], names: [] })
    property alias timeField: timeInput.text
    property alias choices: sceneList.choices

    function open(wallId, scenes) {
        panelId = String(wallId)
        running = false
        wallScenes = scenes || { ids: [], names: [] }
        choices = Rules.sceneChoices(wallScenes.ids, wallScenes.names, [], [])
        timeInput.text = "10"
        show()
        ImApi.ServerGetStatus(panelId + "_cycle")
    }
    function setScenes(ids, names) {
        wallScenes = { ids: ids, names: names }
        var chosen = Rules.chosenScenes(choices)
        choices = Rules.sceneChoices(ids, names, chosen.ids, chosen.names)
    }
    // The stored polling state; another wall's is not ours.
    function showCycle(object) {
        var state = Rules.cycleState(object, panelId)
        if (!state)
            return
        running = state.running
        if (state.time !== "")
            timeInput.text = state.time
        choices = Rules.sceneChoices(wallScenes.ids, wallScenes.names, state.ids, [])
    }
    function start() {
        var chosen = Rules.chosenScenes(choices)
        var secs = Rules.seconds(timeInput.text)
        if (chosen.ids.length === 0 || secs < 0) {
            warning = chosen.ids.length === 0 ? "Choose at least one scene" : "Enter the seconds between scenes"
            return
        }
        warning = ""
        ImApi.ServerCallSceneCycle(chosen.ids, String(secs))
        running = true
    }
    function stop() {
        ImApi.ServerCloseSceneCycle()
        running = false
    }

    buttons: [
        Button { objectName: "pollingStart"; focusPolicy: Qt.NoFocus; text: root.tr("Start"); onClicked: root.start() },
        Button { objectName: "pollingStop"; focusPolicy: Qt.NoFocus; text: root.tr("Stop"); onClicked: root.stop() }
    ]

    Column {
        anchors.fill: parent
        spacing: 8
        Row {
            spacing: 8
            TextField { id: timeInput; objectName: "pollingTime"; width: 90; selectByMouse: true; inputMethodHints: Qt.ImhDigitsOnly }
            Text {
                anchors.verticalCenter: parent.verticalCenter
                text: root.tr(root.running ? "Polling" : "Stopped")
                color: root.running ? "#7fd07f" : "#dbe4ee"; font.family: root.fontFamily; font.pixelSize: 16
            }
        }
        SceneChoiceList { id: sceneList; width: parent.width; height: parent.height - 56; fontFamily: root.fontFamily }
    }
}
