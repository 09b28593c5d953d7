import QtQuick 2.15
import QtQuick.Controls 2.15
import "../js/AlarmRules.js" as Rules
import "../js/LayoutLog.js" as LayoutLog

// Alarms of the event group over the pages: one card per open alarm, each with its answers.
// The page host hands in the controller's alarm signals; the pages behind stay usable.
Item {
    id: root
    property string fontFamily: ""
    property var translate: function (text) { return text }
    // The open alarms, oldest first (see AlarmRules.js).
    property var alarms: []
    // The clock the cards show arrival times by; tests set a fixed one.
    property var now: function () { return new Date() }

    anchors.top: parent ? parent.top : undefined
    anchors.horizontalCenter: parent ? parent.horizontalCenter : undefined
    anchors.topMargin: 12
    width: 460
    height: cards.height + (more.visible ? more.height + 8 : 0)
    visible: alarms.length > 0
    z: 60

    function tr(text) { return root.translate(text) }

    // Alarms that made way for newer ones while the panel was full.
    property int dropped: 0

    function add(alarm) {
        var grows = Rules.indexOf(alarms, alarm.kind, alarm.key) < 0
        var full = alarms.length >= Rules.maxOpen
        alarms = Rules.withAlarm(alarms, alarm)
        if (grows && full) {
            if (dropped === 0)
                console.warn("alarm panel: more than", Rules.maxOpen, "alarms open, the oldest make way (counted in dropped)")
            ++dropped
        }
    }
    function audioEvent(eventName, eventId, nextTime) { add(Rules.audioAlarm(eventName, eventId, nextTime, now())) }
    function videoEvent(eventName, nextTime, ip, port, srcIp) {
        add(Rules.inputAlarm(eventName, nextTime, ip, port, srcIp || "", now()))
    }
    // Closing cards is never held back: what is gone must not stay clickable.
    function eventOver(response) { alarms = Rules.closedBy(alarms, response); shown = view(alarms) }
    // The operator's answer to alarm `index`; `time` defaults to the alarm's own next time.
    function answer(index, select, time) {
        var card = shown[index]
        var open = card ? Rules.indexOf(alarms, card.kind, card.key) : -1
        if (open < 0)
            return // gone meanwhile
        var alarm = alarms[open]
        var call = Rules.answer(alarm, select, time)
        if (call)
            ImApi[call.name].apply(ImApi, call.args)
        alarms = Rules.without(alarms, alarm.kind, alarm.key)
        shown = view(alarms)
    }
    function clear() { alarms = []; dropped = 0; pace.stop(); changes = 0; shown = [] }

    // The cards drawn: the newest `maxShown` open alarms. A card costs a few controls to
    // build, so in a flood they follow the open alarms a few times a second only.
    readonly property int maxShown: 5
    property var shown: []
    property int changes: 0 // since the pace last fired
    function view(list) { return list.length > maxShown ? list.slice(list.length - maxShown) : list }
    onAlarmsChanged: {
        if (++changes <= 3)
            shown = view(alarms)
        if (!pace.running)
            pace.start()
    }
    Timer { id: pace; interval: 200; onTriggered: { root.changes = 0; root.shown = root.view(root.alarms) } }
    // Where the cards' controls are (the end-to-end checks click there).
    // Logged once the cards are laid out and drawn.
    onShownChanged: layoutLog.restart()
    Timer { id: layoutLog; interval: 100; onTriggered: console.log("alarm panel layout:", shown.length, LayoutLog.line(root, "alarm")) }

    Text {
        id: more
        objectName: "alarmMore"
        anchors.top: cards.bottom
        anchors.topMargin: 8
        anchors.horizontalCenter: parent.horizontalCenter
        visible: root.alarms.length > root.shown.length
        text: root.tr("More open alarms") + ": " + (root.alarms.length - root.shown.length)
        color: "#ffb3ba"; font.family: root.fontFamily; font.pixelSize: 16; font.bold: true
        style: Text.Outline; styleColor: "#5a1620"
    }
    Column {
        id: cards
        width: parent.width
        spacing: 8
        Repeater {
            model: root.shown
            delegate: Rectangle {
                objectName: "alarm_" + modelData.kind + "_" + modelData.key
                width: cards.width
                height: body.height + 24
                radius: 6
                color: "#5a1620"
                border.color: "#ff4d5e"
                border.width: 2
                Column {
                    id: body
                    x: 14; y: 12
                    width: parent.width - 28
                    spacing: 6
                    Text {
                        text: "⚠ " + Rules.title(modelData, root.tr)
                        color: "#ffb3ba"; font.family: root.fontFamily; font.pixelSize: 16; font.bold: true
                    }
                    Text {
                        width: parent.width
                        text: Rules.text(modelData)
                        color: "white"; font.family: root.fontFamily; font.pixelSize: 20; font.bold: true
                        elide: Text.ElideRight
                    }
                    Text {
                        text: Rules.detail(modelData, root.tr)
                        color: "#dbe4ee"; font.family: root.fontFamily; font.pixelSize: 14
                    }
                    Row {
                        spacing: 8
                        Text {
                            anchors.verticalCenter: parent.verticalCenter
                            text: root.tr("Next time")
                            color: "#dbe4ee"; font.family: root.fontFamily; font.pixelSize: 14
                        }
                        TextField {
                            id: nextTime
                            objectName: "alarmNextTime"
                            width: 90
                            text: String(modelData.nextTime)
                            selectByMouse: true
                            validator: IntValidator { bottom: 0 }
                        }
                        Button { objectName: "alarmSelect"; text: root.tr("Select"); onClicked: root.answer(index, true, nextTime.text) }
                        Button { objectName: "alarmIgnore"; text: root.tr("Ignore"); onClicked: root.answer(index, false, nextTime.text) }
                    }
                }
            }
        }
    }
}
