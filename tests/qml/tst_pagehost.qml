import QtQuick 2.15
import QtTest 1.15
import "../../qml/Design2.0"

Item {
    id: root
    width: 800
    height: 600

    Content { id: host; anchors.fill: parent }

    TestCase {
        name: "PageHost"
        when: windowShown

        function pos(x, y) { return { x: x, y: y, width: 100, height: 40 } }
        function button(name, pageId, extra) {
            ImApi.callQmlCreateVX2Button(pageId, Object.assign({ objectName: name, globalPos: pos(0, 0), autoLift: false, buttonGroup: -1,
                                                                 eventAttrList: [] }, extra))
            return host.find("button", name)
        }

        function init() {
            host.clear()
            ImApi.reset()
        }

        // A wall "wallA" (id 1) with its tool items, another wall's button, and a signal list of wall 1.
        function test_visibility_data() {
            return [
                { tag: "a wall name hides the wall and its buttons, rects and texts", name: "wallA",
                  hidden: ["screen:wallA", "button:tool1", "rect:bar1", "text:cap1"] },
                { tag: "an item name hides that item only", name: "tool2", hidden: ["button:tool2"] },
                { tag: "an unknown name hides nothing", name: "nothing", hidden: [] }
            ]
        }
        function test_visibility(data) {
            ImApi.callQmlCreateVX2Screen("-1", { objectName: "wallA", id: 1, globalPos: pos(0, 0) })
            ImApi.callQmlCreateVX2Screen("-1", { objectName: "wallB", id: 2, globalPos: pos(0, 0) })
            button("tool1", "-1", { panel_id: 1 })
            button("tool2", "-1", { panel_id: 2 })
            ImApi.callQmlCreateVX2Rect("-1", { objectName: "bar1", panel_id: 1 })
            ImApi.callQmlCreateVX2Text("-1", { objectName: "cap1", panel_id: 1 })
            ImApi.callQmlCreateVX2Preview("-1", { objectName: "list1", panel_id: 1 })
            var all = {}
            var kinds = ["screen", "button", "rect", "text", "signalList"]
            for (var i = 0; i < kinds.length; ++i)
                host.registries[kinds[i]].forEach(function (item) { all[kinds[i] + ":" + item.designName] = item })
            compare(Object.keys(all).length, 7)
            for (var flag = 0; flag < 2; ++flag) {
                ImApi.callSetWidgetVisible([data.name], flag === 1)
                for (var k in all)
                    compare(all[k].visible, flag === 1 || data.hidden.indexOf(k) < 0, k)
            }
        }
    }
}
