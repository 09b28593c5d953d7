.pragma library
// The wall screen's geometry: layout modes, where a dropped or released window lands,
// grab zones and resizing, stacking, which window a point hits, and the window and audio
// commands the picture turns into. Blocks are plain objects in canvas units
// ({x, y, width, height, parts: [{ip, url, url2, r, c}], row, col, wId, chn, sub, ...});
// lists of blocks are in stacking order, the last on top.

var kGrabStep = 15
var kMinSize = 20 // canvas units a resize keeps at least

// ---- Layout modes ----

// {kind: "grid" | "dock" | "full" | "free", index: the dock layout for "dock"}.
function mode(dock, freeEn, fullEn) {
    var free = freeEn ? 1 : 0, full = fullEn ? 1 : 0
    if (dock === 0)
        return { kind: "grid", index: -1 }
    var n = dock - 1 - free - full
    if (n >= 0)
        return { kind: "dock", index: n }
    if ((dock === 1 && !free) || dock === 2)
        return { kind: "full", index: -1 }
    return { kind: "free", index: -1 }
}

// The `dock` value a "set layout" gives (1..7 a dock layout, 0 grid, -1 full screen, -2
// free), or null when it changes nothing.
function layoutDock(layout, freeEn, fullEn) {
    var free = freeEn ? 1 : 0, full = fullEn ? 1 : 0
    if (layout >= 1 && layout <= 7)
        return free + full + layout
    if (layout === 0)
        return 0
    if (layout === -1 && full)
        return free + full
    if (layout === -2 && free)
        return free
    return null
}

// ---- Rectangles ----

function rect(x, y, width, height) { return { x: x, y: y, width: width, height: height } }
function clamp(v, lo, hi) { return Math.max(lo, Math.min(hi, v)) }
function contains(r, px, py) { return px >= r.x && px <= r.x + r.width && py >= r.y && py <= r.y + r.height }
function containsStrictly(r, px, py) { return px > r.x && px < r.x + r.width && py > r.y && py < r.y + r.height }
function sameRect(a, b) { return a.x === b.x && a.y === b.y && a.width === b.width && a.height === b.height }
function centre(r) { return { x: r.x + r.width / 2, y: r.y + r.height / 2 } }
// Overlap as the wall decides it: the spans together are shorter than the two sizes.
function overlaps(a, b) {
    return Math.max(a.x + a.width, b.x + b.width) - Math.min(a.x, b.x) < a.width + b.width
        && Math.max(a.y + a.height, b.y + b.height) - Math.min(a.y, b.y) < a.height + b.height
}

// ---- Where a window lands ----

// A drop in grid mode is at most one cell wide and high, about its centre.
function gridDrop(r, cellW, cellH) {
    var out = rect(r.x, r.y, r.width, r.height)
    if (out.width > cellW) { out.x += (out.width - cellW) / 2; out.width = cellW }
    if (out.height > cellH) { out.y += (out.height - cellH) / 2; out.height = cellH }
    return out
}

// One axis of the grid rule: the cell span [a1, a2) the window takes.
function gridSpan(pos, size, cell, cells) {
    var a1 = clamp(Math.round(pos / cell), 0, cells - 1)
    var a2 = clamp(Math.round((pos + size) / cell), 0, cells)
    if (a2 <= a1) {
        a2 = a1
        // A window starting on the line or right of it belongs to the cell right of the line.
        if (a1 === 0 || a1 * cell <= pos)
            a2 = a1 + 1
        else
            a1 = a1 - 1
    }
    return [a1, a2]
}

function gridSnap(r, cellW, cellH, cutCol, cutRow) {
    var x = gridSpan(r.x, r.width, cellW, cutCol)
    var y = gridSpan(r.y, r.height, cellH, cutRow)
    return rect(x[0] * cellW, y[0] * cellH, (x[1] - x[0]) * cellW, (y[1] - y[0]) * cellH)
}

// The dock rectangle latest in the list that holds the point (edges included), or -1.
function dockAt(docks, px, py) {
    for (var i = docks.length - 1; i >= 0; --i) {
        if (contains(docks[i], px, py))
            return i
    }
    return -1
}

function exactDock(docks, r) {
    for (var i = docks.length - 1; i >= 0; --i) {
        if (sameRect(docks[i], r))
            return i
    }
    return -1
}

// Free mode: no wider than `maxWidth`, no taller than the canvas, inside the canvas.
function freeClamp(r, maxWidth, canvasW, canvasH) {
    var w = Math.min(r.width, maxWidth > 0 ? maxWidth : canvasW, canvasW)
    var h = Math.min(r.height, canvasH)
    return rect(clamp(r.x, 0, canvasW - w), clamp(r.y, 0, canvasH - h), w, h)
}

