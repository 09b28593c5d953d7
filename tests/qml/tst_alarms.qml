import QtQuick 2.15
import QtTest 1.15
import "../../qml/Design2.0"
import "../../qml/js/AlarmRules.js" as Rules

// Alarms of the event group: the rules on their own, then through the page host as the
// controller raises them.
Item {
    id: root
    width: 1280
    height: 800

    Content { id: host; anchors.fill: parent }

    TestCase {
        name: "AlarmRules"

        function tr(text) { return "[" + text + "]" }
        readonly property var at: new Date(2026, 0, 2, 3, 4, 5)
        function audio(id, next) { return Rules.audioAlarm("Hall mic", id, next, at) }
        function input(src, next) { return Rules.inputAlarm("Seat B", next, "10.0.0.72", 6000, src, at) }
        function keys(list) { return list.map(function (a) { return a.kind + ":" + a.key + ":" + a.nextTime }) }

        function test_withAlarm_data() {
            return [
                { tag: "a first alarm", open: [], add: audio("e1", 30), out: ["audio:e1:30"] },
                { tag: "the same alarm again takes its place", open: [audio("e1", 30), input("10.0.0.6", 10)],
                  add: audio("e1", 60), out: ["audio:e1:60", "input:10.0.0.6:10"] },
                { tag: "another event id is another alarm", open: [audio("e1", 30)], add: audio("e2", 5),
                  out: ["audio:e1:30", "audio:e2:5"] },
                { tag: "the same input again takes its place", open: [input("10.0.0.6", 10)], add: input("10.0.0.6", 20),
                  out: ["input:10.0.0.6:20"] },
                { tag: "an input and an audio id alike are two alarms", open: [audio("10.0.0.6", 1)],
                  add: input("10.0.0.6", 2), out: ["audio:10.0.0.6:1", "input:10.0.0.6:2"] }
            ]
        }
        function test_withAlarm(data) {
            var before = keys(data.open)
            compare(keys(Rules.withAlarm(data.open, data.add)), data.out)
            compare(keys(data.open), before, "the open list is not changed in place")
        }

        function test_closedBy_data() {
            var open = [audio("e1", 30), input("10.0.0.6", 10), audio("e2", 5)]
            return [
                { tag: "an audio answer closes the audio alarms", open: open, response: "ActiveAudio", out: ["input:10.0.0.6:10"] },
                { tag: "an input answer closes the input alarms", open: open, response: "ActiveInput", out: ["audio:e1:30", "audio:e2:5"] },
                { tag: "anything else closes nothing", open: open, response: "GetDev", out: ["audio:e1:30", "input:10.0.0.6:10", "audio:e2:5"] }
            ]
        }
        function test_closedBy(data) {
            compare(keys(Rules.closedBy(data.open, data.response)), data.out)
        }

        function test_answer_data() {
            return [
                { tag: "audio selected", alarm: audio("e1", 30), select: true, time: "", call: { name: "serverAudioEvent", args: ["e1", true, 30] } },
                { tag: "audio ignored, with another time", alarm: audio("e1", 30), select: false, time: "45",
                  call: { name: "serverAudioEvent", args: ["e1", false, 45] } },
                { tag: "input selected goes back to its requester", alarm: input("10.0.0.6", 10), select: true, time: "10",
                  call: { name: "serverVideoEvent", args: ["10.0.0.6", 10, "10.0.0.72", 6000] } },
                { tag: "input ignored answers nothing", alarm: input("10.0.0.6", 10), select: false, time: "10", call: null }
            ]
        }
        function test_answer(data) {
            compare(Rules.answer(data.alarm, data.select, data.time), data.call)
        }

        function test_text_data() {
            return [
                { tag: "audio", alarm: audio("e1", 30), title: "[Audio alarm]", text: "Hall mic",
                  detail: "[Received] 03:04:05   [Next time]: 30" },
                { tag: "input names its address", alarm: input("10.0.0.6", 10), title: "[Input alarm]", text: "Seat B (10.0.0.6)",
                  detail: "[Received] 03:04:05   [Next time]: 10" }
            ]
        }
        function test_text(data) {
            compare(Rules.title(data.alarm, tr), data.title)
            compare(Rules.text(data.alarm), data.text)
            compare(Rules.detail(data.alarm, tr), data.detail)
        }
    }

    TestCase {
        name: "AlarmPanel"
        when: windowShown

        function panel() {
            for (var i = 0; i < host.children.length; ++i) {
                if (host.children[i].eventOver !== undefined)
                    return host.children[i]
            }
            return null
        }
        function cards() {
            var out = []
            var p = panel()
            function walk(item) {
                for (var i = 0; i < item.children.length; ++i) {
                    var c = item.children[i]
                    if (String(c.objectName).indexOf("alarm_") === 0)
                        out.push(c)
                    walk(c)
                }
            }
            walk(p)
            return out
        }
        function shownTexts(card) {
            var out = []
            function walk(item) {
                for (var i = 0; i < item.children.length; ++i) {
                    var c = item.children[i]
                    if (c.text !== undefined && c.font !== undefined && c.elide !== undefined)
                        out.push(c.text)
                    walk(c)
                }
            }
            walk(card)
            return out
        }

        function init() {
            host.clear()
            ImApi.reset()
            panel().now = function () { return new Date(2026, 0, 2, 3, 4, 5) }
        }

        // The background's progress moves per output and goes away after the last one.
        function test_backgroundProgress() {
            var progress = null
            for (var i = 0; i < host.children.length; ++i) {
                if (host.children[i].objectName === "uploadProgress")
                    progress = host.children[i]
            }
            verify(progress && !progress.visible)
            ImApi.callLoadBKImage(1, 4)
            verify(progress.visible)
            compare([progress.current, progress.total], [1, 4])
            ImApi.callLoadBKImage(4, 4)
            compare(progress.current, 4)
            tryVerify(function () { return !progress.visible }, 3000, "the finished progress goes away")
        }

        function test_anAudioAlarmIsShownAndAnswered() {
            verify(!panel().visible)
            ImApi.callQmlAudioEvent("Hall mic", "e1", 30)
            verify(panel().visible)
            compare(cards().length, 1)
            var texts = shownTexts(cards()[0])
            verify(texts.indexOf("Hall mic") >= 0, texts)
            verify(texts.indexOf("Received 03:04:05   Next time: 30") >= 0, texts)
            mouseClick(findChild(cards()[0], "alarmSelect"))
            compare(ImApi.named("serverAudioEvent"), [["e1", true, 30]])
            compare(cards().length, 0)
            verify(!panel().visible)
        }
        function test_theOperatorGivesTheNextTime() {
            ImApi.callQmlAudioEvent("Hall mic", "e1", 30)
            var field = findChild(cards()[0], "alarmNextTime")
            field.selectAll()
            field.forceActiveFocus()
            keyClick(Qt.Key_Backspace)
            keyClick(Qt.Key_4)
            keyClick(Qt.Key_5)
            mouseClick(findChild(cards()[0], "alarmIgnore"))
            compare(ImApi.named("serverAudioEvent"), [["e1", false, 45]])
        }
        function test_anInputAlarmIsAnsweredToItsRequester() {
            ImApi.callQmlVideoEvent("Seat B", 10, "10.0.0.72", 6000, "10.0.0.6")
            verify(shownTexts(cards()[0]).indexOf("Seat B (10.0.0.6)") >= 0)
            mouseClick(findChild(cards()[0], "alarmSelect"))
            compare(ImApi.named("serverVideoEvent"), [["10.0.0.6", 10, "10.0.0.72", 6000]])
        }
        function test_ignoringAnInputAlarmOnlyClosesItHere() {
            ImApi.callQmlVideoEvent("Seat B", 10, "10.0.0.72", 6000, "10.0.0.6")
            mouseClick(findChild(cards()[0], "alarmIgnore"))
            compare(ImApi.calls, [])
            compare(cards().length, 0)
        }
        function test_aRepeatUpdatesTheOpenAlarm() {
            ImApi.callQmlAudioEvent("Hall mic", "e1", 30)
            ImApi.callQmlVideoEvent("Seat B", 10, "10.0.0.72", 6000, "10.0.0.6")
            ImApi.callQmlAudioEvent("Hall mic", "e1", 60)
            compare(cards().length, 2)
            compare(panel().alarms.map(function (a) { return a.key + ":" + a.nextTime }), ["e1:60", "10.0.0.6:10"])
            verify(shownTexts(cards()[0]).indexOf("Received 03:04:05   Next time: 60") >= 0)
        }
        function test_anotherClientsAnswerClosesTheAlarm_data() {
            return [
                { tag: "audio answered elsewhere", cmd: "ActiveAudio", left: ["10.0.0.6"] },
                { tag: "input answered elsewhere", cmd: "ActiveInput", left: ["e1", "e2"] }
            ]
        }
        function test_anotherClientsAnswerClosesTheAlarm(data) {
            ImApi.callQmlAudioEvent("Hall mic", "e1", 30)
            ImApi.callQmlVideoEvent("Seat B", 10, "10.0.0.72", 6000, "10.0.0.6")
            ImApi.callQmlAudioEvent("Lobby", "e2", 30)
            ImApi.callQmlEventOver(data.cmd)
            compare(panel().alarms.map(function (a) { return a.key }), data.left)
            compare(cards().length, data.left.length)
            compare(ImApi.calls, [], "closing answers nothing")
        }
        // A flood of distinct alarms keeps the newest open only, counts what made way, draws
        // the newest few cards, and each card still answers its own alarm.
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
        function test_logoutClearsTheAlarms() {
            ImApi.callQmlAudioEvent("Hall mic", "e1", 30)
            host.clear()
            verify(!panel().visible)
        }
    }
}
