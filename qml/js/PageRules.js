.pragma library
// The page host's rules over its registries: which item a name or id finds, which page is
// shown first, what a visibility command reaches, what a scene id says about the dock. The
// registries hold items (or, in tests, plain objects) with `designName`, and walls and
// their tool items with `panelId`.

// Every item kind the host keeps, in the order of its registries.
var kinds = ["page", "screen", "slider", "docker", "monitor", "button", "matrix", "inputBox",
             "signalList", "rect", "text", "treeView", "date", "listView", "web", "login"]

// The order in which a visibility command looks for a name that is not a wall's.
var visibilityOrder = ["signalList", "button", "rect", "text", "date", "matrix", "inputBox",
                       "web", "docker", "slider", "login"]

function emptyRegistries() {
    var r = {}
    for (var i = 0; i < kinds.length; ++i)
        r[kinds[i]] = []
    return r
}

function find(list, key, value) {
    if (!list)
        return null
    for (var i = 0; i < list.length; ++i) {
        if (list[i] && list[i][key] === value)
            return list[i]
    }
    return null
}

function findAll(list, key, value) {
    var out = []
    if (!list)
        return out
    for (var i = 0; i < list.length; ++i) {
        if (list[i] && list[i][key] === value)
            out.push(list[i])
    }
    return out
}

// The page an item of `pageId` goes on: "host" for -1, "login" for the login page, the
// page, or null when no page has that id.
function parentFor(registries, pageId) {
    if (pageId === -1 || pageId === "-1")
        return "host"
    if (pageId === "%LoginWidget%")
        return "login"
    return find(registries.page, "pageId", String(pageId))
}

// The items a visibility command for `name` reaches.
function visibilityTargets(registries, name) {
    var wall = find(registries.screen, "designName", name)
    if (wall) {
        var out = [wall]
        var tied = ["button", "rect", "text"]
        for (var k = 0; k < tied.length; ++k)
            out = out.concat(findAll(registries[tied[k]], "panelId", wall.panelId))
        return out
    }
    for (var i = 0; i < visibilityOrder.length; ++i) {
        var item = find(registries[visibilityOrder[i]], "designName", name)
        if (item)
            return [item]
    }
    return []
}

// Index of the first page that is not global and that `permitted(pageId)` allows, or -1.
function firstPageIndex(pages, permitted) {
    for (var i = 0; i < pages.length; ++i) {
        if (!pages[i].isGlobalPage && permitted(pages[i].pageId))
            return i
    }
    return -1
}

// The dock part of a scene id ("…_dock=D-R-C_…"): {dock, rows, cols}, or null.
function sceneDock(sceneId) {
    var parts = String(sceneId).split("_")
    for (var i = 0; i < parts.length; ++i) {
        if (parts[i].indexOf("dock=") !== 0)
            continue
        var m = /^dock=(\d{1,4})-(\d{1,4})-(\d{1,4})$/.exec(parts[i])
        var v = m ? [parseInt(m[1], 10), parseInt(m[2], 10), parseInt(m[3], 10)] : null
        // A grid without rows or columns has no cells to size windows against.
        if (!v || v[1] < 1 || v[2] < 1)
            return null
        return { dock: v[0], rows: v[1], cols: v[2] }
    }
    return null
}

// A new scene's id: the time and the wall's dock, cut rows and columns as sceneDock() reads
// them back, so calling the scene restores the layout it was saved with.
function sceneId(nowMs, dock, rows, cols) {
    return String(nowMs) + "_dock=" + dock + "-" + rows + "-" + cols
}

// The wall's dock layout index for a dock number: -1 when the number names the free or
// full-screen layout (or none).
function dockLayoutIndex(dock, freeEn, fullEn) {
    return dock - (freeEn ? 1 : 0) - (fullEn ? 1 : 0) - 1
}

// A text widget after an in-design text command.
function textControl(current, op, text) {
    current = current || ""
    switch (op) {
    case "append": return current + (text || "")
    case "set": return text || ""
    case "del": return current.length > 0 ? current.substring(0, current.length - 1) : current
    case "clear": return ""
    }
    return current
}

// "file:///C:/x.png" or "file:///home/x.png" without its scheme, as the upload takes it.
function localFilePath(url, windows) {
    var s = String(url)
    if (s.indexOf("file://") !== 0)
        return s
    return s.substring(windows ? 8 : 7)
}
