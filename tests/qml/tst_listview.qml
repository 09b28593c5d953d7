import QtQuick 2.15
import QtTest 1.15
import "../../qml/Design2.0"

// Designed list views and web views on the page host; the user may see the pages "Home"
// and "Second" (pages "a" and "b").
Item {
    id: root
    width: 800
    height: 600

    Content { id: host; anchors.fill: parent }

    TestCase {
        name: "ListAndWebViews"
        when: windowShown

        function pos() { return { x: 10, y: 10, width: 200, height: 200 } }
        function page(id) { return host.registries.page.filter(function (p) { return p.pageId === id })[0] }
        function init() {
            host.clear()
            ImApi.reset()
            ImApi.pages = ["Home", "Second"]
            ImApi.callQmlCreateVX2Page({ objectName: "A", pageId: "a" })
            ImApi.callQmlCreateVX2Page({ objectName: "B", pageId: "b" })
            ImApi.permitted = ["a", "b"]
            ImApi.callQmlInitPanel()
            ImApi.calls = []
        }
        function list(map) {
            if (!map.globalPos)
                map.globalPos = pos()
            ImApi.callQmlCreateList(0, map)
            var all = host.registries.listView
            return all[all.length - 1]
        }
        function clickEntry(view, i) {
            var e = findChild(view, "listEntry" + i)
            verify(e, "entry " + i)
            mouseClick(e)
        }

        function test_entries_data() {
            return [
                { tag: "a page switch lists the user's pages", map: { uuid: "L", pageSwitch: 1 }, entries: ["Home", "Second"] },
                { tag: "the design's own key spelling", map: { UUID: "L", PageSwitch: "1" }, entries: ["Home", "Second"] },
                { tag: "otherwise its groups", map: { uuid: "L", groupList: ["g1", "g2", "g3"] }, entries: ["g1", "g2", "g3"] }
            ]
        }
        function test_entries(data) {
            var v = list(data.map)
            compare(v.designName, "L")
            compare(v.entries, data.entries)
            compare(v.width, 200)
        }

        function test_clickSwitchesPage() {
            var v = list({ uuid: "L", pageSwitch: 1 })
            ImApi.selPanel = "7"
            clickEntry(v, 1)
            compare(ImApi.named("setCurrentPageFromPrivate"), [[1]])
            compare(ImApi.selPanel, "-1", "the wall selection is cleared")
            verify(page("b").visible)
            verify(!page("a").visible)
            compare(v.current, 1)
        }

        function test_clickOnGroupsSwitchesNoPage() {
            var v = list({ uuid: "L", groupList: ["g1", "g2"] })
            clickEntry(v, 1)
            compare(ImApi.named("setCurrentPageFromPrivate"), [])
            compare(v.current, 1)
            verify(page("a").visible)
        }

        function test_switchGroup_data() {
            return [
                { tag: "by name", group: "g2", current: 1 },
                { tag: "by number", group: "0", current: 0 },
                { tag: "unknown", group: "zz", current: -1 }
            ]
        }
        function test_switchGroup(data) {
            var first = list({ uuid: "L", groupList: ["g1", "g2"] })
            var second = list({ uuid: "L", groupList: ["g1", "g2"] })
            var other = list({ uuid: "M", groupList: ["g1", "g2"] })
            ImApi.callCustomProtocol("InlineSwitchListGroup", ["L", data.group])
            compare(first.current, data.current)
            compare(second.current, data.current, "every list view of that uuid")
            compare(other.current, -1)
        }

        // Under the offscreen platform the web engine cannot run: the view is the placeholder
        // with the address, and reloading it is harmless.
        function test_webFallsBack() {
            ImApi.callQmlCreateVX2Web("a", { objectName: "w1", url: "intranet.local/board", preloadEnable: true, globalPos: pos() })
            var w = host.find("web", "w1")
            verify(w)
            compare(w.url, "http://intranet.local/board")
            verify(!w.possible)
            verify(w.failed)
            verify(!w.live)
            compare(w.caption, "intranet.local/board")
            ImApi.callCustomProtocol("InlineWebReload", ["w1"])
            verify(!w.live)
        }
    }
}
