import QtQuick 2.15
import QtTest 1.15
import "../../qml/Design2.0"
import "../../qml/js/PageRules.js" as PageRules
import "Items.js" as Items

// Saving a scene from the pages: the id carries the wall's layout, a blank name is refused.
Item {
    width: 800
    height: 600

    Content { id: host; anchors.fill: parent }

    TestCase {
        name: "SceneSave"
        when: windowShown

        function dialogBox() { return Items.first(host, function (c) { return c.options !== undefined && c.accept !== undefined }) }
        function typeAndAccept(text) {
            var d = dialogBox()
            findChild(d, "hostDialogField").text = text
            d.accept()
            return d.visible
        }
        function init() { host.clear(); ImApi.reset() }

        function test_save_data() {
            return [
                { tag: "from the wall's scene tool", via: "tool", names: ["Morning"], id: { dock: 2, rows: 2, cols: 3 } },
                { tag: "an empty name keeps the dialog open", via: "command", names: ["", "  ", "Late"], id: { dock: 2, rows: 2, cols: 3 } }
            ]
        }
        function test_save(data) {
            ImApi.callQmlCreateVX2Screen("-1", { objectName: "w1", id: 1 })
            var wall = host.wallById("1")
            wall.setCut(2, 3)
            wall.dock = 2
            ImApi.reset()
            ImApi.selPanel = "1"
            if (data.via === "tool") {
                ImApi.callQmlCreateVX2Button("-1", { objectName: "w1-bt_preset", panel_id: "1", globalPos: { x: 0, y: 0, width: 100, height: 40 },
                                                     autoLift: false, buttonGroup: -1, eventAttrList: [] })
                mouseClick(host.find("button", "w1-bt_preset"), 10, 10)
                dialogBox().accept() // the first entry: save
            } else {
                ImApi.callCustomProtocol("InlineSavePanelScene", [])
            }
            for (var i = 0; i < data.names.length; ++i)
                compare(typeAndAccept(data.names[i]), i < data.names.length - 1, "open after \"" + data.names[i] + "\"")
            var saved = ImApi.named("ServerSaveScene")
            compare(saved.length, 1)
            compare(saved[0][1], data.names[data.names.length - 1])
            verify(/^\d+_dock=\d+-\d+-\d+$/.test(saved[0][0]), saved[0][0])
            // The layout a recalled scene restores is the one saved.
            compare(PageRules.sceneDock(saved[0][0]), data.id)
        }
    }
}
