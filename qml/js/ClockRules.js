.pragma library
// The clocks of a wall as the clock dialog edits them: every clock is a map of texts with
// the keys the wall reports and takes back.

var keys = ["content", "xPos", "yPos", "w", "h", "bkClr", "fontClr", "fontSize"]

// A clock with every key, as text; missing keys are empty.
function clock(map) {
    var m = map || {}
    var c = {}
    for (var i = 0; i < keys.length; ++i)
        c[keys[i]] = m[keys[i]] === undefined || m[keys[i]] === null ? "" : String(m[keys[i]])
    return c
}
function clocks(list) {
    return (list || []).map(clock)
}

// A new clock: below the last one, so that it does not hide it.
function newClock(list) {
    var y = 0
    for (var i = 0; i < list.length; ++i) {
        var bottom = (parseInt(list[i].yPos, 10) || 0) + (parseInt(list[i].h, 10) || 0)
        y = Math.max(y, bottom)
    }
    return { content: "hh:mm:ss", xPos: "0", yPos: String(y), w: "400", h: "120",
             bkClr: "#000000", fontClr: "#ffffff", fontSize: "32" }
}

function withClock(list, index, c) {
    var out = list.slice()
    if (index >= 0 && index < out.length)
        out[index] = clock(c)
    return out
}
function without(list, index) {
    return list.filter(function (c, i) { return i !== index })
}

// One line per clock in the list: its first line of content and where it stands.
function label(c) {
    var first = String(c.content).split("\n")[0]
    return first + "   (" + c.xPos + ", " + c.yPos + ", " + c.w + " × " + c.h + ")"
}
