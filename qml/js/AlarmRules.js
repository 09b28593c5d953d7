.pragma library
// Alarms raised by other systems on the event group: which alarms are open, what they say,
// and the answer each one takes. Kept out of the panel so tests can call them directly.
//
// An alarm is {kind, key, name, nextTime, received} plus, for "audio", eventId and, for
// "input", srcIp, ip and port (the requester the answer goes back to).

// An audio alarm is known by its event id.
function audioAlarm(eventName, eventId, nextTime, now) {
    return { kind: "audio", key: String(eventId), name: String(eventName), eventId: String(eventId),
             nextTime: Number(nextTime) || 0, received: now }
}

// An input alarm is known by the input's address.
function inputAlarm(eventName, nextTime, ip, port, srcIp, now) {
    return { kind: "input", key: String(srcIp), name: String(eventName), srcIp: String(srcIp),
             ip: String(ip), port: Number(port) || 0, nextTime: Number(nextTime) || 0, received: now }
}

function indexOf(list, kind, key) {
    for (var i = 0; i < list.length; ++i) {
        if (list[i].kind === kind && list[i].key === key)
            return i
    }
    return -1
}

// Cards open at once: anyone on the network can raise alarms, and an operator cannot answer
// more than this anyway. The controller keeps as many audio requesters.
var maxOpen = 50

// The open alarms with `alarm` added. The same alarm firing again while it is still open
// takes the place of the open one (its newest times), so it is listed once; beyond maxOpen
// the oldest make way.
function withAlarm(list, alarm) {
    var out = list.slice()
    var i = indexOf(out, alarm.kind, alarm.key)
    if (i >= 0)
        out[i] = alarm
    else
        out.push(alarm)
    if (out.length > maxOpen)
        out.splice(0, out.length - maxOpen)
    return out
}

// The kind another client's answer ("ActiveAudio" or "ActiveInput") is about; "" otherwise.
function kindOfResponse(response) {
    if (response === "ActiveAudio")
        return "audio"
    if (response === "ActiveInput")
        return "input"
    return ""
}

// The open alarms after another client answered. The answer names only the kind of alarm,
// so every open alarm of that kind goes: each has been dealt with somewhere.
function closedBy(list, response) {
    var kind = kindOfResponse(response)
    return list.filter(function (a) { return a.kind !== kind })
}

function without(list, kind, key) {
    return list.filter(function (a) { return !(a.kind === kind && a.key === key) })
}

function pad(n) { return (n < 10 ? "0" : "") + n }
function clockText(date) {
    if (!date)
        return ""
    return pad(date.getHours()) + ":" + pad(date.getMinutes()) + ":" + pad(date.getSeconds())
}

// The lines the panel shows; `tr` translates the fixed words.
function title(alarm, tr) {
    return tr(alarm.kind === "audio" ? "Audio alarm" : "Input alarm")
}
function text(alarm) {
    return alarm.kind === "input" && alarm.srcIp !== "" ? alarm.name + " (" + alarm.srcIp + ")" : alarm.name
}
function detail(alarm, tr) {
    return tr("Received") + " " + clockText(alarm.received) + "   " + tr("Next time") + ": " + alarm.nextTime
}

// The controller call that answers `alarm`, as {name, args}; `select` takes the alarm up
// (true) or dismisses it (false), `time` is the next time the operator gives back. An input
// alarm has nothing to answer when dismissed: null, it is only closed here.
function answer(alarm, select, time) {
    var t = parseInt(time, 10)
    if (isNaN(t))
        t = alarm.nextTime
    if (alarm.kind === "audio")
        return { name: "serverAudioEvent", args: [alarm.eventId, !!select, t] }
    if (!select)
        return null
    return { name: "serverVideoEvent", args: [alarm.srcIp, t, alarm.ip, alarm.port] }
}
