.pragma library
// Item lookups by what an item is rather than by its objectName (TestCase.findChild does that).

// Every item under `item`, itself first, for which `match` holds, depth first in child order.
function all(item, match) {
    var found = match(item) ? [item] : []
    for (var i = 0; i < item.children.length; ++i)
        found = found.concat(all(item.children[i], match))
    return found
}
function first(item, match) { return all(item, match)[0] || null }
