.pragma library
// How the room's faults read on screen: silent signals, previews waiting for their stream,
// the preview figures, walls whose decoders did not answer.

// A duration in whole seconds, short: "12 s", "4 min", "2 h".
function duration(seconds) {
    var s = Math.max(0, Math.floor(Number(seconds) || 0))
    if (s < 120)
        return s + " s"
    if (s < 7200)
        return Math.floor(s / 60) + " min"
    return Math.floor(s / 3600) + " h"
}

// A snapshot tile's mark: "" while it shows pictures (silentSeconds < 0).
function silence(silentSeconds, delivered) {
    if (silentSeconds === undefined || silentSeconds === null || silentSeconds < 0)
        return ""
    return delivered ? "no picture · " + duration(silentSeconds) : "no picture yet"
}

// What a live preview waits for, from the item's `waiting` and `silentSeconds`.
function previewWaiting(waiting, silentSeconds) {
    if (waiting === "stream")
        return "waiting for the stream"
    if (waiting === "keyframe")
        return "waiting for a key frame"
    if (waiting === "silent")
        return "no stream for " + duration(silentSeconds)
    return ""
}

// A preview's figures of the last second, three lines; "" before the first.
function previewFigures(f) {
    if (!f || f.codec === undefined)
        return ""
    var n = function (v, digits) { return (Number(v) || 0).toFixed(digits) }
    var size = f.width > 0 ? " " + f.width + "×" + f.height : ""
    return (f.codec || "-") + size + "\n"
        + "frames/s " + n(f.received, 0) + " received · " + n(f.shown, 0) + " shown · " + n(f.dropped, 0) + " dropped\n"
        + "lost " + n(f.lost, 0) + " frames · decode " + n(f.decodeMs, 1) + " ms · latency " + n(f.latencyMs, 1) + " ms"
}

// The outputs of a wall that did not answer its window query, each where it shows on the
// wall: its rectangle among `nodeRects` (wall pixels, "audio" naming the decoder), or the
// whole wall (`whole`) for a decoder of the wall (`ownsOutput`) without one.
function silentOutputs(nodeRects, silent, ownsOutput) {
    var out = []
    for (var i = 0; silent && i < silent.length; ++i) {
        var ip = silent[i], found = false
        for (var j = 0; nodeRects && j < nodeRects.length; ++j) {
            var r = nodeRects[j]
            if (String(r.audio || "").split("-")[0].trim() !== ip)
                continue
            out.push({ ip: ip, whole: false, x: r.x, y: r.y, width: r.width, height: r.height })
            found = true
        }
        if (!found && ownsOutput(ip))
            out.push({ ip: ip, whole: true })
    }
    return out
}

// The TCP peers a designed button sends to, "address:port" as the client's link names them.
function tcpTargets(events) {
    var seen = {}, out = []
    for (var i = 0; events && i < events.length; ++i) {
        var e = events[i] || {}, v = e.value || {}
        if (e.behavior !== "SendData" || v.protocol !== "Tcp")
            continue
        var key = String(v.ip === undefined || v.ip === null ? "" : v.ip).split("-")[0].trim() + ":" + Number(v.port)
        if (!seen[key]) {
            seen[key] = true
            out.push(key)
        }
    }
    return out
}
// Whether any of `targets` is among the peers down now.
function anyDown(targets, down) {
    for (var i = 0; down && i < targets.length; ++i) {
        if (down.indexOf(targets[i]) !== -1)
            return true
    }
    return false
}