// Where a block released at (px, py) lands: {rect, chn} or null when it is closed.
// ctx: {mode, cellW, cellH, cutCol, cutRow, docks (canvas units, with chn), canvasW, canvasH}
function release(block, px, py, ctx) {
    switch (ctx.mode.kind) {
    case "grid":
        return { rect: gridSnap(block, ctx.cellW, ctx.cellH, ctx.cutCol, ctx.cutRow), chn: block.chn }
    case "dock":
        var i = dockAt(ctx.docks, px, py)
        if (i < 0)
            return null
        var d = ctx.docks[i]
        return { rect: rect(d.x, d.y, d.width, d.height), chn: d.chn }
    case "full":
        return { rect: rect(0, 0, ctx.canvasW, ctx.canvasH), chn: block.chn }
    }
    return { rect: freeClamp(block, block.maxWidth || ctx.canvasW, ctx.canvasW, ctx.canvasH), chn: block.chn }
}

// A copy of `block` at r, with chn and key when given.
function withRect(block, r, chn, key) {
    var b = {}
    for (var k in block)
        b[k] = block[k]
    b.x = r.x; b.y = r.y; b.width = r.width; b.height = r.height
    if (chn !== undefined)
        b.chn = chn
    if (key !== undefined)
        b.key = key
    return b
}

// Every block after a change: the release rule at its centre, except that in a dock layout a
// block lying exactly on a dock rectangle keeps it. Closed blocks are left out; in a dock
// layout the blocks on dock rectangles go on top, in dock order.
function recompute(blocks, ctx) {
    var out = [], onDock = []
    for (var i = 0; i < blocks.length; ++i) {
        var b = blocks[i]
        if (ctx.mode.kind === "dock") {
            var exact = exactDock(ctx.docks, b)
            if (exact >= 0) {
                onDock.push({ dock: exact, at: i, block: withRect(b, b, ctx.docks[exact].chn) })
                continue
            }
        }
        var c = centre(b)
        var landed = release(b, c.x, c.y, ctx)
        if (!landed)
            continue
        var nb = withRect(b, landed.rect, landed.chn)
        if (ctx.mode.kind === "dock")
            onDock.push({ dock: exactDock(ctx.docks, nb), at: i, block: nb })
        else
            out.push(nb)
    }
    // The engine's sort is not stable: blocks on one dock rectangle keep their stacking order.
    onDock.sort(function (a, b) { return a.dock - b.dock || a.at - b.at })
    for (var j = 0; j < onDock.length; ++j)
        out.push(onDock[j].block)
    return out
}

// ---- Pointer on a block ----

// 1 2 3 along the left edge (top, middle, bottom), 7 8 9 along the right, 4 5 6 between.
function grabZone(px, py, width, height) {
    var row = py < kGrabStep ? 0 : py > height - kGrabStep ? 2 : 1
    var col = px < kGrabStep ? 0 : px > width - kGrabStep ? 2 : 1
    return col * 3 + row + 1
}

// The block's rectangle after dragging by (dx, dy) in grab zone `zone`; sizes stay at least
// kMinSize.
function dragRect(r, zone, dx, dy) {
    var left = r.x, top = r.y, right = r.x + r.width, bottom = r.y + r.height
    if (zone === 5)
        return rect(r.x + dx, r.y + dy, r.width, r.height)
    if (zone === 1 || zone === 2 || zone === 3)
        left = Math.min(left + dx, right - kMinSize)
    if (zone === 7 || zone === 8 || zone === 9)
        right = Math.max(right + dx, left + kMinSize)
    if (zone === 1 || zone === 4 || zone === 7)
        top = Math.min(top + dy, bottom - kMinSize)
    if (zone === 3 || zone === 6 || zone === 9)
        bottom = Math.max(bottom + dy, top + kMinSize)
    return rect(left, top, right - left, bottom - top)
}

// The topmost block that holds the point, or -1.
function blockAt(blocks, px, py, strictly) {
    for (var i = blocks.length - 1; i >= 0; --i) {
        if (strictly ? containsStrictly(blocks[i], px, py) : contains(blocks[i], px, py))
            return i
    }
    return -1
}

// ---- Stacking ----

