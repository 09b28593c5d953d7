.pragma library
// The wall's subtitle and an input's label as the controller's operations take them. The
// dialog keeps its fields in one object (`fields`); these turn it into the maps and back.
//
// Two subtitle forms: "image" (the client renders the text into a picture the decoders
// show) and "text" (the decoders render it from the command).

function defaults(wallWidth) {
    return { form: "text", string: "", fontCol: "#ffffff", bkCol: "#000000", x: 0, y: 0,
             width: wallWidth > 0 ? wallWidth : 1920, height: 60, transparent: false, move: "left",
             time: 5, suspend: false, middle: false, fontFamily: "", fontSize: 32, bold: false }
}

function toInt(value, fallback) {
    var n = parseInt(value, 10)
    return isNaN(n) ? fallback : n
}
function toBool(value) {
    return value === true || value === 1 || value === "1" || value === "true"
}

// The dialog's fields from the subtitle state a wall keeps ({} for a wall without one). The
// state of the image form carries the font as "fontfamily" and "fontsize".
function fieldsFromState(state, wallWidth) {
    var f = defaults(wallWidth)
    var s = state || {}
    if (s.fontfamily !== undefined || s.middle !== undefined)
        f.form = "image"
    if (s.string !== undefined) f.string = String(s.string)
    if (s.fontCol) f.fontCol = String(s.fontCol)
    if (s.bkCol) f.bkCol = String(s.bkCol)
    f.x = toInt(s.x, f.x)
    f.y = toInt(s.y, f.y)
    f.width = toInt(s.width, f.width)
    f.height = toInt(s.height, f.height)
    if (s.transparent !== undefined) f.transparent = toBool(s.transparent)
    if (s.move === "left" || s.move === "right") f.move = s.move
    f.time = toInt(s.time, f.time)
    if (s.suspend !== undefined) f.suspend = toBool(s.suspend)
    if (s.middle !== undefined) f.middle = toBool(s.middle)
    if (s.fontfamily !== undefined) f.fontFamily = String(s.fontfamily)
    f.fontSize = toInt(f.form === "image" ? s.fontsize : s.fontSize, f.fontSize)
    if (s.bold !== undefined) f.bold = toBool(s.bold)
    return f
}

// The keys both forms share.
function common(f) {
    return { string: String(f.string), fontCol: String(f.fontCol), x: toInt(f.x, 0), y: toInt(f.y, 0),
             height: toInt(f.height, 0), bkCol: String(f.bkCol), transparent: !!f.transparent,
             move: f.move === "right" ? "right" : "left", time: toInt(f.time, 0), suspend: !!f.suspend }
}
// The map of makeOSDImage, showOSD and closeOSD; the font is the one the picture is drawn in.
function imageMap(f) {
    var m = common(f)
    m.font = Qt.font({ family: String(f.fontFamily), pointSize: Math.max(1, toInt(f.fontSize, 1)) })
    m.middle = !!f.middle
    return m
}
// The map of makeOSDImageV2, showOSDV2 and closeOSDV2.
function textMap(f) {
    var m = common(f)
    m.width = toInt(f.width, 0)
    m.bold = !!f.bold
    m.fontSize = toInt(f.fontSize, 0)
    return m
}

// Only what the picture shows needs a new picture; a move of the same picture reuses the one
// the decoders have. `shown` is the fields last shown in the image form (null: none yet).
function needsNewPicture(shown, f) {
    if (!shown)
        return true
    var keys = ["string", "fontCol", "bkCol", "height", "fontFamily", "fontSize"]
    for (var i = 0; i < keys.length; ++i) {
        if (String(shown[keys[i]]) !== String(f[keys[i]]))
            return true
    }
    return false
}

// The controller call that shows (`show` true) or closes the subtitle, as {name, args}.
function subtitleCall(f, show, shownPicture) {
    if (f.form === "image") {
        var name = !show ? "closeOSD" : needsNewPicture(shownPicture, f) ? "makeOSDImage" : "showOSD"
        return { name: name, args: [imageMap(f)] }
    }
    return { name: show ? "showOSDV2" : "closeOSDV2", args: [textMap(f)] }
}

// The label one input's encoder draws: the map of ServerSetInNodeOSD.
function labelMap(label) {
    return { ip: String(label.ip), enable: label.enable ? 1 : 0, str: String(label.text),
             font_col: String(label.colour), x: toInt(label.x, 0), y: toInt(label.y, 0),
             font_size: toInt(label.size, 0) }
}
