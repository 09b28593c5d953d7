import QtQuick 2.15
import QtTest 1.15
import "../../qml/Design2.0"
import "Items.js" as Items

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

        function dialog(title) { return Items.first(host, function (c) { return c.title === title }) }
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
    }
}
