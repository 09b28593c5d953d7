import QtQuick 2.15
import QtTest 1.15
import "../../qml/Design2.0"

// The cycle group and scene polling dialogs as the page host opens them for the selected
// wall "7", whose scenes are s1 "A" and s2 "B".
Item {
    id: root
    width: 900
    height: 700

    Content { id: host; anchors.fill: parent }

    TestCase {
        name: "CycleDialogs"
        when: windowShown

        function dialog(title) {
            for (var i = 0; i < host.children.length; ++i) {
                if (host.children[i].title === title)
                    return host.children[i]
            }
            return null
        }
        function click(d, name) {
            var b = findChild(d, name)
            verify(b, name)
            verify(b.visible && b.enabled, name + " can be pressed")
            // A row places what just became visible when it is next polished.
            tryVerify(function () { return !isPolishScheduled(b.parent) })
            mouseClick(b)
        }
        function init() {
            host.clear()
            ImApi.reset()
            ImApi.callQmlCreateVX2Page({ objectName: "A", pageId: "a" })
            ImApi.callQmlCreateVX2Screen("a", { objectName: "wall7", id: 7, globalPos: { x: 0, y: 0, width: 400, height: 225 } })
            ImApi.callQmlAddScenes("7", ["s1", "s2"], ["A", "B"])
            ImApi.cycleGroups = [{ id: "Day", name: "Morning", time: 15, sceneIds: ["s1", "gone"], sceneNames: ["A", "Old"] }]
            ImApi.selPanel = "7"
            ImApi.calls = [] // the set-up's own calls are not the dialogs'
        }
        function choices(d) { return d.choices.map(function (c) { return [c.id, c.chosen] }) }

        function test_openGroups() {
            ImApi.callCustomProtocol("InlineEditPollingGroups", ["7"])
            var d = dialog("Cycle groups")
            verify(d.visible)
            compare(d.panelId, "7")
            compare(d.groups, [{ name: "Morning", id: "Day" }])
            compare(ImApi.named("ServerGetScenes"), [["7"]], "the wall's scene names are asked again")
            verify(host.wallById("7").focused)
        }

        // Each action from the list of one group ("Morning", id "Day").
        function test_groupActions_data() {
            return [
                { tag: "add", run: function (d) {
                    click(d, "cycleAdd"); d.nameField = "Night"; d.timeField = "20"; d.choices = [{ id: "s2", name: "B", chosen: true }]; click(d, "cycleSave") },
                  call: "serverAddCycleGroup", args: [["Night", 20, ["s2"], ["B"]]], page: "list", warning: "" },
                { tag: "edit keeps the id and the scenes the wall does not list", run: function (d) {
                    click(d, "cycleEdit")
                    compare(d.nameField, "Morning"); compare(d.timeField, "15")
                    compare(choices(d), [["s1", true], ["s2", false], ["gone", true]])
                    d.nameField = "Dawn"; click(d, "cycleSave") },
                  call: "serverEditCycleGroup", args: [["Day", "Dawn", 15, ["s1", "gone"], ["A", "Old"]]], page: "list", warning: "" },
                { tag: "delete by the current name", run: function (d) { click(d, "cycleDelete") },
                  call: "serverDelCycleGroup", args: [["Morning"]], page: "list", warning: "" },
                { tag: "start on the wall", run: function (d) { click(d, "cycleStart") },
                  call: "serverStartCycleGroup", args: [["7", "Morning"]], page: "list", warning: "" },
                { tag: "a taken name is not sent", run: function (d) {
                    click(d, "cycleAdd"); d.nameField = "Morning"; d.choices = [{ id: "s1", name: "A", chosen: true }]; click(d, "cycleSave") },
                  call: "serverAddCycleGroup", args: [], page: "form", warning: "A cycle group of this name exists" },
                { tag: "no scene chosen is not sent", run: function (d) {
                    click(d, "cycleAdd"); d.nameField = "Night"; click(d, "cycleSave") },
                  call: "serverAddCycleGroup", args: [], page: "form", warning: "Choose at least one scene" },
                { tag: "a refusal keeps the form", refuse: true, run: function (d) {
                    click(d, "cycleAdd"); d.nameField = "Night"; d.choices = [{ id: "s1", name: "A", chosen: true }]; click(d, "cycleSave") },
                  call: "serverAddCycleGroup", args: [["Night", 10, ["s1"], ["A"]]], page: "form", warning: "The controller refused the cycle group" }
            ]
        }
        function test_groupActions(data) {
            ImApi.callCustomProtocol("InlineEditPollingGroups", ["7"])
            var d = dialog("Cycle groups")
            if (data.refuse)
                ImApi.cycleAnswer = false
            data.run(d)
            compare(ImApi.named(data.call), data.args)
            compare(d.page, data.page)
            compare(d.warning, data.warning)
        }

        function test_refreshes() {
            ImApi.callCustomProtocol("InlineEditPollingGroups", ["7"])
            var d = dialog("Cycle groups")
            ImApi.cycleGroups = [{ id: "Day", name: "Morning" }, { id: "Eve", name: "Evening" }]
            ImApi.callQmlRefreshCycleGroups()
            compare(d.groups.map(function (g) { return g.name }), ["Morning", "Evening"])
            // A newer scene listing of the wall reaches the open form; the choice stays.
            click(d, "cycleAdd")
            d.choices = [{ id: "s1", name: "A", chosen: true }, { id: "s2", name: "B", chosen: false }]
            ImApi.callQmlAddScenes("8", ["x"], ["X"])
            compare(choices(d), [["s1", true], ["s2", false]], "another wall's listing is not ours")
            ImApi.callQmlAddScenes("7", ["s3", "s1"], ["C", "A"])
            compare(choices(d), [["s3", false], ["s1", true]])
        }

        function test_pollingOpen_data() {
            return [
                { tag: "opened by the polling command", cmd: "InlineScenesPolling", params: ["7", "1"], open: true, closed: [] },
                { tag: "opened by the edit command", cmd: "InlineEditPanelScenePolling", params: ["7"], open: true, closed: [] },
                { tag: "the polling command without 1 stops", cmd: "InlineScenesPolling", params: ["7", "0"], open: false, closed: [["7"]] }
            ]
        }
        function test_pollingOpen(data) {
            ImApi.callCustomProtocol(data.cmd, data.params)
            var d = dialog("Scene polling")
            compare(d.visible, data.open)
            compare(ImApi.named("ServerGetStatus"), data.open ? [["7_cycle"]] : [], "the stored polling state is asked")
            compare(ImApi.named("ServerCloseSceneCycle"), data.closed)
        }

        function test_pollingState_data() {
            return [
                { tag: "this wall polls", state: { obj: "cycle", uuid: "7", time: "30", memb: ["s2"] }, running: true, time: "30", chosen: [["s1", false], ["s2", true]] },
                { tag: "this wall stopped", state: { obj: "cycle", uuid: "7", time: "30", memb: [] }, running: false, time: "30", chosen: [["s1", false], ["s2", false]] },
                { tag: "another wall's state", state: { obj: "cycle", uuid: "8", time: "30", memb: ["s2"] }, running: false, time: "10", chosen: [["s1", false], ["s2", false]] }
            ]
        }
        function test_pollingState(data) {
            ImApi.callCustomProtocol("InlineEditPanelScenePolling", ["7"])
            var d = dialog("Scene polling")
            ImApi.callQmlRefreshCycle(data.state)
            compare(d.running, data.running)
            compare(d.timeField, data.time)
            compare(choices(d), data.chosen)
        }

        function test_pollingActions_data() {
            return [
                { tag: "start with the chosen scenes", chosen: [1], time: "12", press: "pollingStart",
                  calls: { ServerCallSceneCycle: [[["s2"], "12"]] }, running: true, warning: "" },
                { tag: "start in the wall's order", chosen: [1, 0], time: " 5", press: "pollingStart",
                  calls: { ServerCallSceneCycle: [[["s1", "s2"], "5"]] }, running: true, warning: "" },
                { tag: "no scene: nothing sent", chosen: [], time: "12", press: "pollingStart",
                  calls: { ServerCallSceneCycle: [] }, running: false, warning: "Choose at least one scene" },
                { tag: "no seconds: nothing sent", chosen: [0], time: "0", press: "pollingStart",
                  calls: { ServerCallSceneCycle: [] }, running: false, warning: "Enter the seconds between scenes" },
                { tag: "stop", chosen: [], time: "12", press: "pollingStop",
                  calls: { ServerCloseSceneCycle: [["7"]], ServerCallSceneCycle: [] }, running: false, warning: "" }
            ]
        }
        function test_pollingActions(data) {
            ImApi.callCustomProtocol("InlineEditPanelScenePolling", ["7"])
            var d = dialog("Scene polling")
            for (var i = 0; i < data.chosen.length; ++i)
                click(d, "sceneChoice" + data.chosen[i])
            d.timeField = data.time
            click(d, data.press)
            for (var name in data.calls)
                compare(ImApi.named(name), data.calls[name], name)
            compare(d.running, data.running)
            compare(d.warning, data.warning)
        }

        function test_noSelectedWall() {
            ImApi.selPanel = "99"
            ignoreWarning("no selected wall for the Cycle groups dialog")
            ImApi.callCustomProtocol("InlineEditPollingGroups", ["99"])
            verify(!dialog("Cycle groups").visible)
            compare(ImApi.named("ServerGetScenes"), [])
        }

        function test_clearCloses() {
            ImApi.callCustomProtocol("InlineEditPollingGroups", ["7"])
            host.clear()
            verify(!dialog("Cycle groups").visible)
        }
    }
}
