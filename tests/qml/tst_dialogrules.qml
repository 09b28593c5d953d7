import QtQuick 2.15
import QtTest 1.15
import "../../qml/js/DialogRules.js" as Rules

TestCase {
    name: "DialogRules"

    function test_sceneChoices_data() {
        return [
            { tag: "the wall's scenes in order, the group's checked", ids: ["s1", "s2", "s3"], names: ["A", "B", "C"], want: ["s3", "s1"], wantNames: ["C", "A"],
              out: [["s1", "A", true], ["s2", "B", false], ["s3", "C", true]] },
            { tag: "a group scene the wall does not list stays, checked, at the end", ids: ["s1"], names: ["A"], want: ["gone"], wantNames: ["Old"],
              out: [["s1", "A", false], ["gone", "Old", true]] },
            { tag: "a duplicate id is listed once", ids: ["s1", "s1"], names: ["A", "A2"], want: [], wantNames: [],
              out: [["s1", "A", false]] },
            { tag: "nothing known", ids: undefined, names: undefined, want: undefined, wantNames: undefined, out: [] }
        ]
    }
    function test_sceneChoices(data) {
        var c = Rules.sceneChoices(data.ids, data.names, data.want, data.wantNames)
        compare(c.map(function (e) { return [e.id, e.name, e.chosen] }), data.out)
    }

    function test_cycleGroupError_data() {
        var one = { ids: ["s1"], names: ["A"] }
        return [
            { tag: "complete", name: "Day", time: "10", chosen: one, names: ["Night"], error: "" },
            { tag: "no name", name: "  ", time: "10", chosen: one, names: [], error: "Enter a name" },
            { tag: "another group's name", name: "Night ", time: "10", chosen: one, names: ["Night"], error: "A cycle group of this name exists" },
            { tag: "no time", name: "Day", time: "x", chosen: one, names: [], error: "Enter the seconds between scenes" },
            { tag: "no scene", name: "Day", time: "10", chosen: { ids: [], names: [] }, names: [], error: "Choose at least one scene" }
        ]
    }
    function test_cycleGroupError(data) {
        compare(Rules.cycleGroupError(data.name, data.time, data.chosen, data.names), data.error)
    }

    function test_presetNameError_data() {
        return [
            { tag: "plain", name: "Morning", error: "" },
            { tag: "empty", name: " ", error: "Enter a name" },
            { tag: "the name separator", name: "a*&b", error: "A name cannot hold { } ; , *& or &*" },
            { tag: "the command separator", name: "a;b", error: "A name cannot hold { } ; , *& or &*" },
            { tag: "taken", name: "Day", error: "A preset of this name exists" }
        ]
    }
    function test_presetNameError(data) { compare(Rules.presetNameError(data.name, ["Day"]), data.error) }
}
