import QtQuick 2.15
import QtTest 1.15
import "../../qml/js/ControlRules.js" as Rules

TestCase {
    name: "ControlRules"

    // Pointer position -> candidate value -> accepted value (null: the slider keeps its value).
    function test_sliderValue_data() {
        return [
            { tag: "horizontal", pos: 50, len: 200, min: 0, max: 100, vertical: false, current: 0, step: 0, value: 25 },
            { tag: "vertical counts upwards", pos: 50, len: 200, min: 0, max: 100, vertical: true, current: 0, step: 0, value: 75 },
            { tag: "beyond the end clamps to max", pos: 260, len: 200, min: 0, max: 100, vertical: false, current: 50, step: 0, value: 100 },
            { tag: "step 5 at 50: 53 is ignored", pos: 106, len: 200, min: 0, max: 100, vertical: false, current: 50, step: 5, value: null },
            { tag: "step 5 at 50: 55 is taken", pos: 110, len: 200, min: 0, max: 100, vertical: false, current: 50, step: 5, value: 55 },
            { tag: "exactly one step despite rounding (44.99999999999999)", pos: 110, len: 200, min: 0, max: 100, vertical: true, current: 40, step: 5, value: 45 },
            { tag: "the same value is no change", pos: 100, len: 200, min: 0, max: 100, vertical: false, current: 50, step: 0, value: null },
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

    // Pointer angles from the centre, and the angle the handle is drawn at.
    function test_knobAngles_data() {
        return [
            { tag: "right", dx: 10, dy: 0, angle: 0 }, { tag: "up", dx: 0, dy: -10, angle: 90 },
            { tag: "handle: clockwise half way is the top", pos: 0.5, start: 225, end: 315, dir: 0, angle: 90 },
            { tag: "handle: clockwise at the end, wrapped", pos: 1, start: 225, end: 315, dir: 0, angle: 315 },
            { tag: "handle: counter-clockwise adds", pos: 45 / 270, start: 315, end: 225, dir: 1, angle: 0 }
        ]
    }
    function test_knobAngles(data) {
        var a = data.pos === undefined ? Rules.knobAngle(data.dx, data.dy)
                                       : Rules.knobHandleAngle(data.pos, data.start, data.end, data.dir)
        fuzzyCompare(a, data.angle, 1e-9)
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
            { tag: "click checks the cell and clears its column", on: [[1, 1]], click: [0, 1], isOn: true,
              after: [[0, 1]], text: "M_m1_-1_0_-1" },
            { tag: "click on the checked cell unchecks it", on: [[1, 1], [0, 2]], click: [1, 1], isOn: false,
              after: [[0, 2]], text: "M_m1_-1_-1_0" },
            { tag: "cells from rows, out-of-range rows leave the column empty", rows: ["1", "-1", "5"], after: [[1, 0]] },
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
