import QtQuick 2.15
import "../js/DesignLook.js" as Look
import "../js/ControlRules.js" as Rules
import "../js/HealthRules.js" as Health

// A designed button. Momentary buttons ("autoLift") send their press and release entries,
// latching ones their state command on each change of the checked state; a click sends the
// first "Clicked" entry unless the button belongs to a group.
Item {
    id: root
    property var map: ({})
    property real multiplierW: 1
    property real multiplierH: 1
    readonly property string designName: map.objectName || ""
    readonly property string panelId: map.panel_id !== undefined ? String(map.panel_id) : ""
    readonly property var events: map.eventAttrList || []
    readonly property bool checkable: map.autoLift === false
    readonly property int buttonGroup: map.buttonGroup !== undefined ? map.buttonGroup : -1
    readonly property bool initialTrigger: !!map.initialTrigger
    property bool checked: false
    property bool isSendState: false
    readonly property alias pressed: area.pressed
    // Its TCP equipment cannot be reached: a mark until a command gets through again.
    readonly property var tcpTargets: Health.tcpTargets(events)
    readonly property bool connectionLost: tcpTargets.length > 0 && Health.anyDown(tcpTargets, ImApi.tcpDown)

    signal clicked()
    // A click of a grouped button (the host unchecks the others of its group).
    signal groupClicked()

    readonly property string state_: pressed || checked ? "pressed" : area.containsMouse ? "hover" : "normal"
    readonly property var geometry: Look.place(map.globalPos, multiplierW, multiplierH, true)
    x: geometry.x
    y: geometry.y
    width: geometry.width
    height: geometry.height
    visible: map.enableVisible !== false
    rotation: map.rotate || 0

    function send(list) {
        for (var i = 0; i < list.length; ++i)
            ImApi.ServerVX2ButtonCmd(list[i])
    }
    // The state command of a latching button for its current state.
    function runStateCommand() {
        var command = Rules.latchCommand(events, designName, checked, isSendState)
        send(command.send)
        if (command.report !== "")
            ImApi.ServerSetStatus(designName, command.report)
    }
    // A state from the controller: shown, and performed only by buttons with initialTrigger
    // (or never, for `act` false refreshes).
    function refresh(value, perform) {
        isSendState = perform && initialTrigger
        checked = String(value) !== "0"
        isSendState = true
    }
    // The page host's status refresh: the start command without sending, then a query.
    function refreshStatus() {
        if (!checkable)
            return
        isSendState = false
        runStateCommand()
        ImApi.ServerGetStatus(designName)
        isSendState = true
    }
    function click() {
        ImApi.vibrate(100)
        send(Rules.clickEvents(events, buttonGroup))
        if (checkable)
            checked = buttonGroup !== -1 ? true : !checked
        if (buttonGroup !== -1)
            groupClicked()
        clicked()
    }

    onCheckedChanged: if (checkable) runStateCommand()

    Component.onCompleted: {
        isSendState = initialTrigger
        if (!checkable) {
            if (initialTrigger)
                send(Rules.initialMomentaryEvents(events))
        } else {
            var start = map.usingPolyState === 1
            if (start === checked)
                runStateCommand()
            else
                checked = start
        }
        isSendState = true
    }

    VX2Fill {
        look: root.map
        state_: root.state_
        multiplierW: root.multiplierW
    }
    Text {
        anchors.fill: parent
        text: Look.stateValue(root.map.text, root.state_) || ""
        color: Look.stateValue(root.map.textColor, root.state_) || "white"
        font.family: root.map.fontFamily || ""
        font.pixelSize: Math.max(1, root.map.textSize || 16) // a button's text size is not scaled
        font.bold: !!root.map.isBold
        font.italic: !!root.map.isItalic
        font.underline: !!root.map.isUnderline
        horizontalAlignment: (root.map.textAlignHorizontal || Qt.AlignHCenter) & (Qt.AlignLeft | Qt.AlignRight | Qt.AlignHCenter)
        verticalAlignment: (root.map.textAlignVertical || Qt.AlignVCenter) & (Qt.AlignTop | Qt.AlignBottom | Qt.AlignVCenter)
        elide: Text.ElideRight
    }
    Rectangle {
        objectName: "connectionMark"
        visible: root.connectionLost
        anchors.top: parent.top
        anchors.right: parent.right
        anchors.margins: 3
        width: Math.max(8, Math.min(root.width, root.height) / 4)
        height: width
        radius: width / 2
        color: "#e03030"
        border.color: "white"
        border.width: 1
        Rectangle { anchors.centerIn: parent; width: parent.width * 0.6; height: Math.max(1, parent.width / 6); color: "white" }
    }
    // A long press sends the "LongPressed" entries; only a button that has some takes the
    // press as a long one and sends no click on release.
    Timer {
        id: longPress
        interval: 800
        property bool taken: false
        onTriggered: {
            var entries = Rules.eventsFor(root.events, "LongPressed")
            taken = entries.length > 0
            root.send(entries)
        }
    }
    MouseArea {
        id: area
        anchors.fill: parent
        hoverEnabled: true
        onPressed: {
            longPress.taken = false
            longPress.restart()
            if (!root.checkable)
                root.send(Rules.eventsFor(root.events, "ButtonPressed"))
        }
        onReleased: {
            longPress.stop()
            if (!root.checkable)
                root.send(Rules.eventsFor(root.events, "ButtonRelease"))
        }
        // A press taken away (another item grabbed the pointer) still ends a momentary action.
        onCanceled: {
            longPress.stop()
            if (!root.checkable)
                root.send(Rules.eventsFor(root.events, "ButtonRelease"))
        }
        onClicked: if (!longPress.taken) root.click()
    }
}
