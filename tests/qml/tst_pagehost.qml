import QtQuick 2.15
import QtTest 1.15
import "../../qml/Design2.0"

Item {
    id: root
    width: 800
    height: 600

    Content { id: host; anchors.fill: parent }
    SignalSpy { id: firstShown; target: host; signalName: "firstPageShown" }

    TestCase {
        name: "PageHost"
        when: windowShown

        function pos(x, y) { return { x: x, y: y, width: 100, height: 40 } }
        // Pages "g" (global), "a" and "b", in that order.
        function pages() {
            ImApi.callQmlCreateVX2Page({ objectName: "G", pageId: "g", isGlobalPage: true })
            ImApi.callQmlCreateVX2Page({ objectName: "A", pageId: "a" })
            ImApi.callQmlCreateVX2Page({ objectName: "B", pageId: "b" })
        }
        function page(id) { return host.registries.page.filter(function (p) { return p.pageId === id })[0] }
        function shown() { return host.registries.page.filter(function (p) { return p.visible }).map(function (p) { return p.pageId }) }
        function dialogBox() {
            for (var i = 0; i < host.children.length; ++i) {
                var c = host.children[i]
                if (c.options !== undefined && c.accept !== undefined)
                    return c
            }
            return null
        }
        function button(name, pageId, extra) {
            var map = { objectName: name, globalPos: pos(0, 0), autoLift: false, buttonGroup: -1, eventAttrList: [] }
            for (var k in extra)
                map[k] = extra[k]
            ImApi.callQmlCreateVX2Button(pageId, map)
            return host.find("button", name)
        }

        property int baseChildren: 0
        function initTestCase() { baseChildren = host.children.length }
        function init() {
            host.clear()
            ImApi.reset()
            firstShown.clear()
        }

        function test_create_data() {
            return [
                { tag: "button on its page", sig: "callQmlCreateVX2Button", kind: "button", pageId: "a", parent: "a" },
                { tag: "rect on the host for -1", sig: "callQmlCreateVX2Rect", kind: "rect", pageId: "-1", parent: "host" },
                { tag: "text on a page id no page has is not created", sig: "callQmlCreateVX2Text", kind: "text", pageId: "zz", parent: null,
                  warn: "no page zz for the text w1" },
                { tag: "a login page item is not created here", sig: "callQmlCreateVX2Button", kind: "button", pageId: "%LoginWidget%", parent: null },
                { tag: "wall screen", sig: "callQmlCreateVX2Screen", kind: "screen", pageId: "b", parent: "b" },
                { tag: "slider", sig: "callQmlCreateVX2Slider", kind: "slider", pageId: "-1", parent: "host" },
                { tag: "date on a global page", sig: "callQmlCreateVX2Date", kind: "date", pageId: "g", parent: "g" },
                { tag: "input box", sig: "callQmlCreateVX2InputBox", kind: "inputBox", pageId: "-1", parent: "host" },
                { tag: "signal list", sig: "callQmlCreateVX2Preview", kind: "signalList", pageId: "-1", parent: "host" },
                { tag: "matrix by page index", sig: "callQmlCreateMatrix", kind: "matrix", pageId: 2, parent: "b" },
                { tag: "list view by page index", sig: "callQmlCreateList", kind: "listView", pageId: 1, parent: "a" },
                { tag: "matrix on an index past the pages", sig: "callQmlCreateMatrix", kind: "matrix", pageId: 3, parent: null }
            ]
        }
        function test_create(data) {
            pages()
            var map = { objectName: "w1", uuid: "w1", globalPos: pos(10, 20) }
            if (data.warn)
                ignoreWarning(data.warn)
            ImApi[data.sig](data.pageId, map)
            var list = host.registries[data.kind]
            compare(list.length, data.parent === null ? 0 : 1)
            if (data.parent === null)
                return
            compare(list[0].parent, data.parent === "host" ? host : page(data.parent))
            compare(list[0].map.objectName, "w1")
            compare(list[0].x, 10)
        }

        function test_componentReuse() {
            button("b1", "-1")
            button("b2", "-1")
            var cached = host.componentCache.button
            verify(cached)
            button("b3", "-1")
            verify(host.componentCache.button === cached)
            compare(host.registries.button.length, 3)
            ImApi.callQmlCreateVX2Preview("-1", { objectName: "s1" })
            ImApi.callQmlCreateVX2Preview("-1", { objectName: "s2" })
            compare(host.registries.signalList.length, 2)
            verify(host.componentCache.signalList === undefined, "signal lists get a fresh component")
        }

        function test_firstPage_data() {
            return [
                { tag: "global pages and the first permitted page", permitted: ["b"], shown: ["g", "b"], index: 2, first: "b" },
                { tag: "the first permitted page in creation order", permitted: ["a", "b"], shown: ["g", "a"], index: 1, first: "a" },
                { tag: "no permitted page: only the global one", permitted: ["g"], shown: ["g"], index: 0, first: "" }
            ]
        }
        function test_firstPage(data) {
            pages()
            button("latch", "a")
            ImApi.reset()
            ImApi.permitted = data.permitted
            if (!data.first)
                ignoreWarning("no page of the design is permitted for this user")
            ImApi.callQmlInitPanel()
            compare(shown(), data.shown)
            compare(ImApi.currentPage, data.index)
            compare(host.currentPage ? host.currentPage.pageId : "", data.first)
            compare(firstShown.count, data.first ? 1 : 0)
            compare(ImApi.named("ServerGetStatus"), [["latch"]], "latching buttons ask for their state")
        }

        function test_switchPage_data() {
            return [
                { tag: "permitted: shown, its walls asked, global stays", target: "b", permitted: ["a", "b"], shown: ["g", "b"], index: 2, windows: [["9"]], warned: false },
                { tag: "refused: the warning and nothing else", target: "b", permitted: ["a"], shown: ["g", "a"], index: 1, windows: [], warned: true }
            ]
        }
        function test_switchPage(data) {
            pages()
            ImApi.callQmlCreateVX2Screen("b", { objectName: "wallB", id: 9, globalPos: pos(0, 0) })
            ImApi.callQmlCreateVX2Screen("a", { objectName: "wallA", id: 8, globalPos: pos(0, 0) })
            ImApi.permitted = data.permitted
            ImApi.callQmlInitPanel()
            var asked = ImApi.named("ServerGetWindows").length
            ImApi.callCustomProtocol("InlineSwitchPage", [data.target])
            compare(shown(), data.shown)
            compare(ImApi.currentPage, data.index)
            compare(ImApi.named("ServerGetWindows").slice(asked), data.windows)
            var d = dialogBox()
            compare(d.visible, data.warned)
            compare(d.options.text, data.warned ? "No permission access!" : undefined)
        }

        function test_selectByIndexHidesGlobalPages() {
            pages()
            ImApi.callQmlCreateVX2Screen("b", { objectName: "wallB", id: 9, globalPos: pos(0, 0) })
            ImApi.permitted = ["a", "b"]
            ImApi.callQmlInitPanel()
            ImApi.selPanel = "9"
            ImApi.reset()
            host.selectPageByIndex(2)
            compare(shown(), ["b"])
            compare(ImApi.named("setCurrentPageFromPrivate"), [[2]])
            compare(ImApi.selPanel, "-1")
            compare(ImApi.named("ServerGetWindows"), [["9"]])
            compare(host.registries.screen[0].focused, false)
        }

        function test_walls_data() {
            return [
                { tag: "by its id", map: { objectName: "w", id: 12 }, asked: "12" },
                { tag: "a KVM wall asks for 100", map: { objectName: "w", id: 12, isKvmVWall: true }, asked: "100" }
            ]
        }
        function test_walls(data) {
            ImApi.callQmlCreateVX2Screen("-1", data.map)
            compare(ImApi.named("ServerGetWindows"), [[data.asked]])
            compare(host.wallById(12), host.registries.screen[0])
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

        function test_buttonGroups() {
            var ids = ["g1a", "g1b", "g1c", "g2a"]
            for (var i = 0; i < ids.length; ++i)
                button(ids[i], "-1", { buttonGroup: i < 3 ? 1 : 2, globalPos: pos(i * 110, 0),
                                       eventAttrList: [{ action: "Clicked", behavior: "SendData", value: { data: ids[i] } }] })
            var b = ids.map(function (n) { return host.find("button", n) })
            mouseClick(b[3], 50, 20)
            mouseClick(b[0], 50, 20)
            compare(b.map(function (x) { return x.checked }), [true, false, false, true])
            ImApi.reset()
            mouseClick(b[1], 50, 20)
            compare(b.map(function (x) { return x.checked }), [false, true, false, true], "only its own group is unchecked")
            compare(ImApi.named("ServerSetStatus"), [["g1b", "B_g1b_1"], ["g1a", "B_g1a_0"]])
            compare(ImApi.named("ServerVX2ButtonCmd"), [], "grouped buttons do not click")
        }

        function test_refreshRouting_data() {
            return [
                { tag: "button by uuid", sig: "callQmlRefreshButton", map: { uuid: "b2", value: "1" }, b: [false, true] },
                { tag: "button with initialTrigger performs", sig: "callQmlRefreshButton", map: { uuid: "b1", value: "1" }, b: [true, false],
                  sent: [["b1", "B_b1_1"]] },
                { tag: "button act refresh never performs", sig: "callQmlRefreshButtonAct", map: { uuid: "b1", value: "1" }, b: [true, false] },
                { tag: "slider by uuid", sig: "callQmlRefreshSlider", map: { uuid: "s2", value: 70 }, s: [0, 70] },
                { tag: "matrix by uuid", sig: "callQmlRefreshMatrix", map: { uuid: "m1", value: ["1", "0"], preset: [] }, m: "M_m1_1_0" },
                { tag: "an unknown uuid changes nothing", sig: "callQmlRefreshButton", map: { uuid: "zz", value: "1" }, b: [false, false] }
            ]
        }
        function test_refreshRouting(data) {
            pages()
            button("b1", "-1", { initialTrigger: true, eventAttrList: [{ action: "ButtonPressed", behavior: "SendData", value: { data: "P" } }] })
            button("b2", "-1")
            ImApi.callQmlCreateVX2Slider("-1", { objectName: "s1" })
            ImApi.callQmlCreateVX2Slider("-1", { objectName: "s2" })
            ImApi.callQmlCreateMatrix(0, { uuid: "m1", row: 2, col: 2 })
            ImApi.reset()
            ImApi[data.sig](data.map)
            compare([host.find("button", "b1").checked, host.find("button", "b2").checked], data.b || [false, false])
            compare([host.find("slider", "s1").value, host.find("slider", "s2").value], data.s || [0, 0])
            compare(host.find("matrix", "m1").stateText(), data.m || "M_m1_-1_-1")
            compare(ImApi.named("ServerVX2SliderCmd").concat(ImApi.named("ServerMatrixCmd")), [], "refreshes send nothing back")
            compare(ImApi.named("ServerSetStatus"), data.sent || [])
            compare(ImApi.named("ServerVX2ButtonCmd").length, data.sent ? 1 : 0)
        }

        function test_textControl_data() {
            return [
                { tag: "append", params: ["append", "t1", "!"], t1: "Hall!", t2: "Lobby" },
                { tag: "set", params: ["set", "t2", "Foyer"], t1: "Hall", t2: "Foyer" },
                { tag: "del", params: ["del", "t1", ""], t1: "Hal", t2: "Lobby" },
                { tag: "clear", params: ["clear", "t2", ""], t1: "Hall", t2: "" },
                { tag: "unknown text", params: ["set", "t9", "x"], t1: "Hall", t2: "Lobby" }
            ]
        }
        function test_textControl(data) {
            ImApi.callQmlCreateVX2Text("-1", { objectName: "t1", text: "Hall" })
            ImApi.callQmlCreateVX2Text("-1", { objectName: "t2", text: "Lobby" })
            ImApi.callCustomProtocol("InlineTextControl", data.params)
            compare([host.find("text", "t1").text, host.find("text", "t2").text], [data.t1, data.t2])
        }

        function test_sliderStep_data() {
            return [
                { tag: "up", params: ["s1", "1", "10"], value: 60, sent: [["s1", "GAIN", 60, 1]] },
                { tag: "down, clamped", params: ["s1", "0", "80"], value: 0, sent: [["s1", "GAIN", 0, 1]] },
                { tag: "another slider", params: ["s9", "1", "10"], value: 50, sent: [] }
            ]
        }
        function test_sliderStep(data) {
            ImApi.callQmlCreateVX2Slider("-1", { objectName: "s1", defaultValue: 50, cmd: "GAIN" })
            ImApi.callCustomProtocol("InlineControlSlider", data.params)
            compare(host.find("slider", "s1").value, data.value)
            compare(ImApi.named("ServerSliderCmd"), data.sent)
        }

        // Wall 1 with two audio outputs, wall 2 with none.
        function audioWalls() {
            ImApi.callQmlCreateVX2Screen("-1", { objectName: "w1", id: 1, audios: ["0,0,1920,10.0.1.1", "1920,0,1920,10.0.1.2"] })
            ImApi.callQmlCreateVX2Screen("-1", { objectName: "w2", id: 2 })
            ImApi.reset()
        }
        function test_clearPanelSilencesTheWallsAudio_data() {
            return [
                { tag: "wall 1", params: ["1"], sent: [["10.0.1.1", "{SetAudios;1}"], ["10.0.1.2", "{SetAudios;1}"]] },
                { tag: "a wall without outputs", params: ["2"], sent: [] },
                { tag: "no such wall", params: ["9"], sent: [] }
            ]
        }
        function test_clearPanelSilencesTheWallsAudio(data) {
            audioWalls()
            ImApi.callCustomProtocol("InlineClearPanel", data.params)
            compare(ImApi.named("ServerSetAudios"), data.sent)
        }
        function test_clearToolClearsWallAndAudio() {
            audioWalls()
            var b = button("w1-bt_clear", "-1", { panel_id: "1" })
            mouseClick(b, 10, 10)
            compare(ImApi.named("ServerClearWall").length, 0, "asked first")
            dialogBox().accept()
            compare(ImApi.named("ServerClearWall").length, 1)
            compare(ImApi.named("ServerSetAudios").length, 2)
        }
        function test_windowDimensions_data() {
            return [
                { tag: "one wall on", params: ["2", "1"], shown: [false, true] },
                { tag: "every wall on", params: ["1"], shown: [true, true] },
                { tag: "nothing", params: [], shown: [false, false] }
            ]
        }
        function test_windowDimensions(data) {
            audioWalls()
            ImApi.callCustomProtocol("InlineShowPanelWindowDem", data.params)
            compare(host.registries.screen.map(function (w) { return w.isShowPos }), data.shown)
        }

        function test_favouritesReloadWhenAStarChanges() {
            ImApi.signalPermitted = ["收藏"]
            ImApi.groups = { "收藏": [0] }
            ImApi.callQmlCreateVX2Preview("-1", { objectName: "fav", linkedGroup: ["收藏"] })
            var list = host.find("signalList", "fav")
            compare(list.cells.length, 1)
            ImApi.groups = { "收藏": [0, 1] }
            ImApi.callQmlRefeshSignalStar([])
            compare(list.cells.length, 2)
        }
        // Groups by number in name order: 0 "2", 1 "A", 2 "B".
        function test_previewGroupByNumberOrName_data() {
            return [
                { tag: "by number", cmd: "InlineSwitchPreviewGroup", group: "2", shown: "B" },
                { tag: "a name of digits is a name", cmd: "InlineSwitchPreviewGroupByName", group: "2", shown: "2" },
                { tag: "no such number", cmd: "InlineSwitchPreviewGroup", group: "9", shown: "A" }
            ]
        }
        function test_previewGroupByNumberOrName(data) {
            ImApi.signalPermitted = ["A", "B", "2"]
            ImApi.groups = { "2": [1], "A": [0], "B": [0, 1] }
            ImApi.callQmlCreateVX2Preview("-1", { objectName: "l", linkedGroup: ["A"] })
            ImApi.callCustomProtocol(data.cmd, ["l", data.group])
            compare(host.find("signalList", "l").currentGroup, data.shown)
        }

        function test_clearEmptiesEveryRegistry() {
            pages()
            button("b1", "a", { buttonGroup: 3 })
            ImApi.callQmlCreateVX2Screen("-1", { objectName: "w", id: 1 })
            ImApi.callQmlCreateVX2Slider("-1", { objectName: "s1" })
            ImApi.callQmlCreateMatrix(1, { uuid: "m1", row: 1, col: 1 })
            ImApi.callQmlCreateVX2Text("b", { objectName: "t1" })
            ImApi.permitted = ["a"]
            ImApi.callQmlInitPanel()
            verify(host.itemCount() > 0)
            host.clear()
            for (var k in host.registries)
                compare(host.registries[k].length, 0, k)
            compare(host.currentPage, null)
            compare(Object.keys(host.buttonGroups), [])
            tryVerify(function () { return host.children.length === baseChildren }, 1000, "the items are destroyed")
        }
    
        function signalDialog() {
            for (var i = 0; i < host.children.length; ++i) {
                if (host.children[i].liveView !== undefined)
                    return host.children[i]
            }
            return null
        }
        // A double click on a signal in a list or a tree opens its settings with its host and
        // asks the encoder for its report, which then reaches the dialog.
        function test_doubleClickOpensTheSignalSettings_data() {
            return [
                { tag: "signal list", kind: "list", at: [150, 50], switches: true },
                { tag: "tree view", kind: "tree", at: [550, 70], switches: false }
            ]
        }
        function test_doubleClickOpensTheSignalSettings(data) {
            ImApi.signalList = [{ ip: "10.0.0.30-0", url: "udp://239.1.2.3:4000", url2: "udp://239.1.2.3:5000", name: "Cam 30" }]
            ImApi.groups = { "G": [{ index: 0, type: 0 }] }
            ImApi.signalPermitted = ["G"]
            ImApi.hostIps = { "10.0.0.30-0": "10.0.0.99" }
            if (data.kind === "list") {
                var cell = { x: 0, y: 0, width: 300, height: 100 }
                ImApi.callQmlCreateVX2Preview("-1", { objectName: "l", linkedGroup: ["G"], globalPos: cell, winNum: 1, space: 0,
                                                      isEnableDoubleClick: true, isEnableSignalControl: true, bkRect: { globalPos: cell } })
            } else {
                ImApi.callQmlCreateVX2TreeView("-1", { objectName: "t", globalPos: { x: 500, y: 0, width: 200, height: 300 },
                                                       treeModel: [{ text: "G", istitle: true, subnodes: [{ text: "Cam 30", isoption: false, index: 0, type: 0 }] }] })
                mouseClick(root, 550, 26) // opens the group
            }
            mouseDoubleClickSequence(root, data.at[0], data.at[1])
            var dialog = signalDialog()
            tryVerify(function () { return dialog.opacity === 1 }, 2000, "the dialog opens")
            compare(dialog.ip, "10.0.0.30-0")
            compare(dialog.hostIp, "10.0.0.99")
            compare(dialog.isEnablesignalControl, data.switches)
            compare(ImApi.named("serverQueryHostIpFromVenc"), [["10.0.0.30-0"]])
            compare(ImApi.named("serverGetSignalMsg"), [["10.0.0.30-0"]])
            ImApi.callQmlSignalMsg({ kChn0_VI_W: "3840", kChn0_VI_H: "2160" })
            compare([dialog.pixWidth, dialog.pixHeight], [3840, 2160])
            host.clear()
            tryCompare(dialog, "visible", false)
            compare(ImApi.named("serverSetSignalSnapDip"), [["10.0.0.30-0", 1], ["10.0.0.30-0", 0]])
        }

        // A design command points a monitor at a stream; it plays only while its page shows.
        function test_monitorFollowsItsStreamAndItsPage() {
            pages()
            ImApi.callQmlCreateVX2Monitor("a", { objectName: "mon", globalPos: pos(0, 0), dataDockerType: 0 })
            var m = host.find("monitor", "mon")
            verify(m)
            var video = null
            for (var i = 0; i < m.children.length; ++i) {
                if (m.children[i].log !== undefined)
                    video = m.children[i]
            }
            verify(video)
            ImApi.permitted = ["a", "b"]
            ImApi.callQmlInitPanel()
            compare(shown(), ["g", "a"])
            host.customProtocol("InlineSetMonitor", ["mon", "10.0.0.30", "1", "239.10.2.30", "30302"])
            compare(video.log, ["join 239.10.2.30:30302"])
            host.customProtocol("InlineSetMonitor", ["mon", "10.0.0.31", "1", "239.10.2.31", "30312"])
            compare(video.log, ["join 239.10.2.30:30302", "leave", "join 239.10.2.31:30312"])
            compare(m.ip, "10.0.0.31")
            host.switchToPage("b")
            compare(video.log[video.log.length - 1], "leave")
            host.switchToPage("a")
            compare(video.log[video.log.length - 1], "join 239.10.2.31:30312")
            host.customProtocol("InlineSetMonitor", ["mon", "10.0.0.31", "1", "239.10.2.31", "port"])
            compare(video.log[video.log.length - 1], "leave")
            host.customProtocol("InlineSetMonitor", ["nobody", "x", "1", "239.1.1.1", "5"])
            compare(video.log.length, 6) // an unknown monitor changes nothing
        }
    }
}
