import QtQuick 2.15
import QtTest 1.15
import "../../qml/js/ControlRules.js" as Rules

TestCase {
    name: "ControlRules"

    function ev(action, data, behavior, ip) {
        return { action: action, behavior: behavior || "SendData", delay: 0, value: { ip: ip || "10.0.0.9", data: data } }
    }
    function datas(list) { return list.map(function (e) { return e.value.data }) }

    readonly property var mixed: [ev("ButtonPressed", "P1"), ev("Clicked", "C1"), ev("ButtonRelease", "R1"),
                                  ev("Clicked", "C2"), ev("ButtonPressed", "P2"), ev("LongPressed", "L1")]

    function test_events_data() {
        return [
            { tag: "press sends every ButtonPressed entry in order", rule: "for", action: "ButtonPressed", group: -1, sent: ["P1", "P2"] },
            { tag: "long press sends the LongPressed entries", rule: "for", action: "LongPressed", group: -1, sent: ["L1"] },
            { tag: "click sends only the first Clicked entry", rule: "click", group: -1, sent: ["C1"] },
            { tag: "click without a group number", rule: "click", group: undefined, sent: ["C1"] },
            { tag: "a grouped button never clicks", rule: "click", group: 2, sent: [] },
            { tag: "group 0 is a group too", rule: "click", group: 0, sent: [] },
            { tag: "set-up of a momentary button: press and release entries in list order", rule: "initial", sent: ["P1", "R1", "P2"] },
            { tag: "no list", rule: "click", group: -1, list: null, sent: [] }
        ]
    }
    function test_events(data) {
        var list = data.list === null ? undefined : mixed
        var out = data.rule === "for" ? Rules.eventsFor(list, data.action)
                : data.rule === "click" ? Rules.clickEvents(list, data.group)
                : Rules.initialMomentaryEvents(list)
        compare(datas(out), data.sent)
    }

    function test_latchCommand_data() {
        var show = ev("ButtonPressed", "S", "ShowWidget"), hide = ev("ButtonRelease", "H", "HideWidget")
        var base = [ev("ButtonPressed", "P1"), ev("ButtonRelease", "R1"), show, hide, ev("Clicked", "C1")]
        return [
            { tag: "checked while sending: pressed entries and the on report", list: base, checked: true, sending: true, sent: ["P1", "S"], report: "B_b1_1" },
            { tag: "unchecked while sending: release entries and the off report", list: base, checked: false, sending: true, sent: ["R1", "H"], report: "B_b1_0" },
            { tag: "not sending: only ShowWidget/HideWidget, no report", list: base, checked: true, sending: false, sent: ["S"], report: "" },
            { tag: "not sending, unchecked", list: base, checked: false, sending: false, sent: ["H"], report: "" },
            { tag: "SwitchPage cancels the report", list: [ev("ButtonPressed", "P1"), ev("ButtonPressed", "G", "SwitchPage")],
              checked: true, sending: true, sent: ["P1", "G"], report: "" },
            { tag: "an event to 127.0.0.1 cancels the report", list: [ev("ButtonRelease", "L", "SendData", "127.0.0.1")],
              checked: false, sending: true, sent: ["L"], report: "" },
            { tag: "SwitchPage is not sent while not sending", list: [ev("ButtonPressed", "G", "SwitchPage")],
              checked: true, sending: false, sent: [], report: "" },
            { tag: "no entries still report", list: [], checked: true, sending: true, sent: [], report: "B_b1_1" }
        ]
    }
    function test_latchCommand(data) {
        var c = Rules.latchCommand(data.list, "b1", data.checked, data.sending)
        compare(datas(c.send), data.sent)
        compare(c.report, data.report)
    }

    // Pointer position -> candidate value -> accepted value (null: the slider keeps its value).
    function test_sliderValue_data() {
        return [
            { tag: "horizontal", pos: 50, len: 200, min: 0, max: 100, vertical: false, current: 0, step: 0, value: 25 },
            { tag: "horizontal with an offset range", pos: 100, len: 200, min: 10, max: 20, vertical: false, current: 10, step: 0, value: 15 },
            { tag: "vertical counts upwards", pos: 50, len: 200, min: 0, max: 100, vertical: true, current: 0, step: 0, value: 75 },
            { tag: "beyond the end clamps to max", pos: 260, len: 200, min: 0, max: 100, vertical: false, current: 50, step: 0, value: 100 },
            { tag: "before the start clamps to min", pos: -30, len: 200, min: 0, max: 100, vertical: false, current: 50, step: 0, value: 0 },
            { tag: "clamping ignores the step", pos: 202, len: 200, min: 0, max: 100, vertical: false, current: 98, step: 5, value: 100 },
            { tag: "step 5 at 50: 53 is ignored", pos: 106, len: 200, min: 0, max: 100, vertical: false, current: 50, step: 5, value: null },
            { tag: "step 5 at 50: 55 is taken", pos: 110, len: 200, min: 0, max: 100, vertical: false, current: 50, step: 5, value: 55 },
            { tag: "step 5 at 50: 47 is ignored", pos: 94, len: 200, min: 0, max: 100, vertical: false, current: 50, step: 5, value: null },
            { tag: "exactly one step despite rounding (44.99999999999999)", pos: 110, len: 200, min: 0, max: 100, vertical: true, current: 40, step: 5, value: 45 },
            { tag: "the same value is no change", pos: 100, len: 200, min: 0, max: 100, vertical: false, current: 50, step: 0, value: null },
            { tag: "at min already", pos: -5, len: 200, min: 0, max: 100, vertical: false, current: 0, step: 0, value: null },
            { tag: "a track without length gives min", pos: 10, len: 0, min: 0, max: 100, vertical: false, current: 30, step: 0, value: 0 }
        ]
    }
    function test_sliderValue(data) {
        var candidate = Rules.linearValue(data.pos, data.len, data.min, data.max, data.vertical)
        var v = Rules.acceptValue(data.current, candidate, data.step, data.min, data.max)
        if (data.value === null)
            compare(v, null, "candidate " + candidate)
        else
            fuzzyCompare(v, data.value, 1e-6)
    }

    function test_valueLabel_data() {
        return [
            { tag: "position in percent", value: 15, min: 10, max: 20, label: "50" },
            { tag: "rounded", value: 1.011, min: 0, max: 2, label: "51" },
            { tag: "empty range", value: 5, min: 5, max: 5, label: "0" }
        ]
    }
    function test_valueLabel(data) { compare(Rules.valueLabel(data.value, data.min, data.max), data.label) }

    // Pointer angles from the centre, and the angle the handle is drawn at.
    function test_knobAngles_data() {
        return [
            { tag: "right", dx: 10, dy: 0, angle: 0 }, { tag: "up", dx: 0, dy: -10, angle: 90 },
            { tag: "left", dx: -10, dy: 0, angle: 180 }, { tag: "down", dx: 0, dy: 10, angle: 270 },
            { tag: "lower right", dx: 10, dy: 10, angle: 315 },
            { tag: "handle: clockwise half way is the top", pos: 0.5, start: 225, end: 315, dir: 0, angle: 90 },
            { tag: "handle: clockwise at the end, wrapped", pos: 1, start: 225, end: 315, dir: 0, angle: 315 },
            { tag: "handle: counter-clockwise adds", pos: 45 / 270, start: 315, end: 225, dir: 1, angle: 0 },
            { tag: "handle: at the start", pos: 0, start: 270, end: 270, dir: 0, angle: 270 }
        ]
    }
    function test_knobAngles(data) {
        var a = data.pos === undefined ? Rules.knobAngle(data.dx, data.dy)
                                       : Rules.knobHandleAngle(data.pos, data.start, data.end, data.dir)
        fuzzyCompare(a, data.angle, 1e-9)
    }

    function test_knobTotal_data() {
        return [
            { tag: "start > end, clockwise", start: 300, end: 60, dir: 0, total: 240 },
            { tag: "start > end, counter-clockwise", start: 300, end: 60, dir: 1, total: 120 },
            { tag: "start < end, clockwise", start: 60, end: 300, dir: 0, total: 120 },
            { tag: "start < end, counter-clockwise", start: 60, end: 300, dir: 1, total: 240 },
            { tag: "default 270/270, clockwise: a full turn", start: 270, end: 270, dir: 0, total: 360 },
            { tag: "default 270/270, counter-clockwise: a full turn", start: 270, end: 270, dir: 1, total: 360 }
        ]
    }
    function test_knobTotal(data) { compare(Rules.knobTotal(data.start, data.end, data.dir), data.total) }

    // A clockwise knob from 225 (lower left) over the top to 315 (lower right): 270 degrees, gap at the bottom.
    function test_knobPosition_data() {
        return [
            { tag: "left of centre", current: 0, angle: 180, start: 225, end: 315, dir: 0, pos: 45 / 270 },
            { tag: "top is half way", current: 0.4, angle: 90, start: 225, end: 315, dir: 0, pos: 0.5 },
            { tag: "right", current: 0.6, angle: 0, start: 225, end: 315, dir: 0, pos: 225 / 270 },
            { tag: "into the gap from the end side stays at the end", current: 0.9, angle: 280, start: 225, end: 315, dir: 0, pos: 1 },
            { tag: "no jump from the start across the gap", current: 0, angle: 250, start: 225, end: 315, dir: 0, pos: null },
            { tag: "no jump from the end to the start", current: 1, angle: 224, start: 225, end: 315, dir: 0, pos: null },
            { tag: "counter-clockwise mirror", current: 0, angle: 0, start: 315, end: 225, dir: 1, pos: 45 / 270 },
            { tag: "full turn: no jump across the start", current: 0.02, angle: 280, start: 270, end: 270, dir: 0, pos: null },
            { tag: "full turn: half way at the top", current: 0.4, angle: 90, start: 270, end: 270, dir: 0, pos: 0.5 },
            { tag: "counter-clockwise full turn moves", current: 0.1, angle: 0, start: 270, end: 270, dir: 1, pos: 0.25 }
        ]
    }
    function test_knobPosition(data) {
        var p = Rules.knobPosition(data.current, data.angle, data.start, data.end, data.dir)
        if (data.pos === null)
            compare(p, null)
        else
            fuzzyCompare(p, data.pos, 1e-9)
    }

    // A 2 × 3 matrix; `on` lists the checked cells as [row, column].
    function cells(on) {
        var c = [false, false, false, false, false, false]
        for (var i = 0; i < on.length; ++i)
            c[on[i][0] * 3 + on[i][1]] = true
        return c
    }
    function test_matrix_data() {
        return [
            { tag: "state text with empty columns", on: [[1, 0]], text: "M_m1_1_-1_-1" },
            { tag: "state text, none checked", on: [], text: "M_m1_-1_-1_-1" },
            { tag: "click checks the cell and clears its column", on: [[1, 1]], click: [0, 1], isOn: true,
              after: [[0, 1]], text: "M_m1_-1_0_-1" },
            { tag: "click on the checked cell unchecks it", on: [[1, 1], [0, 2]], click: [1, 1], isOn: false,
              after: [[0, 2]], text: "M_m1_-1_-1_0" },
            { tag: "cells from rows, out-of-range rows leave the column empty", rows: ["1", "-1", "5"], after: [[1, 0]] },
            { tag: "cells from a short list", rows: ["0"], after: [[0, 0]] },
            { tag: "cells from text that is no number, extra columns ignored", rows: ["x", "1", "0", "1"], after: [[1, 1], [0, 2]] }
        ]
    }
    function test_matrix(data) {
        if (data.rows !== undefined) {
            compare(Rules.matrixCellsFromRows(data.rows, 2, 3), cells(data.after))
            return
        }
        var c = cells(data.on)
        if (data.click !== undefined) {
            var next = Rules.matrixClick(c, 2, 3, data.click[0], data.click[1])
            compare(next.on, data.isOn)
            compare(next.cells, cells(data.after))
            compare(c, cells(data.on), "the old cells are kept")
            c = next.cells
        }
        compare(Rules.matrixStateText("m1", c, 2, 3), data.text)
    }
}
