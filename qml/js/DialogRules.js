.pragma library
// Rules of the page host's wall dialogs (cycle groups, scene polling, reference lines,
// matrix presets), its list views and web views. Kept out of the items so tests can call
// them directly.

// ---- Scene choices ----

// The scenes to choose from: the wall's scenes in their order, each {id, name, chosen}
// (chosen when its id is in `chosenIds`), then the chosen scenes the wall list lacks (not
// listed yet, or gone), so that editing a group never drops them unseen.
function sceneChoices(wallIds, wallNames, chosenIds, chosenNames) {
    var out = []
    var ids = wallIds || [], names = wallNames || [], want = chosenIds || [], wantNames = chosenNames || []
    var seen = {}
    for (var i = 0; i < ids.length; ++i) {
        var id = String(ids[i])
        if (seen[id])
            continue
        seen[id] = true
        out.push({ id: id, name: names[i] !== undefined ? String(names[i]) : id, chosen: want.indexOf(ids[i]) >= 0 || want.indexOf(id) >= 0 })
    }
    for (var j = 0; j < want.length; ++j) {
        var w = String(want[j])
        if (seen[w])
            continue
        seen[w] = true
        out.push({ id: w, name: wantNames[j] !== undefined ? String(wantNames[j]) : w, chosen: true })
    }
    return out
}

// The chosen scenes of a choice list as the parallel lists the controller takes.
function chosenScenes(choices) {
    var out = { ids: [], names: [] }
    for (var i = 0; i < choices.length; ++i) {
        if (choices[i].chosen) {
            out.ids.push(choices[i].id)
            out.names.push(choices[i].name)
        }
    }
    return out
}

// A choice list with entry `index` toggled (a new list, so bindings see the change).
function toggleChoice(choices, index) {
    return choices.map(function (c, i) { return i === index ? { id: c.id, name: c.name, chosen: !c.chosen } : c })
}

// Seconds typed by the operator: a whole number of at least 1, else -1.
function seconds(text) {
    var s = String(text === undefined || text === null ? "" : text).trim()
    if (!/^[0-9]+$/.test(s))
        return -1
    var n = parseInt(s, 10)
    return n >= 1 ? n : -1
}

// What keeps a cycle group from being saved, or "" when it can be: a name, a time and at
// least one scene. `names` are the other groups' names (the controller refuses a second
// group of the same name; telling it here keeps the form open).
function cycleGroupError(name, timeText, chosen, names) {
    var n = String(name || "").trim()
    if (n === "")
        return "Enter a name"
    if ((names || []).indexOf(n) >= 0)
        return "A cycle group of this name exists"
    if (seconds(timeText) < 0)
        return "Enter the seconds between scenes"
    if (!chosen || chosen.ids.length === 0)
        return "Choose at least one scene"
    return ""
}

// The names of the cycle groups other than the one being edited (id `exceptId`).
function otherGroupNames(groups, exceptId) {
    var out = []
    for (var i = 0; i < (groups || []).length; ++i) {
        if (String(groups[i].id) !== String(exceptId))
            out.push(String(groups[i].name))
    }
    return out
}

// The polling state of wall `panelId` from a stored cycle state ({obj: "cycle", uuid, time,
// memb}); null when the state is another wall's or no cycle state.
function cycleState(object, panelId) {
    if (!object || object.obj !== "cycle" || String(object.uuid) !== String(panelId))
        return null
    var memb = Array.isArray(object.memb) ? object.memb.map(String) : []
    return { running: memb.length > 0, time: object.time === undefined ? "" : String(object.time), ids: memb }
}

// ---- Reference lines ----

// A count of reference lines typed by the operator: 0 (none) to 16 cells per screen, or -1.
function lineCount(text) {
    var s = String(text === undefined || text === null ? "" : text).trim()
    if (!/^[0-9]+$/.test(s))
        return -1
    var n = parseInt(s, 10)
    return n <= 16 ? n : -1
}

// ---- Matrix presets ----

// What keeps a preset name from being saved, or "". The controller stores presets as
// name + "*&_" + rows, joined by "&*" inside a bracketed command, so those separators and
// the command's own brackets and separator cannot be part of a name.
function presetNameError(name, existing) {
    var n = String(name || "").trim()
    if (n === "")
        return "Enter a name"
    if (/\*&|&\*|[{};,]/.test(n))
        return "A name cannot hold { } ; , *& or &*"
    if ((existing || []).indexOf(n) >= 0)
        return "A preset of this name exists"
    return ""
}

// ---- List views ----

// A map value under its lower camel case key or the design's own spelling ("PageSwitch",
// "UUID").
function value(map, key) {
    if (!map)
        return undefined
    var spellings = [key, key.charAt(0).toUpperCase() + key.slice(1), key.toUpperCase()]
    for (var i = 0; i < spellings.length; ++i) {
        if (map[spellings[i]] !== undefined)
            return map[spellings[i]]
    }
    return undefined
}

// True for the design's switch values 1, "1" and true.
function on(v) { return v === true || v === 1 || v === "1" }

// The entries of a list view: the user's pages when it switches pages, else its group list.
function listEntries(map, pageNames) {
    if (on(value(map, "pageSwitch")))
        return (pageNames || []).map(String)
    var groups = value(map, "groupList")
    if (typeof groups === "string")
        groups = groups.split(/[,;]/).filter(function (g) { return g !== "" })
    return Array.isArray(groups) ? groups.map(String) : []
}

// The entry a group switch names: by its text, else by its number; -1 for none.
function entryIndex(entries, group) {
    var g = String(group)
    var i = entries.indexOf(g)
    if (i >= 0)
        return i
    if (/^[0-9]+$/.test(g)) {
        var n = parseInt(g, 10)
        return n < entries.length ? n : -1
    }
    return -1
}

// ---- Web views ----

// Platforms without a window system of their own (tests, headless runs) cannot host the
// platform's web engine.
function webViewPossible(platformName) {
    return ["offscreen", "minimal", "minimalegl"].indexOf(String(platformName)) < 0
}

// The designed address as a URL: a bare host name gets "http://"; nothing stays nothing.
function webUrl(url) {
    var u = String(url === undefined || url === null ? "" : url).trim()
    if (u === "")
        return ""
    if (/^[a-zA-Z][a-zA-Z0-9+.-]*:\/\//.test(u) || /^(about|data):/i.test(u))
        return u
    return "http://" + u
}