// The list with block `index` moved "Up", "Down", "Top" or "Bottom".
function restack(blocks, index, op) {
    var out = blocks.slice()
    if (index < 0 || index >= out.length)
        return out
    var b = out.splice(index, 1)[0]
    var to = op === "Top" ? out.length : op === "Bottom" ? 0
           : op === "Up" ? Math.min(out.length, index + 1) : op === "Down" ? Math.max(0, index - 1) : index
    out.splice(to, 0, b)
    return out
}

function zOf(position) { return 1 + position * 0.1 }

// Exact duplicates removed, the upper one kept.
function removeDuplicates(blocks) {
    var kept = []
    for (var i = blocks.length - 1; i >= 0; --i) {
        var dup = false
        for (var j = 0; j < kept.length; ++j) {
            if (sameRect(kept[j], blocks[i])) { dup = true; break }
        }
        if (!dup)
            kept.push(blocks[i])
    }
    return kept.reverse()
}

// ---- Commands ----

function even(v) { return v % 2 !== 0 ? v + 1 : v }

// An image part of a block in wall pixels (each edge raised to even). ctx: {pixWidth,
// pixHeight, canvasW, canvasH, band (banner height in wall pixels, 0 when none)}.
function partRect(block, part, ctx) {
    var pw = block.width / (block.col || 1), ph = block.height / (block.row || 1)
    var px = block.x + (part.c || 0) * pw, py = block.y + (part.r || 0) * ph
    var band = ctx.band || 0
    var sx = function (v) { return even(Math.round(ctx.pixWidth * v / ctx.canvasW)) }
    var sy = function (v) { return even(Math.round(band + (ctx.pixHeight - band) * v / ctx.canvasH)) }
    var x = sx(px), right = sx(px + pw), y = sy(py), bottom = sy(py + ph)
    return rect(x, y, right - x, bottom - y)
}

// A rectangle in canvas units as wall pixels, as the commands give it.
function wallRect(r, ctx) {
    return partRect({ x: r.x, y: r.y, width: r.width, height: r.height, row: 1, col: 1 }, { r: 0, c: 0 }, ctx)
}

// A block as the audio routing sees it: position and size each in wall pixels, raised to even.
function audioRect(b, ctx) {
    var band = ctx.band || 0
    var sx = ctx.pixWidth / ctx.canvasW, sy = (ctx.pixHeight - band) / ctx.canvasH
    return rect(even(Math.round(sx * b.x)), even(Math.round(band + sy * b.y)),
                even(Math.round(sx * b.width)), even(Math.round(sy * b.height)))
}

// A rectangle in canvas units `from` ({canvasW, canvasH, band}) as the same wall pixels in
// canvas units `to`: the windows stay where they are on the wall when the item changes size
// or a banner takes its band.
function remap(r, from, to, pixWidth, pixHeight) {
    var fromBand = from.band || 0, toBand = to.band || 0
    var wx = pixWidth / from.canvasW, wy = (pixHeight - fromBand) / from.canvasH
    var bx = to.canvasW / pixWidth, by = to.canvasH / (pixHeight - toBand)
    return rect(r.x * wx * bx, (fromBand + r.y * wy - toBand) * by, r.width * wx * bx, r.height * wy * by)
}

// Which blocks play their sub-stream: blocks at the `covered` stacking positions play
// nothing; per decoder rectangle at most `stream` distinct addresses play main streams.
// Returns one flag per block.
function subStreams(blocks, covered, ctx) {
    var sub = blocks.map(function () { return false })
    var nodes = ctx.nodeRects || []
    for (var n = 0; n < nodes.length; ++n) {
        var main = [], subs = []
        for (var i = 0; i < blocks.length; ++i) {
            if (covered.indexOf(i) >= 0)
                continue
            var b = blocks[i], parts = b.parts || []
            for (var p = 0; p < parts.length; ++p) {
                if (!overlaps(partRect(b, parts[p], ctx), nodes[n]))
                    continue
                var ip = parts[p].ip
                if (sub[i]) {
                    if (subs.indexOf(ip) < 0) subs.push(ip)
                } else if (main.indexOf(ip) < 0) {
                    if (main.length < (ctx.stream || 1))
                        main.push(ip)
                    else {
                        sub[i] = true
                        if (subs.indexOf(ip) < 0) subs.push(ip)
                    }
                }
            }
        }
        if (main.length >= (ctx.stream || 1) && subs.length > 0) {
            var last = main[main.length - 1]
            for (var k = 0; k < blocks.length; ++k) {
                if (covered.indexOf(k) < 0 && (blocks[k].parts || []).some(function (pt) { return pt.ip === last }))
                    sub[k] = true
            }
        }
    }
    return sub
}

