.pragma library
// What a monitor item makes of its node: which node it asks the node control to watch, and
// how the node's status reads on screen.

// The node's own address: design commands may add a suffix after "-", the node answers
// from the plain address.
function nodeAddress(ip) {
    return String(ip === undefined || ip === null ? "" : ip).split("-")[0].trim()
}

// "ip|type" while the monitor should be watched (a node of type "1" decoder or "0"
// encoder, on screen); "" otherwise.
function watchKey(ip, type, shown) {
    var address = nodeAddress(ip)
    var t = String(type === undefined || type === null ? "" : type).trim()
    if (!shown || address === "" || (t !== "0" && t !== "1"))
        return ""
    return address + "|" + t
}
// { ip, type } of a watch key, or null for "".
function fromKey(key) {
    if (!key)
        return null
    var parts = key.split("|")
    return { ip: parts[0], type: parseInt(parts[1], 10) }
}

// "none": watches nothing; "waiting": watched, nothing heard yet; "silent": the node
// stopped answering; "ok": values to show.
function state(watching, status, silent) {
    if (!watching)
        return "none"
    if (silent)
        return "silent"
    return status ? "ok" : "waiting"
}

function number(v) {
    var n = Number(v)
    return v === undefined || v === null || v === "" || !isFinite(n) ? null : n
}
function percent(v) {
    var n = number(v)
    return n === null ? "-" : (Math.round(n * 10) / 10).toFixed(1) + " %"
}
function text(v) {
    var s = v === undefined || v === null ? "" : String(v).trim()
    return s === "" ? "-" : s
}

// The rows a monitor shows, labels through `translate`: CPU, memory, temperature, network
// speed and running time.
function rows(status, translate) {
    var tr = translate || function (t) { return t }
    var s = status || {}
    var t = number(s.temperature)
    return [
        { label: tr("CPU"), value: percent(s.cpu) },
        { label: tr("Memory"), value: percent(s.mem) },
        { label: tr("Temperature"), value: t === null ? "-" : Math.round(t) + " °C" },
        { label: tr("Network"), value: text(s.netSpeed) },
        { label: tr("Running time"), value: text(s.runingTime) }
    ]
}

// The rows as one text that wraps only between rows ("CPU 12.5 %   Memory 25.0 %   ...").
function statusText(status, translate) {
    return rows(status, translate).map(function (r) {
        return (r.label + " " + r.value).replace(/ /g, "\u00a0")
    }).join("   ")
}

// Warm colours for the values worth a look: load or memory from 90 %, 80 °C and more.
function alert(status) {
    var s = status || {}
    var cpu = number(s.cpu), mem = number(s.mem), t = number(s.temperature)
    return (cpu !== null && cpu >= 90) || (mem !== null && mem >= 90) || (t !== null && t >= 80)
}
