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