// The window command of the whole picture: {text, snapshots: [{ip, on}]}. ctx as partRect,
// plus panelId, nodeRects, stream, dockLayout (true in a dock layout).
function windowCommand(blocks, covered, ctx) {
    var sub = subStreams(blocks, covered, ctx)
    var text = "{SetWindows;" + ctx.panelId
    var snapshots = []
    for (var i = 0; i < blocks.length; ++i) {
        var b = blocks[i], parts = b.parts || []
        var rects = parts.map(function (part) { return partRect(b, part, ctx) })
        // One small part puts the whole mosaic on its sub-streams.
        if (rects.some(function (r) { return r.width * r.height < 960 * 540 }))
            sub[i] = true
        var s = sub[i]
        for (var p = 0; p < parts.length; ++p) {
            var r = rects[p]
            var url
            if (ctx.dockLayout)
                url = b.chn === 1 ? (s ? parts[p].url2 : parts[p].url) : b.chn === 2 ? parts[p].url : b.chn === 3 ? parts[p].url2 : undefined
            else
                url = s ? parts[p].url2 : parts[p].url
            snapshots.push({ ip: parts[p].ip, on: i === blocks.length - 1 })
            if (url === undefined)
                continue
            text += ";" + parts[p].ip + "," + (url || "") + "," + r.x + "," + r.y + "," + r.width + "," + r.height
            if (b.signalType === 1)
                text += "," + b.wId
        }
    }
    return { text: text + "}", snapshots: snapshots }
}

// The audio commands: each area (wall pixels, with its audio address) takes the first URL (or
// address) of the last block overlapping it. wallOf(address) names the wall of an output.
function audioCommands(blocks, areas, ctx, wallOf) {
    var mapped = {}
    for (var i = 0; i < blocks.length; ++i) {
        var b = blocks[i]
        var first = (b.parts || [])[0]
        if (!first)
            continue
        var w = audioRect(b, ctx)
        var value = String(first.url || "").indexOf("url") >= 0 ? first.ip : first.url
        for (var a = 0; a < areas.length; ++a) {
            if (areas[a].audio && overlaps(w, areas[a]))
                mapped[areas[a].audio] = value
        }
    }
    var out = [], seen = []
    for (var k = 0; k < areas.length; ++k) {
        var address = areas[k].audio
        if (!address || seen.indexOf(address) >= 0)
            continue
        seen.push(address)
        var text = "{SetAudios;" + wallOf(address) + (mapped[address] !== undefined ? ";0|" + mapped[address] : "") + "}"
        out.push({ address: address, text: text })
    }
    return out
}

// Silencing the wall's audio outputs: each `audios` text names an output in its fourth
// comma-separated field.
function audioClearCommands(audios, panelId) {
    var out = []
    for (var i = 0; i < (audios || []).length; ++i) {
        var address = String(audios[i]).split(",")[3]
        address = address !== undefined ? address.trim() : ""
        if (address !== "")
            out.push({ address: address, text: "{SetAudios;" + panelId + "}" })
    }
    return out
}

// A window of the controller's listing as a block geometry in canvas units; mosaics are
// listed by one cell, so their size is times their columns and rows.
function listingRect(entry, ctx, rows, cols) {
    var band = ctx.band || 0
    var y = ctx.canvasH * (Number(entry.y) - band) / (ctx.pixHeight - band)
    var h = ctx.canvasH * Number(entry.h) / (ctx.pixHeight - band)
    return rect(ctx.canvasW * Number(entry.x) / ctx.pixWidth, y,
                ctx.canvasW * Number(entry.w) / ctx.pixWidth * (cols || 1), h * (rows || 1))
}

// ---- Alignment in free mode ----

function edges(r, vertical) {
    return vertical ? [r.y, r.y + r.height / 2, r.y + r.height] : [r.x, r.x + r.width / 2, r.x + r.width]
}

// The nearest pair of edges (near edge, middle, far edge) of `r` and another block, per
// direction, closer than 5 units; the first found wins a tie. {dx, xEdge, dy, yEdge}, an edge
// index of -1 where nothing is near.
function alignment(r, others) {
    var out = { dx: 0, xEdge: -1, dy: 0, yEdge: -1 }
    var best = [5, 5]
    for (var o = 0; o < others.length; ++o) {
        for (var axis = 0; axis < 2; ++axis) {
            var mine = edges(r, axis === 1), theirs = edges(others[o], axis === 1)
            for (var i = 0; i < 3; ++i) {
                for (var j = 0; j < 3; ++j) {
                    var d = theirs[j] - mine[i]
                    if (Math.abs(d) < best[axis]) {
                        best[axis] = Math.abs(d)
                        if (axis === 0) { out.dx = d; out.xEdge = i } else { out.dy = d; out.yEdge = i }
                    }
                }
            }
        }
    }
    return out
}

