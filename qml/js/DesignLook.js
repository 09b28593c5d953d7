.pragma library
// Small rules shared by the designed items: placement in screen units, state values and
// picture addresses. Kept out of the items so tests can call them directly.

// A design rectangle ({x, y, width, height}) in screen units; `round` for the items that
// snap to whole pixels.
function place(globalPos, multiplierW, multiplierH, round) {
    var r = globalPos || { x: 0, y: 0, width: 0, height: 0 }
    var p = { x: multiplierW * r.x, y: multiplierH * r.y,
              width: multiplierW * r.width, height: multiplierH * r.height }
    if (round) {
        p.x = Math.round(p.x); p.y = Math.round(p.y)
        p.width = Math.round(p.width); p.height = Math.round(p.height)
    }
    return p
}

// A state-dependent value ({normal, hover, pressed}) for `state`, or a plain value as it is.
function stateValue(value, state) {
    if (value !== null && typeof value === "object" && !Array.isArray(value) && value.normal !== undefined)
        return value[state] !== undefined ? value[state] : value.normal
    return value
}

// Gradient stops of the design ([{QColor, qreal}]) as [{color, position}], sorted.
function stops(list) {
    var out = []
    if (!Array.isArray(list))
        return out
    for (var i = 0; i < list.length; ++i)
        out.push({ color: String(list[i].QColor), position: Number(list[i].qreal) || 0 })
    out.sort(function (a, b) { return a.position - b.position })
    return out
}

// The stops along the two directions a rectangle's gradient has: "gradientRotate" 0 runs
// left to right, 90 top to bottom, 180 and 270 the other way (stops mirrored); other angles
// take the nearest of these.
function orient(stopList, rotate) {
    var quarter = ((Math.round((Number(rotate) || 0) / 90) % 4) + 4) % 4
    var mirrored = quarter >= 2
    var out = stopList.map(function (s) { return { color: s.color, position: mirrored ? 1 - s.position : s.position } })
    out.sort(function (a, b) { return a.position - b.position })
    return { vertical: quarter % 2 === 1, stops: out }
}
