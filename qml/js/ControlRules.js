.pragma library
// When the designed buttons, sliders, knobs and matrices fire their events, and what they
// show. The items only forward pointer actions here, so tests can call every rule directly.

// ---- Buttons ----

// The entries of `list` whose action is `action`, in list order.
function eventsFor(list, action) {
    var out = []
    if (!Array.isArray(list))
        return out
    for (var i = 0; i < list.length; ++i) {
        if (list[i] && list[i].action === action)
            out.push(list[i])
    }
    return out
}

// What a click sends: the first "Clicked" entry, nothing for a grouped button.
function clickEvents(list, buttonGroup) {
    if (buttonGroup !== undefined && buttonGroup !== -1)
        return []
    var clicked = eventsFor(list, "Clicked")
    return clicked.length > 0 ? [clicked[0]] : []
}

function isLocalCommand(event) {
    return !!event && !!event.value && typeof event.value === "object" && event.value.ip === "127.0.0.1"
}

// A latching button's state command. Returns {send: entries to send, report: the state text
// for the store or ""}. While sending is off only "ShowWidget"/"HideWidget" entries go, and
// nothing is reported.
function latchCommand(list, objectName, checked, isSendState) {
    var entries = eventsFor(list, checked ? "ButtonPressed" : "ButtonRelease")
    var send = []
    var report = isSendState
    for (var i = 0; i < entries.length; ++i) {
        var e = entries[i]
        if (isSendState) {
            send.push(e)
            if (e.behavior === "SwitchPage")
                report = false
        } else if (e.behavior === "ShowWidget" || e.behavior === "HideWidget") {
            send.push(e)
        }
        if (isLocalCommand(e))
            report = false
    }
    return { send: send, report: report ? "B_" + objectName + (checked ? "_1" : "_0") : "" }
}

// A momentary button with initialTrigger sends every press and release entry once, in list
// order, when it is set up.
function initialMomentaryEvents(list) {
    var out = []
    if (!Array.isArray(list))
        return out
    for (var i = 0; i < list.length; ++i) {
        var a = list[i] && list[i].action
        if (a === "ButtonPressed" || a === "ButtonRelease")
            out.push(list[i])
    }
    return out
}

// ---- Sliders ----

function clamp(v, lo, hi) { return Math.max(lo, Math.min(hi, v)) }

// The value of a pointer at `pos` along a track of `length` (vertical tracks count upwards).
function linearValue(pos, length, min, max, vertical) {
    if (!(length > 0))
        return min
    var f = pos / length
    if (vertical)
        f = 1 - f
    return min + (max - min) * f
}

// The value a slider takes for a candidate: clamped to the range; a value inside it only when
// it is at least `step` away from the current one. Returns null when the slider keeps its value.
function acceptValue(current, candidate, step, min, max) {
    if (!isFinite(candidate))
        return null
    var v
    if (candidate <= min)
        v = min
    else if (candidate >= max)
        v = max
    // The tolerance keeps a move of exactly one step (e.g. 44.99999999999999 for 45) from
    // being refused for rounding.
    else if (Math.abs(candidate - current) >= (step > 0 ? step : 0) - 1e-9 * Math.max(1, max - min))
        v = candidate
    else
        return null
    return v === current ? null : v
}

// round(100 × position), the value label of a slider.
function valueLabel(value, min, max) {
    if (!(max > min))
        return "0"
    return String(Math.round(100 * (value - min) / (max - min)))
}

// The in-design step control: "1" adds, "0" subtracts, clamped.
function stepValue(value, action, amount, min, max) {
    var a = Number(amount)
    if (!isFinite(a))
        return value
    return clamp(action === "1" ? value + a : action === "0" ? value - a : value, min, max)
}

function wrap360(a) {
    a = a % 360
    return a < 0 ? a + 360 : a
}

// The pointer angle in degrees 0..360 from the centre, upwards positive.
function knobAngle(dx, dyDown) {
    return wrap360(Math.atan2(-dyDown, dx) * 180 / Math.PI)
}

// The knob's whole travel in degrees; rotateDir 0 is clockwise. Equal angles (the default
// 270/270) are a full turn in both directions: a counter-clockwise knob would not move at all.
function knobTotal(startAngle, endAngle, rotateDir) {
    var cw = rotateDir !== 1
    if (startAngle === endAngle)
        return 360
    if (startAngle > endAngle)
        return cw ? startAngle - endAngle : 360 - (startAngle - endAngle)
    return cw ? 360 - (endAngle - startAngle) : endAngle - startAngle
}

// Degrees travelled from the start for a pointer angle, limited to 0..total.
function knobTravel(angle, startAngle, endAngle, rotateDir) {
    var total = knobTotal(startAngle, endAngle, rotateDir)
    return Math.min(total, wrap360(rotateDir !== 1 ? startAngle - angle : angle - startAngle))
}

// The knob's position (0..1) after a pointer move, or null when the move would jump more
// than half of the travel (the pointer crossed the gap).
function knobPosition(currentPosition, angle, startAngle, endAngle, rotateDir) {
    var total = knobTotal(startAngle, endAngle, rotateDir)
    if (!(total > 0))
        return null
    var p = knobTravel(angle, startAngle, endAngle, rotateDir) / total
    return Math.abs(p - currentPosition) > 0.5 ? null : p
}

// The angle (degrees, counter-clockwise from the right) the handle is drawn at.
function knobHandleAngle(position, startAngle, endAngle, rotateDir) {
    var d = position * knobTotal(startAngle, endAngle, rotateDir)
    return wrap360(rotateDir !== 1 ? startAngle - d : startAngle + d)
}

// ---- Matrices ----
// Cells are a flat list of booleans in row-major order: cell (r, c) at r × cols + c.

// The checked row of every column, -1 where none is.
function matrixRows(cells, rows, cols) {
    var out = []
    for (var c = 0; c < cols; ++c) {
        var row = -1
        for (var r = 0; r < rows; ++r) {
            if (cells[r * cols + c]) { row = r; break }
        }
        out.push(row)
    }
    return out
}

function matrixStateText(uuid, cells, rows, cols) {
    return "M_" + uuid + "_" + matrixRows(cells, rows, cols).join("_")
}

// A click on cell (r, c): the cell toggles, the others of its column go off. Returns
// {cells, on} with the new cells and whether the cell is now on.
function matrixClick(cells, rows, cols, r, c) {
    var next = cells.slice()
    var on = !next[r * cols + c]
    for (var i = 0; i < rows; ++i)
        next[i * cols + c] = false
    next[r * cols + c] = on
    return { cells: next, on: on }
}

// Cells for a list of per-column rows (a stored state or a preset); rows out of range leave
// their column empty.
function matrixCellsFromRows(list, rows, cols) {
    var cells = []
    for (var i = 0; i < rows * cols; ++i)
        cells.push(false)
    for (var c = 0; c < cols && c < list.length; ++c) {
        var r = parseInt(list[c], 10)
        if (r >= 0 && r < rows)
            cells[r * cols + c] = true
    }
    return cells
}

