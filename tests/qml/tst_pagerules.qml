import QtQuick 2.15
import QtTest 1.15
import "../../qml/js/PageRules.js" as PageRules

TestCase {
    name: "PageRules"

    // Registries of plain entries, each named "<kind>:<designName>" for the comparisons.
    function registries(entries) {
        var r = PageRules.emptyRegistries()
        for (var i = 0; i < entries.length; ++i) {
            var e = entries[i]
            r[e[0]].push({ tag: e[0] + ":" + e[1], designName: e[1], panelId: e[2] !== undefined ? e[2] : "" })
        }
        return r
    }
    function tags(list) { return list.map(function (e) { return e.tag }) }

    // Each kind of the lookup order wins over every kind after it.
    function test_visibilityOrder_data() {
        var order = ["signalList", "button", "rect", "text", "date", "matrix", "inputBox", "web", "docker", "slider", "login"]
        var rows = []
        for (var i = 0; i < order.length; ++i)
            rows.push({ tag: order[i] + " first", kinds: order.slice(i), first: order[i] })
        rows.push({ tag: "monitors, tree views, list views and pages are not searched",
                    kinds: ["monitor", "treeView", "listView", "page"], first: null })
        return rows
    }
    function test_visibilityOrder(data) {
        var r = registries(data.kinds.map(function (k) { return [k, "same"] }))
        compare(tags(PageRules.visibilityTargets(r, "same")), data.first ? [data.first + ":same"] : [])
    }

    function test_firstPageIndex_data() {
        var g = { pageId: "g", isGlobalPage: true }, a = { pageId: "a" }, b = { pageId: "b" }
        return [
            { tag: "skips the global page", pages: [g, a, b], permitted: ["g", "a", "b"], index: 1 },
            { tag: "skips refused pages", pages: [g, a, b], permitted: ["b"], index: 2 },
            { tag: "creation order decides", pages: [b, g, a], permitted: ["a", "b"], index: 0 },
            { tag: "a permitted global page alone is not enough", pages: [g, a], permitted: ["g"], index: -1 }
        ]
    }
    function test_firstPageIndex(data) {
        compare(PageRules.firstPageIndex(data.pages, function (id) { return data.permitted.indexOf(id) >= 0 }), data.index)
    }

    // A saved scene's id reads back as the layout it was saved with.
    function test_sceneId() {
        compare(PageRules.sceneId(1700000000123, 3, 2, 4), "1700000000123_dock=3-2-4")
        compare(PageRules.sceneDock(PageRules.sceneId(5, 0, 1, 1)), { dock: 0, rows: 1, cols: 1 })
    }
}
