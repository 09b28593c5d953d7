.pragma library
// A level docker's rules: where a reported value stands between the designed minimum and
// maximum, the text it shows, and which way the level grows. Kept out of the item so tests
// can call them directly.

// The docker's reply settings: the "recv" object of its first event, or {}.
function recv(map) {
    var events = map && map.eventAttrList
    var first = Array.isArray(events) && events.length > 0 ? events[0] : null
    var value = first && first.value
    return value && value.recv ? value.recv : {}
}

function percentage(map) {
    return recv(map).percentage === true
}

// The designed range; a range whose maximum is not above its minimum is read as 0..100, the
// docker's default, rather than drawing nothing.
function range(map) {
    var min = Number(map && map.dataMinValue)
    var max = Number(map && map.dataMaxValue)
    if (!isFinite(min)) min = 0
    if (!isFinite(max)) max = 100
    if (max <= min) return { min: 0, max: 100 }
    return { min: min, max: max }
}

// The share of the range the value fills, 0 to 1; nothing reported yet is an empty level.
function fraction(map, value) {
    var v = Number(value)
    if (value === undefined || value === null || !isFinite(v))
        return 0
    var r = range(map)
    return Math.max(0, Math.min(1, (v - r.min) / (r.max - r.min)))
}

// What the docker writes next to its level: the value, or its place in the range as a
// percentage where the design says so; empty before the first report or when the design
// hides the label.
function label(map, value) {
    if (value === undefined || value === null || (map && map.isShowLable === false))
        return ""
    if (percentage(map))
        return Math.round(fraction(map, value) * 100) + "%"
    return String(value)
}

// A level grows upwards in an area taller than wide, else to the right.
function vertical(width, height) {
    return height > width
}
