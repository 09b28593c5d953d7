import QtQuick 2.15
import QtTest 1.15
import "../../qml/Design2.0"
import "../../qml/js/ClockRules.js" as Rules

// The clock dialog through the page host: the design command opens it, the wall's clock list
// fills it, and the edited list goes back whole.
Item {
    id: root
    width: 1280
    height: 800

    Content { id: host; anchors.fill: parent }

    TestCase {
        name: "ClockRules"

        function test_clock_data() {
            return [
                { tag: "numbers become text", map: { content: "hh:mm", xPos: 10, yPos: 20, w: 300, h: 80, bkClr: "#000000", fontClr: "#ffffff", fontSize: 24 },
                  out: { content: "hh:mm", xPos: "10", yPos: "20", w: "300", h: "80", bkClr: "#000000", fontClr: "#ffffff", fontSize: "24" } },
                { tag: "missing keys are empty, others dropped", map: { content: "a\nb", extra: 1 },
                  out: { content: "a\nb", xPos: "", yPos: "", w: "", h: "", bkClr: "", fontClr: "", fontSize: "" } }
            ]
        }
        function test_clock(data) {
            compare(Rules.clock(data.map), data.out)
        }
        function test_newClock_data() {
            return [
                { tag: "the first at the top", list: [], y: "0" },
                { tag: "below the lowest one", list: [{ yPos: "100", h: "50" }, { yPos: "0", h: "120" }], y: "150" }
            ]
        }
        function test_newClock(data) {
            var c = Rules.newClock(data.list)
            compare(c.yPos, data.y)
            compare(Object.keys(Rules.clock(c)).sort(), Rules.keys.slice().sort())
        }
        function test_label() {
            compare(Rules.label({ content: "yyyy-MM-dd\nhh:mm", xPos: "1", yPos: "2", w: "3", h: "4" }), "yyyy-MM-dd   (1, 2, 3 × 4)")
        }
    }

    TestCase {
        name: "ClockDialog"
        when: windowShown

        readonly property var reported: [
            { xPos: "0", yPos: "0", w: "400", h: "100", content: "yyyy-MM-dd\nhh:mm:ss", bkClr: "#000000", fontClr: "#ffffff", fontSize: "32" },
            { xPos: "0", yPos: "100", w: "400", h: "60", content: "hh:mm", bkClr: "#101010", fontClr: "#ff0000", fontSize: "24" }
        ]
        function dialog() {
            for (var i = 0; i < host.children.length; ++i) {
                if (host.children[i].clocks !== undefined)
                    return host.children[i]
            }
            return null
        }
        function editor(key) { return findChild(dialog(), "clockEdit_" + key) }
        function click(name) { mouseClick(findChild(dialog(), name)) }
        function saved() { return ImApi.named("serverSetClocks").map(function (args) { return args[0] }) }

        function init() {
            host.clear()
            ImApi.reset()
            ImApi.callCustomProtocol("InlineEditClocks", ["1"])
            ImApi.callRefreshClocks(reported)
        }

        function test_theCommandOpensTheDialogWithTheWallsClocks() {
            verify(dialog().visible)
            compare(dialog().clocks, reported)
            compare(dialog().current, 0)
            compare(editor("content").text, "yyyy-MM-dd\nhh:mm:ss")
            compare(editor("fontSize").text, "32")
        }
        function test_savedUnchanged() {
            click("clockSave")
            compare(saved(), [reported])
        }
        function test_editedClockIsSaved() {
            dialog().select(1)
            compare(editor("h").text, "60")
            editor("w").text = "500"
            editor("content").text = "hh:mm\nss"
            click("clockSave")
            var second = Rules.clock(reported[1])
            second.w = "500"
            second.content = "hh:mm\nss"
            compare(saved(), [[reported[0], second]])
        }
        function test_typingEditsTheSelectedClock() {
            var field = editor("fontClr")
            field.selectAll()
            field.forceActiveFocus()
            keyClick(Qt.Key_Backspace)
            keyClick(Qt.Key_NumberSign)
            keyClick(Qt.Key_0)
            click("clockSave")
            compare(saved()[0][0].fontClr, "#0")
            compare(saved()[0][1], reported[1])
        }
        function test_addAndRemove() {
            click("clockAdd")
            compare(dialog().current, 2)
            compare(editor("yPos").text, "160", "the new clock goes below the others")
            dialog().select(0)
            click("clockRemove")
            compare(dialog().current, 0)
            compare(editor("content").text, "hh:mm")
            click("clockSave")
            compare(saved(), [[reported[1], Rules.newClock(reported)]])
        }
        function test_removingEveryClockSavesAnEmptyList() {
            click("clockRemove")
            click("clockRemove")
            compare(dialog().current, -1)
            click("clockSave")
            compare(saved(), [[]])
        }
        // A late report fills a dialog the operator has not touched, never one being edited.
        function test_aLateReport_data() {
            return [
                { tag: "before any edit it replaces the list", edit: false, w: "400", clocks: 1 },
                { tag: "after an edit the edit stays", edit: true, w: "999", clocks: 2 }
            ]
        }
        function test_aLateReport(data) {
            if (data.edit)
                editor("w").text = "999"
            ImApi.callRefreshClocks([reported[1]])
            compare(dialog().clocks.length, data.clocks)
            compare(editor("w").text, data.w)
        }
    }
}
