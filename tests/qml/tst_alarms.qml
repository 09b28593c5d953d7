import QtQuick 2.15
import QtTest 1.15
import "../../qml/Design2.0"
import "../../qml/js/AlarmRules.js" as Rules
import "Items.js" as Items

// An alarm flood through the page host: the open list stays bounded and the cards drawn are
// the newest few, each still answering its own alarm.
Item {
    id: root
    width: 1280
    height: 800

    Content { id: host; anchors.fill: parent }

    TestCase {
        name: "AlarmPanel"
        when: windowShown

        function panel() { return Items.first(host, function (c) { return c.eventOver !== undefined }) }
        function cards() { return Items.all(panel(), function (c) { return String(c.objectName).indexOf("alarm_") === 0 }) }

        function init() {
            host.clear()
            ImApi.reset()
        }

        function test_aFloodKeepsTheNewestCards() {
            var n = Rules.maxOpen + 20
            for (var i = 0; i < n; ++i)
                ImApi.callQmlAudioEvent("Hall mic", "e" + i, 30)
            compare(panel().alarms.length, Rules.maxOpen)
            compare(panel().dropped, 20)
            compare(panel().alarms[0].key, "e20")
            compare(panel().alarms[Rules.maxOpen - 1].key, "e" + (n - 1))
            ImApi.callQmlAudioEvent("Hall mic", "e" + (n - 1), 45) // a repeat takes no room
            compare(panel().dropped, 20)
            tryCompare(panel(), "changes", 0)
            compare(cards().map(function (c) { return c.objectName }),
                    ["alarm_audio_e65", "alarm_audio_e66", "alarm_audio_e67", "alarm_audio_e68", "alarm_audio_e69"])
            verify(findChild(panel(), "alarmMore").visible)
            panel().answer(0, true)
            compare(ImApi.named("serverAudioEvent"), [["e65", true, 30]])
            compare(panel().alarms.length, Rules.maxOpen - 1)
        }
    }
}
