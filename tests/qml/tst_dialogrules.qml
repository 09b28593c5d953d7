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
            { tag: "a missing name shows the id", ids: ["s1"], names: [], want: ["x"], wantNames: [],
              out: [["s1", "s1", false], ["x", "x", true]] },
            { tag: "a duplicate id is listed once", ids: ["s1", "s1"], names: ["A", "A2"], want: [], wantNames: [],
              out: [["s1", "A", false]] },
            { tag: "nothing known", ids: undefined, names: undefined, want: undefined, wantNames: undefined, out: [] }
        ]
    }
    function test_sceneChoices(data) {
        var c = Rules.sceneChoices(data.ids, data.names, data.want, data.wantNames)
        compare(c.map(function (e) { return [e.id, e.name, e.chosen] }), data.out)
    }

    function test_chosenAndToggle() {
        var c = Rules.sceneChoices(["a", "b", "c"], ["A", "B", "C"], ["b"], [])
        c = Rules.toggleChoice(c, 2)
        compare(Rules.chosenScenes(c), { ids: ["b", "c"], names: ["B", "C"] }, "in the wall's order")
        c = Rules.toggleChoice(c, 1)
        compare(Rules.chosenScenes(c), { ids: ["c"], names: ["C"] })
    }

    function test_seconds_data() {
        return [
            { tag: "whole number", text: "15", n: 15 },
            { tag: "spaces around", text: " 5 ", n: 5 },
            { tag: "zero", text: "0", n: -1 },
            { tag: "fraction", text: "1.5", n: -1 },
            { tag: "negative", text: "-3", n: -1 },
            { tag: "empty", text: "", n: -1 },
            { tag: "a number value", text: 7, n: 7 }
        ]
    }
    function test_seconds(data) { compare(Rules.seconds(data.text), data.n) }

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

    function test_otherGroupNames() {
        var groups = [{ id: "Day", name: "Morning" }, { id: "Night", name: "Night" }]
        compare(Rules.otherGroupNames(groups, "Day"), ["Night"], "the edited group may keep its name")
        compare(Rules.otherGroupNames(groups, ""), ["Morning", "Night"])
    }

    function test_cycleState_data() {
        return [
            { tag: "running on this wall", o: { obj: "cycle", uuid: "7", time: "20", memb: ["a", "b"] }, wall: "7", state: { running: true, time: "20", ids: ["a", "b"] } },
            { tag: "a wall id given as number", o: { obj: "cycle", uuid: 7, time: 5, memb: ["a"] }, wall: "7", state: { running: true, time: "5", ids: ["a"] } },
            { tag: "no scenes: not running", o: { obj: "cycle", uuid: "7", time: "20", memb: [] }, wall: "7", state: { running: false, time: "20", ids: [] } },
            { tag: "another wall's", o: { obj: "cycle", uuid: "8", time: "20", memb: ["a"] }, wall: "7", state: null },
            { tag: "no cycle state", o: { obj: "osd", uuid: "7" }, wall: "7", state: null }
        ]
    }
    function test_cycleState(data) { compare(Rules.cycleState(data.o, data.wall), data.state) }

    function test_lineCount_data() {
        return [
            { tag: "none", text: "0", n: 0 },
            { tag: "four", text: "4", n: 4 },
            { tag: "the most", text: "16", n: 16 },
            { tag: "too many", text: "17", n: -1 },
            { tag: "not a number", text: "a", n: -1 },
            { tag: "empty", text: "", n: -1 }
        ]
    }
    function test_lineCount(data) { compare(Rules.lineCount(data.text), data.n) }

    function test_presetNameError_data() {
        return [
            { tag: "plain", name: "Morning", error: "" },
            { tag: "underscores are fine", name: "a_b", error: "" },
            { tag: "empty", name: " ", error: "Enter a name" },
            { tag: "the name separator", name: "a*&b", error: "A name cannot hold { } ; , *& or &*" },
            { tag: "the preset separator", name: "a&*b", error: "A name cannot hold { } ; , *& or &*" },
            { tag: "the command separator", name: "a;b", error: "A name cannot hold { } ; , *& or &*" },
            { tag: "a closing bracket", name: "a}", error: "A name cannot hold { } ; , *& or &*" },
            { tag: "taken", name: "Day", error: "A preset of this name exists" }
        ]
    }
    function test_presetNameError(data) { compare(Rules.presetNameError(data.name, ["Day"]), data.error) }

    function test_listEntries_data() {
        return [
            { tag: "page switch: the user's pages", map: { pageSwitch: 1, groupList: ["x"] }, entries: ["P1", "P2"] },
            { tag: "page switch in the design's spelling", map: { PageSwitch: "1" }, entries: ["P1", "P2"] },
            { tag: "groups as a list", map: { pageSwitch: 0, groupList: ["g1", "g2"] }, entries: ["g1", "g2"] },
            { tag: "groups as text", map: { groupList: "g1,g2;g3" }, entries: ["g1", "g2", "g3"] },
            { tag: "nothing", map: {}, entries: [] }
        ]
    }
    function test_listEntries(data) { compare(Rules.listEntries(data.map, ["P1", "P2"]), data.entries) }

    function test_entryIndex_data() {
        return [
            { tag: "by name", group: "b", index: 1 },
            { tag: "by number", group: "2", index: 2 },
            { tag: "a name that is a number wins", group: "10", index: 3 },
            { tag: "number past the end", group: "7", index: -1 },
            { tag: "unknown name", group: "zz", index: -1 }
        ]
    }
    function test_entryIndex(data) { compare(Rules.entryIndex(["a", "b", "c", "10"], data.group), data.index) }

    function test_webUrl_data() {
        return [
            { tag: "full address", url: "https://example.org/a", out: "https://example.org/a" },
            { tag: "bare host", url: "intranet.local/page", out: "http://intranet.local/page" },
            { tag: "host and port", url: "localhost:8080", out: "http://localhost:8080" },
            { tag: "address and port", url: "192.168.1.5:80/x", out: "http://192.168.1.5:80/x" },
            { tag: "local file", url: "file:///tmp/a.html", out: "file:///tmp/a.html" },
            { tag: "blank page", url: "about:blank", out: "about:blank" },
            { tag: "nothing", url: undefined, out: "" }
        ]
    }
    function test_webUrl(data) { compare(Rules.webUrl(data.url), data.out) }

    function test_webViewPossible_data() {
        return [
            { tag: "windows", name: "windows", ok: true },
            { tag: "X11", name: "xcb", ok: true },
            { tag: "offscreen", name: "offscreen", ok: false },
            { tag: "minimal", name: "minimal", ok: false }
        ]
    }
    function test_webViewPossible(data) { compare(Rules.webViewPossible(data.name), data.ok) }
}
