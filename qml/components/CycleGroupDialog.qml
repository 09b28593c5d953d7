import QtQuick 2.15
import QtQuick.Controls 2.15
import "../js/DialogRules.js" as Rules

// The selected wall's cycle groups: named scene lists with the seconds between scenes, kept
// by the controller. The list page adds, edits, deletes and starts them; the form page takes
// a group's name, time and scenes. The page host opens it with the wall's known scenes and
// hands it newer scene listings and the controller's group refreshes.
DialogFrame {
    id: root
    title: "Cycle groups"
    property string panelId: ""
    property var groups: []
    property int current: -1
    // "list" or "form"; `editingId` is "" for a new group.
    property string page: "list"
    property string editingId: ""
    property var wallScenes: ({ ids: [], names: [] })
    property alias nameField: nameInput.text
    property alias timeField: timeInput.text
    property alias choices: sceneList.choices

    function open(wallId, scenes) {
        panelId = String(wallId)
        wallScenes = scenes || { ids: [], names: [] }
        page = "list"
        refresh()
        show()
    }
    // The controller's list again (after a change of ours or its refresh signal).
    function refresh() {
        var chosenId = current >= 0 && current < groups.length ? groups[current].id : ""
        groups = ImApi.serverGetCycleGroupList() || []
        current = groups.length === 0 ? -1 : Math.max(0, groups.map(function (g) { return g.id }).indexOf(chosenId))
    }
    function setScenes(ids, names) {
        wallScenes = { ids: ids, names: names }
        if (page === "form") {
            var chosen = Rules.chosenScenes(choices)
            choices = Rules.sceneChoices(ids, names, chosen.ids, chosen.names)
        }
    }
    function currentGroup() { return current >= 0 && current < groups.length ? groups[current] : null }

    function edit(group) {
        var g = group ? ImApi.serverGetCycleGroup(group.id) : null
        editingId = g ? String(g.id) : ""
        nameInput.text = g ? String(g.name) : ""
        timeInput.text = g ? String(g.time) : "10"
        choices = Rules.sceneChoices(wallScenes.ids, wallScenes.names, g ? g.sceneIds : [], g ? g.sceneNames : [])
        warning = ""
        page = "form"
    }
    function save() {
        var chosen = Rules.chosenScenes(choices)
        var name = nameInput.text.trim()
        warning = Rules.cycleGroupError(name, timeInput.text, chosen, Rules.otherGroupNames(groups, editingId))
        if (warning !== "")
            return
        var time = Rules.seconds(timeInput.text)
        var ok = editingId === ""
                ? ImApi.serverAddCycleGroup(name, time, chosen.ids, chosen.names)
                : ImApi.serverEditCycleGroup(editingId, name, time, chosen.ids, chosen.names)
        if (!ok) {
            warning = "The controller refused the cycle group"
            return
        }
        page = "list"
        refresh()
    }
    // Groups are deleted by their current name (their id stays the first name).
    function remove() {
        var g = currentGroup()
        if (g && ImApi.serverDelCycleGroup(String(g.name)))
            refresh()
    }
    function start() {
        var g = currentGroup()
        if (g)
            ImApi.serverStartCycleGroup(panelId, String(g.name))
    }

    buttons: [
        Button { objectName: "cycleAdd"; visible: root.page === "list"; focusPolicy: Qt.NoFocus; text: root.tr("Add"); onClicked: root.edit(null) },
        Button { objectName: "cycleEdit"; visible: root.page === "list"; enabled: root.current >= 0; focusPolicy: Qt.NoFocus; text: root.tr("Edit"); onClicked: root.edit(root.currentGroup()) },
        Button { objectName: "cycleDelete"; visible: root.page === "list"; enabled: root.current >= 0; focusPolicy: Qt.NoFocus; text: root.tr("Delete"); onClicked: root.remove() },
        Button { objectName: "cycleStart"; visible: root.page === "list"; enabled: root.current >= 0; focusPolicy: Qt.NoFocus; text: root.tr("Start"); onClicked: root.start() },
        Button { objectName: "cycleSave"; visible: root.page === "form"; focusPolicy: Qt.NoFocus; text: root.tr("Save"); onClicked: root.save() },
        Button { objectName: "cycleBack"; visible: root.page === "form"; focusPolicy: Qt.NoFocus; text: root.tr("Back"); onClicked: { root.warning = ""; root.page = "list" } }
    ]

    ListView {
        anchors.fill: parent
        visible: root.page === "list"
        clip: true
        model: root.groups
        delegate: Rectangle {
            width: ListView.view.width
            height: 36
            color: index === root.current ? "#2f7fc1" : "transparent"
            Text { x: 8; anchors.verticalCenter: parent.verticalCenter; text: modelData.name; color: "white"; font.family: root.fontFamily; font.pixelSize: 16 }
            MouseArea { anchors.fill: parent; onClicked: root.current = index; onDoubleClicked: root.edit(modelData) }
        }
    }
    Column {
        anchors.fill: parent
        visible: root.page === "form"
        spacing: 8
        Row {
            spacing: 8
            TextField { id: nameInput; objectName: "cycleName"; width: 240; selectByMouse: true; placeholderText: root.tr("Name") }
            TextField { id: timeInput; objectName: "cycleTime"; width: 90; selectByMouse: true; inputMethodHints: Qt.ImhDigitsOnly; placeholderText: root.tr("Seconds") }
        }
        SceneChoiceList { id: sceneList; width: parent.width; height: parent.height - 56; fontFamily: root.fontFamily }
    }
}