// The dragged rectangle snapped to the alignment, by grab zone: the interior moves the whole
// block; the other zones move only the edges they grab, when the matched edge is one of them.
function applyAlignment(r, zone, a) {
    if (zone === 5)
        return rect(r.x + (a.xEdge >= 0 ? a.dx : 0), r.y + (a.yEdge >= 0 ? a.dy : 0), r.width, r.height)
    var left = r.x, top = r.y, right = r.x + r.width, bottom = r.y + r.height
    if ((zone === 1 || zone === 2 || zone === 3) && a.xEdge === 0) left += a.dx
    if ((zone === 7 || zone === 8 || zone === 9) && a.xEdge === 2) right += a.dx
    if ((zone === 1 || zone === 4 || zone === 7) && a.yEdge === 0) top += a.dy
    if ((zone === 3 || zone === 6 || zone === 9) && a.yEdge === 2) bottom += a.dy
    return rect(left, top, right - left, bottom - top)
}

// Guide lines along every edge or middle of `r` that coincides with one of another block,
// spanning both: {x1, y1, x2, y2}.
function guideLines(r, others) {
    var out = []
    for (var o = 0; o < others.length; ++o) {
        var b = others[o]
        var mx = edges(r, false), bx = edges(b, false), my = edges(r, true), by = edges(b, true)
        for (var i = 0; i < 3; ++i) {
            for (var j = 0; j < 3; ++j) {
                if (mx[i] === bx[j])
                    out.push({ x1: mx[i], y1: Math.min(r.y, b.y), x2: mx[i], y2: Math.max(r.y + r.height, b.y + b.height) })
                if (my[i] === by[j])
                    out.push({ x1: Math.min(r.x, b.x), y1: my[i], x2: Math.max(r.x + r.width, b.x + b.width), y2: my[i] })
            }
        }
    }
    return out
}

// ---- Drawing ----

// Lines of `rows` x `cols` cells of the rectangle (x, y, w, h), {x1, y1, x2, y2, dashed};
// its outline too when `outline`.
function cellLines(x, y, w, h, rows, cols, outline, dashed) {
    var out = []
    for (var c = outline ? 0 : 1; c <= (outline ? cols : cols - 1); ++c)
        out.push({ x1: x + w * c / cols, y1: y, x2: x + w * c / cols, y2: y + h, dashed: dashed })
    for (var r = outline ? 0 : 1; r <= (outline ? rows : rows - 1); ++r)
        out.push({ x1: x, y1: y + h * r / rows, x2: x + w, y2: y + h * r / rows, dashed: dashed })
    return out
}

// What the wall draws, in canvas units: `screens`, the lines between its row x col screens, and,
// when egMode is 0, `layout`: the cell lines of the grid, the dock rectangles, or in free mode
// with dock 1 the dashed reference grid of refCol x refRow per screen.
// p: {kind, dock, rows, cols, cutRow, cutCol, docks (canvas rectangles), refRow, refCol,
// refShown (false hides the reference grid), egMode, canvasW, canvasH}.
function wallLines(p) {
    var w = p.canvasW, h = p.canvasH
    var rows = Math.max(1, p.rows || 1), cols = Math.max(1, p.cols || 1)
    // The outer edge is the wall's own border.
    var screens = cellLines(0, 0, w, h, rows, cols, false, false)
    var layout = []
    if ((p.egMode || 0) === 0) {
        if (p.kind === "grid" && p.cutRow > 0 && p.cutCol > 0) {
            layout = cellLines(0, 0, w, h, p.cutRow, p.cutCol, false, false)
        } else if (p.kind === "dock") {
            for (var d = 0; d < (p.docks || []).length; ++d) {
                var r = p.docks[d]
                layout = layout.concat(cellLines(r.x, r.y, r.width, r.height, 1, 1, true, false))
            }
        } else if (p.kind === "free" && p.dock === 1 && p.refShown !== false && p.refRow > 0 && p.refCol > 0) {
            for (var i = 0; i < rows * cols; ++i) {
                var sx = w * (i % cols) / cols, sy = h * Math.floor(i / cols) / rows
                layout = layout.concat(cellLines(sx, sy, w / cols, h / rows, p.refRow, p.refCol, false, true))
            }
        }
    }
    return { screens: screens, layout: layout }
}
