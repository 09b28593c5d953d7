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

    readonly property var wallEntries: [
        ["screen", "wallA", "1"], ["screen", "wallB", "2"], ["button", "b1", "1"], ["button", "b2", "2"],
        ["rect", "r1", "1"], ["text", "t1", "1"], ["text", "t2", "1"], ["signalList", "s1", "1"],
        ["slider", "k1", "1"], ["button", "wallB", ""]
    ]

    function test_visibilityWall_data() {
        return [
            { tag: "a wall reaches its buttons, rects and texts, not its signal list or slider", name: "wallA",
              targets: ["screen:wallA", "button:b1", "rect:r1", "text:t1", "text:t2"] },
            { tag: "a wall name wins over a button of that name", name: "wallB", targets: ["screen:wallB", "button:b2"] },
            { tag: "a tied button alone", name: "b1", targets: ["button:b1"] },
            { tag: "unknown name", name: "nothing", targets: [] }
        ]
    }
    function test_visibilityWall(data) {
        compare(tags(PageRules.visibilityTargets(registries(wallEntries), data.name)), data.targets)
    }

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
            { tag: "a permitted global page alone is not enough", pages: [g, a], permitted: ["g"], index: -1 },
            { tag: "no pages", pages: [], permitted: ["a"], index: -1 }
        ]
    }
    function test_firstPageIndex(data) {
        compare(PageRules.firstPageIndex(data.pages, function (id) { return data.permitted.indexOf(id) >= 0 }), data.index)
    }

    function test_sceneDock_data() {
        return [
            { tag: "dock part in the middle", id: "123_dock=3-2-2_x", dock: { dock: 3, rows: 2, cols: 2 } },
            { tag: "rows and columns differ", id: "7_dock=4-1-3", dock: { dock: 4, rows: 1, cols: 3 } },
            { tag: "the first dock part counts", id: "1_dock=5-2-3_dock=6-1-1", dock: { dock: 5, rows: 2, cols: 3 } },
            { tag: "no dock part", id: "123_scene", dock: null },
            { tag: "dock inside a part does not count", id: "123_xdock=3-2-2", dock: null },
            { tag: "two numbers", id: "123_dock=3-2", dock: null },
            { tag: "not numbers", id: "123_dock=a-b-c", dock: null },
            { tag: "a number with a tail", id: "123_dock=3x-2-2", dock: null },
            { tag: "zero rows", id: "123_dock=3-0-2", dock: null },
            { tag: "empty", id: "", dock: null },
            { tag: "undefined", id: undefined, dock: null }
        ]
    }
    function test_sceneDock(data) { compare(PageRules.sceneDock(data.id), data.dock) }
    // A saved scene's id reads back as the layout it was saved with.
    function test_sceneId() {
        compare(PageRules.sceneId(1700000000123, 3, 2, 4), "1700000000123_dock=3-2-4")
        compare(PageRules.sceneDock(PageRules.sceneId(5, 0, 1, 1)), { dock: 0, rows: 1, cols: 1 })
    }

    function test_dockLayoutIndex_data() {
        return [
            { tag: "free and full layouts come first", dock: 3, free: 1, full: 1, index: 0 },
            { tag: "no free or full layout", dock: 3, free: 0, full: 0, index: 2 },
            { tag: "flags as booleans", dock: 4, free: true, full: false, index: 2 },
            { tag: "the free layout itself", dock: 1, free: 1, full: 0, index: -1 },
            { tag: "dock 0 is none", dock: 0, free: 0, full: 0, index: -1 }
        ]
    }
    function test_dockLayoutIndex(data) { compare(PageRules.dockLayoutIndex(data.dock, data.free, data.full), data.index) }

    function test_textControl_data() {
        return [
            { tag: "append", current: "ab", op: "append", text: "c", result: "abc" },
            { tag: "append nothing", current: "ab", op: "append", text: undefined, result: "ab" },
            { tag: "set", current: "ab", op: "set", text: "xyz", result: "xyz" },
            { tag: "del removes the last character", current: "abc", op: "del", text: "", result: "ab" },
            { tag: "del on empty", current: "", op: "del", text: "", result: "" },
            { tag: "clear", current: "abc", op: "clear", text: "x", result: "" },
            { tag: "unknown operation keeps the text", current: "abc", op: "upper", text: "x", result: "abc" },
            { tag: "no text yet", current: undefined, op: "append", text: "a", result: "a" }
        ]
    }
    function test_textControl(data) { compare(PageRules.textControl(data.current, data.op, data.text), data.result) }

    function test_parentFor_data() {
        return [
            { tag: "-1 is the host", id: -1, parent: "host" },
            { tag: "\"-1\" is the host", id: "-1", parent: "host" },
            { tag: "login page", id: "%LoginWidget%", parent: "login" },
            { tag: "page by id", id: "p2", parent: "page:two" },
            { tag: "numeric id finds the page of that text", id: 7, parent: "page:seven" },
            { tag: "unknown id", id: "p9", parent: null }
        ]
    }
    function test_parentFor(data) {
        var r = PageRules.emptyRegistries()
        r.page = [{ tag: "page:one", pageId: "p1" }, { tag: "page:two", pageId: "p2" }, { tag: "page:seven", pageId: "7" }]
        var p = PageRules.parentFor(r, data.id)
        compare(p !== null && typeof p === "object" ? p.tag : p, data.parent)
    }
}
