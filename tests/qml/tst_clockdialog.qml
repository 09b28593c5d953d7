import QtQuick 2.15
import QtTest 1.15
import "../../qml/Design2.0"
import "Items.js" as Items

// The clock dialog through the page host: a late report of the wall's clocks fills a dialog
// the operator has not touched, never one being edited.
Item {
    id: root
    width: 1280
    height: 800

    Content { id: host; anchors.fill: parent }

    TestCase {
        name: "ClockDialog"
        when: windowShown

        readonly property var reported: [
            { xPos: "0", yPos: "0", w: "400", h: "100", content: "yyyy-MM-dd\nhh:mm:ss", bkClr: "#000000", fontClr: "#ffffff", fontSize: "32" },
            { xPos: "0", yPos: "100", w: "400", h: "60", content: "hh:mm", bkClr: "#101010", fontClr: "#ff0000", fontSize: "24" }
        ]
        function dialog() { return Items.first(host, function (c) { return c.clocks !== undefined }) }
        function editor(key) { return findChild(dialog(), "clockEdit_" + key) }

        function init() {
            host.clear()
            ImApi.reset()
            ImApi.callCustomProtocol("InlineEditClocks", ["1"])
            ImApi.callRefreshClocks(reported)
        }

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
