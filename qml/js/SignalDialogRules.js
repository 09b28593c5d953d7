.pragma library
// What the signal settings dialog sends for the operator's pointer actions, and how it places
// the picture. The dialog only forwards pointer positions here, so tests can call every rule
// directly.

// Pointer moves up to this many units are jitter: they send nothing.
var kMoveThreshold = 2
// Marks are drawn in this frame whatever the encoder's input size.
var kMarkWidth = 1920
var kMarkHeight = 1080
var kDefaultWidth = 1920
var kDefaultHeight = 1080
var penSizes = ["4", "6", "8", "10", "12", "14"]
var evenWarning = "Width and high must be an even number!"
var rangeWarning = "Parameter exceeds the maximum range!"
// The host's playback commands, in the order of the control page's buttons.
var hostFileCommands = ["play", "pause", "forward", "back", "vol+", "vol-", "mute", "previous", "next"]

// ---- Stream and source ----

// The multicast group and port of a sub-stream URL "udp://group:port". Shorter URLs (an
// unset one is "" or a bare scheme) give no stream.
function splitStreamUrl(url) {
    var text = String(url || "")
    if (text.length <= 6)
        return { group: "", port: 0 }
    var rest = text.indexOf("udp://") === 0 ? text.substring(6) : text
    var colon = rest.indexOf(":")
    if (colon < 0)
        return { group: rest, port: 0 }
    var port = parseInt(rest.substring(colon + 1), 10)
    return { group: rest.substring(0, colon), port: isNaN(port) || port < 0 || port > 65535 ? 0 : port }
}

function positive(v, fallback) {
    var n = Number(v)
    return isFinite(n) && n > 0 ? n : fallback
}

// The encoder's source geometry: {pixWidth, pixHeight, cropEnable, pixCropX, pixCropY,
// pixCropWidth, pixCropHeight}. The part of the input the picture shows: the crop rectangle
// while cropping is on (and it has a size), else the whole input.
function shownSource(s) {
    var w = positive(s.pixWidth, kDefaultWidth), h = positive(s.pixHeight, kDefaultHeight)
    if (s.cropEnable && positive(s.pixCropWidth, 0) > 0 && positive(s.pixCropHeight, 0) > 0)
        return { x: Number(s.pixCropX) || 0, y: Number(s.pixCropY) || 0, width: Number(s.pixCropWidth), height: Number(s.pixCropHeight) }
    return { x: 0, y: 0, width: w, height: h }
}

// The largest rectangle of the source's aspect ratio centred in an area.
function fitRect(areaWidth, areaHeight, sourceWidth, sourceHeight) {
    if (!(areaWidth > 0) || !(areaHeight > 0) || !(sourceWidth > 0) || !(sourceHeight > 0))
        return { x: 0, y: 0, width: Math.max(0, areaWidth || 0), height: Math.max(0, areaHeight || 0) }
    var scale = Math.min(areaWidth / sourceWidth, areaHeight / sourceHeight)
    var w = sourceWidth * scale, h = sourceHeight * scale
    return { x: (areaWidth - w) / 2, y: (areaHeight - h) / 2, width: w, height: h }
}

function clamp(v, lo, hi) { return Math.max(lo, Math.min(hi, v)) }

// The source pixel under a picture position, for the KVM pointer. Positions dragged out of
// the picture stay on its edge: the seat takes no coordinates outside its screen.
function sourcePoint(x, y, pictureWidth, pictureHeight, s) {
    var r = shownSource(s)
    if (!(pictureWidth > 0) || !(pictureHeight > 0))
        return { x: r.x, y: r.y }
    return {
        x: clamp(Math.floor(x * r.width / pictureWidth + r.x), r.x, r.x + r.width - 1),
        y: clamp(Math.floor(y * r.height / pictureHeight + r.y), r.y, r.y + r.height - 1)
    }
}

// A picture position in the marking frame.
function markPoint(x, y, pictureWidth, pictureHeight) {
    if (!(pictureWidth > 0) || !(pictureHeight > 0))
        return { x: 0, y: 0 }
    return {
        x: clamp(Math.round(x * kMarkWidth / pictureWidth), 0, kMarkWidth),
        y: clamp(Math.round(y * kMarkHeight / pictureHeight), 0, kMarkHeight)
    }
}

// The rectangle between two points, whichever way it was dragged.
function spanRect(x0, y0, x1, y1) {
    return { x: Math.min(x0, x1), y: Math.min(y0, y1), width: Math.abs(x1 - x0), height: Math.abs(y1 - y0) }
}

// A mark frame from the press point to the release point, in the marking frame.
function markRect(x0, y0, x1, y1, pictureWidth, pictureHeight) {
    var a = markPoint(x0, y0, pictureWidth, pictureHeight), b = markPoint(x1, y1, pictureWidth, pictureHeight)
    var r = spanRect(a.x, a.y, b.x, b.y)
    return { x: r.x, y: r.y, w: r.width, h: r.height }
}

// ---- Crop ----

// The crop rectangle dragged from the press point to the pointer, kept on the picture.
function cropDragRect(x0, y0, x1, y1, pictureWidth, pictureHeight) {
    return spanRect(clamp(x0, 0, pictureWidth), clamp(y0, 0, pictureHeight),
                    clamp(x1, 0, pictureWidth), clamp(y1, 0, pictureHeight))
}

