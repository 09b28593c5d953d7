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
    height: cards.height
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
    function eventOver(response) { alarms = Rules.closedBy(alarms, response) }
    // The operator's answer to alarm `index`; `time` defaults to the alarm's own next time.
    function answer(index, select, time) {
        var alarm = alarms[index]
        if (!alarm)
            return
        var call = Rules.answer(alarm, select, time)
        if (call)
            ImApi[call.name].apply(ImApi, call.args)
        alarms = Rules.without(alarms, alarm.kind, alarm.key)
    }
    function clear() { alarms = []; dropped = 0 }
    // Where the cards' controls are (the end-to-end checks click there).
    // Logged once the cards are laid out and drawn.
    onAlarmsChanged: layoutLog.restart()
    Timer { id: layoutLog; interval: 100; onTriggered: console.log("alarm panel layout:", alarms.length, LayoutLog.line(root, "alarm")) }

    Column {
        id: cards
        width: parent.width
        spacing: 8
        Repeater {
            model: root.alarms
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
