import QtQuick 2.15
import "../components"
import "../js/PageRules.js" as PageRules
import "../js/OsdRules.js" as OsdRules

// Host of the designed pages: turns the controller's page-building signals into items, keeps
// one registry per item kind (creation order), decides which page is shown, and feeds the
// controller's refreshes to the items.
Item {
    id: host
    property real multiplierW: 1
    property real multiplierH: 1
    property string fontFamily: ""
    property var translate: function (text) { return text }
    // Bits 1, 2 and 4 of the design's system flags: which panel menus the host offers.
    property int panelMenus: 0
    property int cropMode: 0
    // The main window's drag image, handed to the signal lists.
    property var dragImage: null

    property var registries: PageRules.emptyRegistries()
    property var buttonGroups: ({})
    property var currentPage: null
    // Scene ids and names per wall id, from the last scene listing.
    property var scenes: ({})

    signal logoutRequested()
    signal exitRequested()
    signal minimizeRequested()
    signal firstPageShown(string pageId, int items)

    readonly property var files: ({
        page: "VX2Page.qml", screen: "VX2Screen.qml", signalList: "VX2SignalList.qml",
        button: "VX2Button.qml", rect: "VX2Rect.qml", text: "VX2Text.qml", date: "VX2Date.qml",
        matrix: "VXMatrix.qml", inputBox: "VX2InputBox.qml", web: "VX2Web.qml",
        docker: "VX2DataDocker.qml", monitor: "VX2Monitor.qml", slider: "VX2Slider.qml",
        treeView: "VX2TreeView.qml", listView: "VXListView.qml"
    })
    property var componentCache: ({})

    // Each kind's component is made once; signal lists get a fresh one every time.
    function component(kind) {
        if (kind === "signalList")
            return Qt.createComponent(files[kind])
        if (!componentCache[kind])
            componentCache[kind] = Qt.createComponent(files[kind])
        return componentCache[kind]
    }

    function itemCount() {
        var n = 0
        for (var k in registries)
            n += registries[k].length
        return n
    }
    function find(kind, name) { return PageRules.find(registries[kind], "designName", name) }
    function wallById(panelId) { return PageRules.find(registries.screen, "panelId", String(panelId)) }
    function wallsOn(page) {
        var out = []
        for (var i = 0; i < registries.screen.length; ++i) {
            if (registries.screen[i].parent === page)
                out.push(registries.screen[i])
        }
        return out
    }

    // Creates an item of `kind` on the page `pageId` names (the host itself for -1); returns
    // it, or null when no page has that id.
    function create(kind, pageId, map) {
        var parentItem = kind === "page" ? host : PageRules.parentFor(registries, pageId)
        if (parentItem === "login")
            return null // the main window's login page takes these
        if (parentItem === "host")
            parentItem = host
        if (!parentItem) {
            console.warn("no page", pageId, "for the", kind, map.objectName || map.uuid || "")
            return null
        }
        return createOn(kind, parentItem, map)
    }
    function createOn(kind, parentItem, map) {
        var c = component(kind)
        if (c.status !== Component.Ready) {
            console.warn("cannot create a", kind + ":", c.errorString())
            return null
        }
        var item = c.createObject(parentItem, {
            map: map,
            multiplierW: Qt.binding(function () { return host.multiplierW }),
            multiplierH: Qt.binding(function () { return host.multiplierH })
        })
        if (!item) {
            console.warn("the", kind, map.objectName || "", "was not created")
            return null
        }
        registries[kind].push(item)
        wire(kind, item)
        return item
    }
    function wire(kind, item) {
        if (kind === "page") {
            item.width = Qt.binding(function () { return host.width })
            item.height = Qt.binding(function () { return host.height })
        } else if (kind === "screen") {
            item.touched.connect(function () { focusWall(item) })
            item.requestWindows()
        } else if (kind === "button") {
            if (item.buttonGroup !== -1) {
                var group = buttonGroups[item.buttonGroup] || (buttonGroups[item.buttonGroup] = [])
                group.push(item)
                item.groupClicked.connect(function () { uncheckGroupOthers(item) })
            }
            var tool = /(bt_clear|bt_refresh|bt_preset|bt_line|bt_osd)$/.exec(item.designName)
            if (tool && item.panelId !== "")
                item.clicked.connect(function () { wallTool(item.panelId, tool[1]) })
        } else if (kind === "inputBox") {
            item.searchRequested.connect(searchSignal)
        } else if (kind === "matrix") {
            item.presetsRequested.connect(function () { matrixPresetDialog.open(item) })
        } else if (kind === "listView") {
            item.pageChosen.connect(selectPageByIndex)
        } else if (kind === "signalList" || kind === "treeView") {
            item.dragImage = dragImage
            item.cellDoubleClicked.connect(function (index, address, switches) { openSignalDialog(address, switches) })
        }
    }
    function uncheckGroupOthers(button) {
        var group = buttonGroups[button.buttonGroup] || []
        for (var i = 0; i < group.length; ++i) {
            if (group[i] !== button)
                group[i].checked = false
        }
    }

    // Removes every item of every registry.
    function clear() {
        for (var k in registries) {
            var list = registries[k]
            for (var i = list.length - 1; i >= 0; --i) {
                if (k !== "login" && list[i])
                    list[i].destroy()
            }
        }
        registries = PageRules.emptyRegistries()
        buttonGroups = ({})
        currentPage = null
        scenes = ({})
        dialog.close()
        signalDialog.close()
        closeWallDialogs()
        osdDialog.close()
        clockDialog.close()
        alarms.clear()
    }
    function registerLoginItem(item) { if (item) registries.login.push(item) }

    // ---- Pages ----

    function showPage(page) {
        currentPage = page
        ImApi.currentPage = registries.page.indexOf(page)
        page.visible = true
        // The time of day in ms, to set against the press that asked for the page.
        console.log("page shown:", page.pageId, "at ms", Date.now() % 86400000)
        var walls = wallsOn(page)
        for (var i = 0; i < walls.length; ++i)
            walls[i].requestWindows()
    }
    // After loading: global pages shown, then the first page the user may see.
    function initPanel() {
        refreshButtonStates()
        var pages = registries.page
        for (var i = 0; i < pages.length; ++i)
            pages[i].visible = pages[i].isGlobalPage
        var first = PageRules.firstPageIndex(pages, function (id) { return ImApi.checkPermission(id) })
        if (first < 0) {
            console.warn("no page of the design is permitted for this user")
            return
        }
        currentPage = pages[first]
        ImApi.currentPage = first
        pages[first].visible = true
        firstPageShown(pages[first].pageId, itemCount())
    }
    function switchToPage(pageId) {
        if (!ImApi.checkPermission(pageId)) {
            dialog.open({ title: "Warning", text: "No permission access!" })
            return
        }
        var page = PageRules.find(registries.page, "pageId", String(pageId))
        if (!page) {
            console.warn("no page", pageId, "to switch to")
            return
        }
        for (var i = 0; i < registries.page.length; ++i) {
            var p = registries.page[i]
            if (p !== page && !p.isGlobalPage)
                p.visible = false
        }
        showPage(page)
    }
    // A selection from a list view: global pages are hidden too.
    function selectPageByIndex(index) {
        ImApi.selPanel = "-1"
        focusWall(null)
        ImApi.setCurrentPageFromPrivate(index)
        var page = registries.page[ImApi.currentPage]
        for (var i = 0; i < registries.page.length; ++i) {
            if (registries.page[i] !== page)
                registries.page[i].visible = false
        }
        if (page)
            showPage(page)
    }
    // Latching buttons show their start state again and ask the store for the current one.
    function refreshButtonStates() {
        var buttons = registries.button
        for (var i = 0; i < buttons.length; ++i)
            buttons[i].refreshStatus()
    }
    function setWidgetVisible(names, flag) {
        for (var i = 0; i < names.length; ++i) {
            var targets = PageRules.visibilityTargets(registries, String(names[i]))
            for (var j = 0; j < targets.length; ++j)
                targets[j].visible = flag
        }
    }

    // ---- Walls ----

    function focusWall(wall) {
        for (var i = 0; i < registries.screen.length; ++i)
            registries.screen[i].focused = registries.screen[i] === wall
        if (wall)
            ImApi.selPanel = wall.panelId
    }
    function callScene(wall, index) {
        var list = scenes[wall.panelId]
        if (!list || index < 0 || index >= list.ids.length)
            return
        wall.applySceneDock(list.ids[index])
        ImApi.ServerCallScene(list.ids[index], wall.yt)
    }
    function chooseDock(wall) {
        var names = ImApi.getPanelDocksV2()
        dialog.open({ title: "Dock", items: names, accepted: function (i) { wall.applyDockLayout(i) } })
    }
    function wallTool(panelId, tool) {
        var wall = wallById(panelId)
        if (!wall)
            return
        focusWall(wall)
        switch (tool) {
        case "bt_clear":
            dialog.open({ title: "Warning", text: "Clear the panel?",
                          accepted: function () { ImApi.ServerClearWall(); wall.clearAudio() } })
            break
        case "bt_refresh":
            ImApi.ServerRefresh()
            break
        case "bt_preset":
            // The wall's scenes to call, after an entry that saves the current windows as one.
            var list = scenes[wall.panelId] || { ids: [], names: [] }
            dialog.open({ title: "Scenes", items: [translate("Save")].concat(list.names), accepted: function (i) {
                if (i === 0)
                    saveScene(wall)
                else
                    callScene(wall, i - 1)
            } })
            break
        case "bt_line":
            chooseDock(wall)
            break
        case "bt_osd":
            osdDialog.open(wall.panelId, wall.osdMap, wall.pixWidth)
            break
        default:
            console.log("wall tool", tool, "of wall", panelId, "has no dialog yet")
        }
    }
    // A signal's settings, with the tools the list that asked offers. The encoder's report
    // follows through callQmlSignalMsg.
    function openSignalDialog(address, switches) {
        if (!address)
            return
        signalDialog.open(address, ImApi.serverQueryHostIpFromVenc(address), switches)
        ImApi.serverGetSignalMsg(address)
    }
    function searchSignal(linkedWidget, text) {
        var list = find("signalList", linkedWidget)
        if (list)
            list.search(text)
    }

    // ---- Wall dialogs: cycle groups, scene polling, reference lines, matrix presets ----

    // The selected wall, focused, or null (the design command selected it on the controller).
    function selectedWall() {
        var wall = wallById(ImApi.selPanel)
        if (wall)
            focusWall(wall)
        return wall
    }
    // Opens a scene dialog for the selected wall with the scenes known so far, and asks for
    // the wall's current scene names (they arrive through callQmlAddScenes).
    function openSceneDialog(d) {
        var wall = selectedWall()
        if (!wall) {
            console.warn("no selected wall for the", d.title, "dialog")
            return
        }
        d.open(wall.panelId, scenes[wall.panelId])
        ImApi.ServerGetScenes()
    }
    function closeWallDialogs() {
        cycleGroupDialog.close()
        scenePollingDialog.close()
        referenceLineDialog.close()
        matrixPresetDialog.close()
    }
    readonly property var wallDialogCommands: ({
        InlineEditPollingGroups: function () { host.openSceneDialog(cycleGroupDialog) },
        InlineEditPanelScenePolling: function () { host.openSceneDialog(scenePollingDialog) },
        // [wall id,] "1" opens the polling dialog, anything else stops the polling.
        InlineScenesPolling: function (p) {
            if (p[p.length - 1] === "1")
                host.openSceneDialog(scenePollingDialog)
            else
                ImApi.ServerCloseSceneCycle()
        },
        InlineShowRLine: function () {
            var wall = host.selectedWall()
            if (wall)
                referenceLineDialog.open(wall)
            else
                console.warn("no selected wall for the reference line dialog")
        }
    })

    // ---- Design commands for the pages ----

    function sceneName(title, accepted) {
        dialog.open({ title: title, input: true, accepted: accepted })
    }
    function editSubtitle(panelId, form) {
        var wall = wallById(panelId)
        if (!wall) {
            console.warn("subtitle dialog: no wall", panelId)
            return
        }
        osdDialog.open(wall.panelId, wall.osdMap, wall.pixWidth, form)
    }
    // A designed button's subtitle: `text` on the wall in the form and look of the wall's
    // stored subtitle (its last one shown again when `text` is empty).
    function showSubtitle(panelId, text) {
        var wall = wallById(panelId)
        if (!wall) {
            console.warn("subtitle: no wall", panelId)
            return
        }
        var f = OsdRules.fieldsFromState(wall.osdMap, wall.pixWidth)
        if (text !== undefined && String(text) !== "")
            f.string = String(text)
        if (f.string === "") {
            console.warn("subtitle: wall", panelId, "has no subtitle to show")
            return
        }
        var call = OsdRules.subtitleCall(f, true, null)
        var selected = ImApi.selPanel
        ImApi.selPanel = wall.panelId
        ImApi[call.name].apply(ImApi, call.args)
        ImApi.selPanel = selected
    }
    // The selected wall's current layout as a new scene; without a wall the id has no dock.
    function saveScene(wall) {
        sceneName("Save", function (name) {
            ImApi.ServerSaveScene(wall ? PageRules.sceneId(Date.now(), wall.dock, wall.cutRow, wall.cutCol) : String(Date.now()), name)
        })
    }
    readonly property var commands: ({
        InlineSwitchPage: function (p) { host.switchToPage(p[0]) },
        // The controller has selected the wall and asked it for its clocks.
        InlineEditClocks: function () { clockDialog.open() },
        // The controller has selected the wall and asked for its stored state, which fills the
        // dialog when it comes; the first form is the picture, the second the decoders' text.
        InlineEditSubTitle: function (p) { host.editSubtitle(p[0], "image") },
        InlineEditSubTitle2: function (p) { host.editSubtitle(p[0], "text") },
        InlineShowSubTitle: function (p) { host.showSubtitle(p[0], p[1]) },
        InlineLogout: function () {
            dialog.open({ title: "Warning", text: "Logout the program?",
                          accepted: function () { ImApi.SaveConfig(); host.logoutRequested() } })
        },
        InlineExit: function () {
            dialog.open({ title: "Warning", text: "Exit the program?",
                          accepted: function () { ImApi.SaveConfig(); host.exitRequested() } })
        },
        InlineMinimize: function () { host.minimizeRequested() },
        InlineTextControl: function (p) {
            var t = host.find("text", p[1])
            if (t)
                t.text = PageRules.textControl(t.text, p[0], p[2])
        },
        InlineControlSlider: function (p) {
            var s = host.find("slider", p[0])
            if (s)
                s.step(p[1], p[2])
        },
        InlineWebReload: function (p) {
            var w = host.find("web", p[0])
            if (w)
                w.reload()
        },
        InlineSetPanelDock: function (p) {
            var wall = host.wallById(p[0])
            if (!wall)
                return
            host.focusWall(wall)
            wall.setLayout(parseInt(p[1], 10))
        },
        InlineClearPanel: function (p) {
            var wall = host.wallById(p[0])
            if (wall)
                wall.clearAudio()
        },
        // [wall id,] "1" or "0": without a wall id every wall.
        InlineShowPanelWindowDem: function (p) {
            if (p.length === 0)
                return
            var show = p[p.length - 1] === "1"
            var walls = p.length > 1 ? [host.wallById(p[0])] : registries.screen
            walls.forEach(function (w) { if (w) w.isShowPos = show })
        },
        InlineSetPanelPredrawMode: function (p) {
            var wall = host.wallById(p[0])
            if (wall)
                wall.yt = p[1] === "1"
        },
        InlinePublishPanelPredraw: function (p) {
            var wall = host.wallById(p[0])
            if (wall)
                wall.publish()
        },
        InlineReplaceSignal: function (p) {
            var wall = host.wallById(p[0])
            if (wall)
                wall.replaceSignal = p[1] === "1" ? 1 : 0
        },
        InlineSetPanelCut: function (p) {
            var wall = host.wallById(p[0])
            if (wall)
                wall.setCut(parseInt(p[1], 10), parseInt(p[2], 10))
        },
        InlineShowPanelDockList: function () {
            var wall = host.wallById(ImApi.selPanel)
            if (wall)
                host.chooseDock(wall)
        },
        InlineSavePanelScene: function () {
            host.saveScene(host.wallById(ImApi.selPanel))
        },
        InlineEditPanelScene: function (p) {
            host.sceneName("Edit", function (name) { ImApi.ServerEditScene(p[1], name) })
        },
        InlineDeletePanelScene: function (p) {
            dialog.open({ title: "Warning", text: "Delete the scene or not?",
                          accepted: function () { ImApi.ServerDelScene(p[1]) } })
        },
        InlineSetMonitor: function (p) {
            var m = host.find("monitor", p[0])
            if (m)
                m.setMonitor(p[1], p[2], p[3], p[4])
        },
        InlineSwitchListGroup: function (p) {
            var lists = PageRules.findAll(host.registries.listView, "designName", p[0])
            for (var i = 0; i < lists.length; ++i)
                lists[i].showGroup(p[1])
        },
        InlineSwitchPreviewGroup: function (p) {
            var list = host.find("signalList", p[0])
            if (list)
                list.showGroupNumber(p[1])
        },
        InlineSwitchPreviewGroupByName: function (p) {
            var list = host.find("signalList", p[0])
            if (!list)
                return
            if (ImApi.checkSignalPermission(p[1]))
                list.showGroup(p[1])
            else
                dialog.open({ title: "Warning", text: "No permission access!" })
        }
    })
    function customProtocol(func, params) {
        var run = commands[func] || wallDialogCommands[func]
        if (run)
            run(params || [])
        else
            console.log("design command", func, "is not handled by the pages yet")
    }

    SignalDialog {
        id: signalDialog
        multiplierW: host.multiplierW
        multiplierH: host.multiplierH
        fontFamily: host.fontFamily
        translate: host.translate
    }
    HostDialog { id: dialog; fontFamily: host.fontFamily; translate: host.translate }
    CycleGroupDialog { id: cycleGroupDialog; fontFamily: host.fontFamily; translate: host.translate }
    ScenePollingDialog { id: scenePollingDialog; fontFamily: host.fontFamily; translate: host.translate }
    ReferenceLineDialog { id: referenceLineDialog; fontFamily: host.fontFamily; translate: host.translate }
    MatrixPresetDialog { id: matrixPresetDialog; fontFamily: host.fontFamily; translate: host.translate }
    OsdDialog { id: osdDialog; fontFamily: host.fontFamily; translate: host.translate }
    ClockDialog { id: clockDialog; fontFamily: host.fontFamily; translate: host.translate }
    AlarmPanel { id: alarms; fontFamily: host.fontFamily; translate: host.translate }
    UploadProgress { id: uploadProgress; fontFamily: host.fontFamily; translate: host.translate }

    Connections {
        target: ImApi
        function onCallQmlCreateVX2Page(map) { host.create("page", -1, map) }
        function onCallQmlCreateVX2Screen(pageId, map) { host.create("screen", pageId, map) }
        function onCallQmlCreateVX2Button(pageId, map) { host.create("button", pageId, map) }
        function onCallQmlCreateVX2Rect(pageId, map) { host.create("rect", pageId, map) }
        function onCallQmlCreateVX2Text(pageId, map) { host.create("text", pageId, map) }
        function onCallQmlCreateVX2Date(pageId, map) { host.create("date", pageId, map) }
        function onCallQmlCreateVX2InputBox(pageId, map) { host.create("inputBox", pageId, map) }
        function onCallQmlCreateVX2Web(pageId, map) { host.create("web", pageId, map) }
        function onCallQmlCreateVX2Preview(pageId, map) { host.create("signalList", pageId, map) }
        function onCallQmlCreateVX2Slider(pageId, map) { host.create("slider", pageId, map) }
        function onCallQmlCreateVX2TreeView(pageId, map) { host.create("treeView", pageId, map) }
        function onCallQmlCreateVX2Docker(pageId, map) { host.create("docker", pageId, map) }
        function onCallQmlCreateVX2Monitor(pageId, map) { host.create("monitor", pageId, map) }
        function onCallQmlCreateList(pageIndex, map) {
            // Index -1: the global widgets of an older project, on the host itself.
            var page = pageIndex === -1 ? host : host.registries.page[pageIndex]
            if (page)
                host.createOn("listView", page, map)
        }
        function onCallQmlCreateMatrix(pageIndex, map) {
            // Index -1: the global widgets of an older project, on the host itself.
            var page = pageIndex === -1 ? host : host.registries.page[pageIndex]
            if (page)
                host.createOn("matrix", page, map)
        }
        function onCallQmlAddBlock(panelId, map) {
            var wall = host.wallById(panelId)
            if (wall)
                wall.addBlock(map)
        }
        function onCallQmlClearBlock(panelId) {
            var wall = host.wallById(panelId)
            if (wall)
                wall.clearBlocks()
        }
        function onCallQmlRefreshSlider(map) {
            var s = host.find("slider", map.uuid)
            if (s)
                s.refresh(map.value)
        }
        function onCallQmlRefreshListen(uuid, value) {
            var d = host.find("docker", uuid)
            if (d)
                d.showValue(value)
        }
        function onCallQmlRefreshMatrix(map) {
            var m = host.find("matrix", map.uuid)
            if (m)
                m.refresh(map)
        }
        function onCallQmlRefreshButton(map) {
            var b = host.find("button", map.uuid)
            if (b)
                b.refresh(map.value, true)
        }
        function onCallQmlRefreshButtonAct(map) {
            var b = host.find("button", map.uuid)
            if (b)
                b.refresh(map.value, false)
        }
        function onCallQmlRefreshOSD(text) {
            try {
                var osd = JSON.parse(text)
                var wall = host.wallById(osd.uuid)
                if (wall)
                    wall.osdMap = osd
                osdDialog.refresh(osd)
            } catch (e) {
                console.warn("banner settings are no JSON:", String(text).substring(0, 80))
            }
        }
        function onCallQmlRefeshSignalStar(nodes) {
            for (var i = 0; i < host.registries.treeView.length; ++i)
                host.registries.treeView[i].setFavourites(nodes)
            for (var j = 0; j < host.registries.signalList.length; ++j) {
                if (host.registries.signalList[j].currentGroup === "收藏")
                    host.registries.signalList[j].reload()
            }
        }
        function onCallQmlRefreshScene(panelId, sceneId) {
            var wall = host.wallById(panelId)
            if (wall)
                wall.applySceneDock(sceneId)
        }
        function onCallQmlAddScenes(panelId, ids, names) {
            host.scenes[String(panelId)] = { ids: ids, names: names }
            var open = [cycleGroupDialog, scenePollingDialog]
            for (var i = 0; i < open.length; ++i) {
                if (open[i].visible && open[i].panelId === String(panelId))
                    open[i].setScenes(ids, names)
            }
        }
        function onCallQmlRefreshIPCList(group) {
            for (var i = 0; i < host.registries.signalList.length; ++i)
                host.registries.signalList[i].reload()
            for (var j = 0; j < host.registries.treeView.length; ++j)
                host.registries.treeView[j].refresh()
        }
        function onCallQmlScenesMsg(object) {
            for (var i = 0; i < host.registries.signalList.length; ++i) {
                if (host.registries.signalList[i].scenePanel === String(object.panel_id))
                    host.registries.signalList[i].reload()
            }
        }
        function onCallQmlSignalMsg(map) { signalDialog.showSignalMsg(map) }
        function onCallQmlRefreshCycle(object) { scenePollingDialog.showCycle(object) }
        function onCallQmlRefreshCycleGroups() {
            if (cycleGroupDialog.visible)
                cycleGroupDialog.refresh()
        }
        function onCallSetWidgetVisible(names, flag) { host.setWidgetVisible(names, flag) }
        function onCallCustomProtocol(func, params) { host.customProtocol(func, params) }
        function onCallQmlInitPanel() { host.initPanel() }
        function onCallRefreshClocks(list) { clockDialog.refresh(list) }
        function onCallQmlAudioEvent(eventName, eventID, nextTime) { alarms.audioEvent(eventName, eventID, nextTime) }
        function onCallQmlVideoEvent(eventName, nextTime, ip, port, srcIp) { alarms.videoEvent(eventName, nextTime, ip, port, srcIp) }
        function onCallQmlEventOver(cmd) { alarms.eventOver(cmd) }
        function onCallLoadBKImage(current, total) { uploadProgress.show(current, total) }
    }
}