// The crop fields for a rectangle on the picture: the input's pixels, rounded.
function cropFields(rect, pictureWidth, pictureHeight, pixWidth, pixHeight) {
    if (!(pictureWidth > 0) || !(pictureHeight > 0))
        return { x: 0, y: 0, w: 0, h: 0 }
    var sx = positive(pixWidth, kDefaultWidth) / pictureWidth, sy = positive(pixHeight, kDefaultHeight) / pictureHeight
    return { x: Math.round(rect.x * sx), y: Math.round(rect.y * sy), w: Math.round(rect.width * sx), h: Math.round(rect.height * sy) }
}

function fieldValue(v) {
    var text = String(v).trim()
    return /^-?[0-9]+$/.test(text) ? parseInt(text, 10) : NaN
}

// The warning the crop fields earn, or "" when they can be sent. Odd sizes are named first:
// the encoder refuses them whatever the position.
function cropWarning(x, y, w, h, pixWidth, pixHeight) {
    var v = [fieldValue(x), fieldValue(y), fieldValue(w), fieldValue(h)]
    if (v.some(isNaN) || v.some(function (n) { return n < 0 }))
        return rangeWarning
    if (v[2] % 2 !== 0 || v[3] % 2 !== 0)
        return evenWarning
    if (v[0] + v[2] > positive(pixWidth, kDefaultWidth) || v[1] + v[3] > positive(pixHeight, kDefaultHeight))
        return rangeWarning
    return ""
}

// ---- Gestures ----

function movedBeyond(x0, y0, x1, y1) {
    return Math.abs(x1 - x0) > kMoveThreshold || Math.abs(y1 - y0) > kMoveThreshold
}

// The seat's button code for a pressed pointer button (left 1, right 2, middle 4), 0 for others.
function pressButton(qtButton) {
    switch (qtButton) {
    case Qt.LeftButton: return 1
    case Qt.RightButton: return 2
    case Qt.MiddleButton: return 4
    }
    return 0
}
var releaseButton = 0
// A move while pressed drags with the left button, whichever was pressed.
var moveButton = 1

// The extra buttons a double click sends: left double clicks only.
function doubleClickButtons(qtButton) { return qtButton === Qt.LeftButton ? [1, 0, 1, 0] : [] }

// A press held still is a right click on the seat; one that moved away is a drag.
function holdButtons(moved) { return moved ? [] : [2, 0] }

// ---- Signal message ----

function intOf(v, fallback) {
    var n = parseInt(v, 10)
    return isNaN(n) ? fallback : n
}

// The dialog's settings from an encoder report ({key: text}); keys the report lacks are left
// out, so the dialog keeps what it had.
function signalSettings(msg) {
    var out = {}
    function take(key, name, fallback) {
        if (msg[key] !== undefined)
            out[name] = intOf(msg[key], fallback)
    }
    take("kChn0_VI_X", "pixCropX", 0)
    take("kChn0_VI_Y", "pixCropY", 0)
    take("kChn0_VI_Width", "pixCropWidth", 0)
    take("kChn0_VI_Height", "pixCropHeight", 0)
    take("kChn0_VI_W", "pixWidth", kDefaultWidth)
    take("kChn0_VI_H", "pixHeight", kDefaultHeight)
    if (msg.kChn0_VI_Crop_Enable !== undefined)
        out.cropEnable = String(msg.kChn0_VI_Crop_Enable).trim() === "1"
    if (msg.kChn0_Osd_Name !== undefined)
        out.osdText = String(msg.kChn0_Osd_Name)
    take("kChn0_Osd_X", "osdX", 0)
    take("kChn0_Osd_Y", "osdY", 0)
    take("kChn0_Osd_Size", "osdSize", 0)
    if (msg.kChn0_Osd_Enable !== undefined)
        out.osdEnable = intOf(msg.kChn0_Osd_Enable, 0) !== 0
    return out
}

// ---- Host files ----

// What a click on row `index` of a file listing does: {folder: parent id to list} for a
// folder (the first row is the listed folder itself and goes up), {open: row} for a playable
// file (types 1 to 5), null otherwise.
function hostFileAction(rows, index) {
    var row = rows && rows[index]
    if (!row)
        return null
    var type = Number(row.type)
    if (index === 0)
        return { folder: String(row.pid !== undefined ? row.pid : "0") }
    if (type === 0)
        return { folder: String(row.id) }
    if (type >= 1 && type <= 5)
        return { open: row }
    return null
}

// ---- Cameras ----

// Camera signals carry "-IPC" after their address in their id.
function isCamera(id) { return /-IPC$/.test(String(id)) }
// The direction codes the camera buttons send while pressed; 0 stops.
var cameraStop = 0
var cameraMoves = [{ name: "Up", direction: 1 }, { name: "Down", direction: 2 }, { name: "Left", direction: 3 },
                   { name: "Right", direction: 4 }]
var cameraZooms = [{ name: "Zoom in", direction: 1 }, { name: "Zoom out", direction: 2 }]
// A preset name the controller can store: not empty, at most 32 characters.
function presetName(text) {
    var t = String(text || "").trim()
    return t.length > 0 && t.length <= 32 ? t : ""
}
