.pragma library
// One log line with the window position of each named control shown under `root` whose
// objectName starts with `prefix`: the log says where an operator could click (the
// end-to-end checks click there).
function line(root, prefix) {
    var found = []
    var walk = function (item) {
        if (!item.visible)
            return
        if (String(item.objectName).indexOf(prefix) === 0 && item !== root) {
            var c = item.mapToItem(null, item.width / 2, item.height / 2)
            found.push(item.objectName + "=" + Math.round(c.x) + "," + Math.round(c.y))
        }
        for (var i = 0; i < item.children.length; ++i)
            walk(item.children[i])
    }
    walk(root)
    return found.join(" ")
}
