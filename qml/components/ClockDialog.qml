import QtQuick 2.15
import QtQuick.Controls 2.15
import "../js/ClockRules.js" as Rules

// The clocks of the selected wall: the list the wall reports (refresh()), edited here and
// saved back as a whole. Opened by the design command that asks the wall for its clocks.
FocusScope {
    id: root
    property string fontFamily: ""
    property var translate: function (text) { return text }
    property var clocks: []
    property int current: -1
    // Set while the editors show a clock, so that showing it is no edit.
    property bool loading: false
    // The operator changed the list since the dialog opened: a report arriving late must
    // not take the changes away.
    property bool edited: false

    anchors.fill: parent
    visible: false
    z: 50

    function tr(text) { return root.translate(text) }

    // The wall's clocks follow through refresh() once it answers.
    function open() {
        edited = false
        clocks = []
        select(-1)
        visible = true
        root.forceActiveFocus()
    }
    function close() { visible = false }
    function refresh(list) {
        if (edited) {
            console.warn("clock list of the wall not shown: the clocks are being edited")
            return
        }
        clocks = Rules.clocks(list)
        select(clocks.length > 0 ? 0 : -1)
    }
    function select(index) {
        current = index
        var c = Rules.clock(index >= 0 ? clocks[index] : {})
        loading = true
        for (var i = 0; i < editors.count; ++i)
            editors.itemAt(i).load(c[Rules.keys[i]])
        loading = false
    }
    function edit(key, value) {
        if (current < 0)
            return
        var c = Rules.clock(clocks[current])
        c[key] = value
        clocks = Rules.withClock(clocks, current, c)
        edited = true
    }
    function add() {
        clocks = clocks.concat([Rules.newClock(clocks)])
        edited = true
        select(clocks.length - 1)
    }
    function remove() {
        if (current < 0)
            return
        var next = Math.min(current, clocks.length - 2)
        clocks = Rules.without(clocks, current)
        edited = true
        select(next)
    }
    function save() { ImApi.serverSetClocks(clocks) }

    Keys.onEscapePressed: close()

    MouseArea { anchors.fill: parent; acceptedButtons: Qt.AllButtons; onWheel: wheel.accepted = true }
    Rectangle { anchors.fill: parent; color: "#80000000" }

    readonly property var captions: ({ content: "Content", xPos: "X", yPos: "Y", w: "Width", h: "Height",
                                       bkClr: "Background", fontClr: "Font colour", fontSize: "Font size" })

    Rectangle {
        id: box
        objectName: "clockDialogBox"
        anchors.centerIn: parent
        width: 720
        height: 520
        radius: 6
        color: "#182c42"
        border.color: "#3d6185"

        Text {
            x: 16; y: 16
            text: root.tr("Clocks")
            color: "white"; font.family: root.fontFamily; font.pixelSize: 20; font.bold: true
        }
        ListView {
            id: list
            x: 16; y: 56
            width: 300
            height: box.height - y - 70
            clip: true
            model: root.clocks
            delegate: Rectangle {
                width: ListView.view.width
                height: 36
                color: index === root.current ? "#2f7fc1" : "transparent"
                Text {
                    anchors.verticalCenter: parent.verticalCenter
                    x: 8
                    width: parent.width - 16
                    text: Rules.label(modelData)
                    color: "white"; font.family: root.fontFamily; font.pixelSize: 15
                    elide: Text.ElideRight
                }
                MouseArea { anchors.fill: parent; onClicked: root.select(index) }
            }
        }
        // One editor per key of a clock; the content may have several lines.
        Flow {
            x: list.x + list.width + 16; y: 56
            width: box.width - x - 16
            spacing: 8
            enabled: root.current >= 0
            Repeater {
                id: editors
                model: Rules.keys
                Column {
                    width: modelData === "content" ? parent.width : (parent.width - 8) / 2
                    spacing: 4
                    function load(value) {
                        if (modelData === "content")
                            area.text = value
                        else
                            field.text = value
                    }
                    Text { text: root.tr(root.captions[modelData]); color: "#dbe4ee"; font.family: root.fontFamily; font.pixelSize: 14 }
                    TextArea {
                        id: area
                        objectName: "clockEdit_content"
                        visible: modelData === "content"
                        width: parent.width
                        height: visible ? 80 : 0
                        wrapMode: TextEdit.Wrap
                        selectByMouse: true
                        font.family: root.fontFamily
                        background: Rectangle { color: "white"; radius: 3 }
                        onTextChanged: if (!root.loading) root.edit(modelData, text)
                    }
                    TextField {
                        id: field
                        objectName: "clockEdit_" + modelData
                        visible: modelData !== "content"
                        width: parent.width
                        height: visible ? implicitHeight : 0
                        selectByMouse: true
                        onTextChanged: if (!root.loading) root.edit(modelData, text)
                    }
                }
            }
        }
        Row {
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            anchors.margins: 16
            spacing: 8
            Button { objectName: "clockAdd"; text: root.tr("Add"); onClicked: root.add() }
            Button { objectName: "clockRemove"; text: root.tr("Delete"); enabled: root.current >= 0; onClicked: root.remove() }
            Button { objectName: "clockSave"; text: root.tr("Save"); onClicked: root.save() }
            Button { objectName: "clockClose"; text: root.tr("Close"); onClicked: root.close() }
        }
    }
}
