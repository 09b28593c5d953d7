import QtQuick 2.15
import QtTest 1.15
import "../../qml/js/WallGeometry.js" as Geo

TestCase {
    name: "WallGeometry"

    function r(x, y, w, h) { return { x: x, y: y, width: w, height: h } }
    function geometry(b) { return r(b.x, b.y, b.width, b.height) }
    function ids(list) { return list.map(function (b) { return b.id }) }
    // A single-signal block of signal n: address 10.0.0.n, main stream "Mn", sub-stream "Sn".
    function single(n, x, y, w, h, more) {
        var b = { id: "s" + n, x: x, y: y, width: w, height: h, signalType: 0,
                  parts: [{ ip: "10.0.0." + n, url: "M" + n, url2: "S" + n, r: 0, c: 0 }] }
        for (var k in more)
            b[k] = more[k]
        return b
    }
    // A mosaic of `rows` x `cols` cells showing signals first, first + 1, ... row by row.
    function mosaic(first, rows, cols, x, y, w, h) {
        var parts = []
        for (var i = 0; i < rows * cols; ++i) {
            var n = first + i
            parts.push({ ip: "10.0.0." + n, url: "M" + n, url2: "S" + n, r: Math.floor(i / cols), c: i % cols })
        }
        return { id: "m" + first, x: x, y: y, width: w, height: h, signalType: 1, row: rows, col: cols,
                 wId: "3_1700000000000", parts: parts }
    }
    // Canvas equal to the wall's pixels unless overridden.
    function wallCtx(more) {
        var c = { panelId: "001", pixWidth: 1920, pixHeight: 1080, canvasW: 1920, canvasH: 1080, band: 0,
                  nodeRects: [], stream: 1, dockLayout: false }
        for (var k in more)
            c[k] = more[k]
        return c
    }

    // ---- Layout modes ----

    function test_mode_data() {
        return [
            { tag: "dock 0 is the grid whatever is enabled", dock: 0, free: 1, full: 1, kind: "grid", index: -1 },
            { tag: "dock 1 without free or full is the first dock layout", dock: 1, free: 0, full: 0, kind: "dock", index: 0 },
            { tag: "dock 1 with free only is free", dock: 1, free: 1, full: 0, kind: "free", index: -1 },
            { tag: "dock 1 with full only is full screen", dock: 1, free: 0, full: 1, kind: "full", index: -1 },
            { tag: "dock 1 with both is free", dock: 1, free: 1, full: 1, kind: "free", index: -1 },
            { tag: "dock 2 with both is full screen", dock: 2, free: 1, full: 1, kind: "full", index: -1 },
            { tag: "dock 2 with free only is the first dock layout", dock: 2, free: 1, full: 0, kind: "dock", index: 0 },
            { tag: "dock 2 with full only is the first dock layout", dock: 2, free: 0, full: 1, kind: "dock", index: 0 },
            { tag: "dock 2 without either is the second dock layout", dock: 2, free: 0, full: 0, kind: "dock", index: 1 },
            { tag: "dock 3 with both is the first dock layout", dock: 3, free: 1, full: 1, kind: "dock", index: 0 },
            { tag: "dock 9 with both is the seventh dock layout", dock: 9, free: 1, full: 1, kind: "dock", index: 6 },
            { tag: "flags as booleans", dock: 1, free: true, full: false, kind: "free", index: -1 }
        ]
    }
    function test_mode(data) {
        compare(Geo.mode(data.dock, data.free, data.full), { kind: data.kind, index: data.index })
    }

    // Set layout, then the mode that `dock` value gives: layout n is dock layout n - 1.
    function test_layoutDock_data() {
        return [
            { tag: "layout 1 with free and full", layout: 1, free: 1, full: 1, dock: 3, kind: "dock", index: 0 },
            { tag: "layout 3 with free only", layout: 3, free: 1, full: 0, dock: 4, kind: "dock", index: 2 },
            { tag: "layout 7 without free or full", layout: 7, free: 0, full: 0, dock: 7, kind: "dock", index: 6 },
            { tag: "layout 0 is the grid", layout: 0, free: 1, full: 1, dock: 0, kind: "grid", index: -1 },
            { tag: "-1 with free and full is full screen", layout: -1, free: 1, full: 1, dock: 2, kind: "full", index: -1 },
            { tag: "-1 with full only is full screen", layout: -1, free: 0, full: 1, dock: 1, kind: "full", index: -1 },
            { tag: "-1 without full changes nothing", layout: -1, free: 1, full: 0, dock: null },
            { tag: "-2 with free and full is free", layout: -2, free: 1, full: 1, dock: 1, kind: "free", index: -1 },
            { tag: "-2 with free only is free", layout: -2, free: 1, full: 0, dock: 1, kind: "free", index: -1 },
            { tag: "-2 without free changes nothing", layout: -2, free: 0, full: 1, dock: null },
            { tag: "8 changes nothing", layout: 8, free: 0, full: 0, dock: null },
            { tag: "-3 changes nothing", layout: -3, free: 1, full: 1, dock: null }
        ]
    }
    function test_layoutDock(data) {
        var dock = Geo.layoutDock(data.layout, data.free, data.full)
        compare(dock, data.dock)
        if (dock !== null)
            compare(Geo.mode(dock, data.free, data.full), { kind: data.kind, index: data.index })
    }

    // ---- Grid mode: canvas 400 x 300, 4 x 3 cells of 100 ----

    readonly property var gridCtx: ({ mode: Geo.mode(0, 0, 0), cellW: 100, cellH: 100, cutCol: 4, cutRow: 3,
                                      canvasW: 400, canvasH: 300 })

    // A drop is narrowed to one cell, then the release rule runs.
    function test_gridDrop_data() {
        return [
            { tag: "inside a cell", drop: r(110, 120, 50, 50), cell: r(100, 100, 100, 100) },
            { tag: "small, centred on a tile corner: the cell up-left", drop: r(80, 80, 40, 40), cell: r(0, 0, 100, 100) },
            { tag: "small, left and top edges on the lines: the cell right-below", drop: r(100, 200, 40, 40), cell: r(100, 200, 100, 100) },
            { tag: "small, in the top-left corner", drop: r(0, 0, 30, 30), cell: r(0, 0, 100, 100) },
            { tag: "small, in the bottom-right corner", drop: r(370, 270, 30, 30), cell: r(300, 200, 100, 100) },
            { tag: "centred on the bottom-right wall corner", drop: r(370, 270, 60, 60), cell: r(300, 200, 100, 100) },
            { tag: "wider than a cell: narrowed about its centre", drop: r(50, 120, 250, 60), cell: r(100, 100, 100, 100) },
            { tag: "taller than a cell: lowered about its centre", drop: r(210, 20, 60, 250), cell: r(200, 100, 100, 100) },
            { tag: "larger than the wall: one cell about its centre", drop: r(-110, -100, 600, 500), cell: r(100, 100, 100, 100) }
        ]
    }
    function test_gridDrop(data) {
        var d = Geo.gridDrop(data.drop, 100, 100)
        verify(d.width <= 100 && d.height <= 100)
        compare(Geo.release(d, d.x + d.width / 2, d.y + d.height / 2, gridCtx).rect, data.cell)
    }

    function test_gridRelease_data() {
        return [
            { tag: "two cells wide keeps both", block: r(90, 10, 210, 90), cell: r(100, 0, 200, 100) },
            { tag: "x1 = x2 past the line grows right", block: r(120, 0, 20, 100), cell: r(100, 0, 100, 100) },
            { tag: "x1 = x2 before the line shrinks left", block: r(60, 0, 30, 100), cell: r(0, 0, 100, 100) },
            { tag: "narrowed from the right on its line keeps its cell", block: r(200, 0, 30, 100), cell: r(200, 0, 100, 100) },
            { tag: "narrowed from the bottom on its line keeps its cell", block: r(0, 100, 100, 30), cell: r(0, 100, 100, 100) },
            { tag: "y1 = y2 before the line shrinks up", block: r(0, 160, 100, 20), cell: r(0, 100, 100, 100) },
            { tag: "x1 = x2 = 0 grows right", block: r(-10, 0, 30, 100), cell: r(0, 0, 100, 100) },
            { tag: "larger than the wall fills it", block: r(-50, -40, 600, 400), cell: r(0, 0, 400, 300) },
            { tag: "partly past the right edge ends at the wall", block: r(240, 0, 300, 100), cell: r(200, 0, 200, 100) },
            { tag: "fully past the right edge takes the last column", block: r(450, 100, 100, 100), cell: r(300, 100, 100, 100) },
            { tag: "fully past the left edge takes the first column", block: r(-300, 100, 100, 100), cell: r(0, 100, 100, 100) },
            { tag: "fully below the bottom takes the last row", block: r(100, 500, 100, 100), cell: r(100, 200, 100, 100) },
            { tag: "fully above the top takes the first row", block: r(100, -250, 100, 100), cell: r(100, 0, 100, 100) }
        ]
    }
    function test_gridRelease(data) {
        var b = data.block
        compare(Geo.release(b, b.x + b.width / 2, b.y + b.height / 2, gridCtx).rect, data.cell)
    }

    // ---- Dock layouts: A and B side by side over C ----

    readonly property var docks: [{ x: 0, y: 0, width: 200, height: 150, chn: 1 }, { x: 200, y: 0, width: 200, height: 150, chn: 2 },
                                  { x: 0, y: 150, width: 400, height: 150, chn: 3 }]

    function test_dockRelease_data() {
        return [
            { tag: "inside A", px: 100, py: 75, dock: 0 },
            { tag: "A's outer corner", px: 0, py: 0, dock: 0 },
            { tag: "on the edge between A and B: B", px: 200, py: 75, dock: 1 },
            { tag: "on the edge between A and C: C", px: 100, py: 150, dock: 2 },
            { tag: "on the corner of all three: C", px: 200, py: 150, dock: 2 },
            { tag: "C's outer corner", px: 400, py: 300, dock: 2 },
            { tag: "right of every rectangle: closed", px: 401, py: 100, dock: -1 },
            { tag: "above every rectangle: closed", px: 50, py: -1, dock: -1 }
        ]
    }
    function test_dockRelease(data) {
        var ctx = { mode: Geo.mode(3, 1, 1), docks: docks }
        var landed = Geo.release(r(50, 50, 30, 30), data.px, data.py, ctx)
        if (data.dock < 0)
            compare(landed, null)
        else
            compare(landed, { rect: geometry(docks[data.dock]), chn: docks[data.dock].chn })
    }

    // Picture in picture: the big rectangle's centre lies on the inset.
    readonly property var pip: [{ x: 0, y: 0, width: 400, height: 300, chn: 1 }, { x: 150, y: 100, width: 100, height: 100, chn: 2 }]

    function test_recompute_data() {
        var big = pip[0], inset = pip[1]
        return [
            { tag: "a block exactly on the big rectangle keeps it", blocks: [single(1, 0, 0, 400, 300)],
              ids: ["s1"], rects: [big], chns: [1] },
            { tag: "a block off the rectangles goes where its centre is", blocks: [single(1, 180, 130, 40, 40), single(2, 10, 10, 40, 40)],
              ids: ["s2", "s1"], rects: [big, inset], chns: [1, 2] },
            { tag: "a centre outside every rectangle closes the block", blocks: [single(1, 500, 0, 40, 40), single(2, 150, 100, 100, 100)],
              ids: ["s2"], rects: [inset], chns: [2] },
            { tag: "exact blocks go on top in dock order", blocks: [single(1, 150, 100, 100, 100), single(2, 0, 0, 400, 300)],
              ids: ["s2", "s1"], rects: [big, inset], chns: [1, 2] },
            { tag: "blocks on one rectangle keep their stacking order",
              blocks: [single(1, 0, 0, 400, 300), single(2, 10, 10, 30, 30), single(3, 150, 100, 100, 100),
                       single(4, 0, 0, 400, 300), single(5, 600, 0, 10, 10), single(6, 350, 250, 20, 20)],
              ids: ["s1", "s2", "s4", "s6", "s3"], rects: [big, big, big, big, inset], chns: [1, 1, 1, 1, 2] }
        ]
    }
    function test_recompute(data) {
        var out = Geo.recompute(data.blocks, { mode: Geo.mode(1, 0, 0), docks: pip })
        compare(ids(out), data.ids)
        compare(out.map(geometry), data.rects.map(geometry))
        compare(out.map(function (b) { return b.chn }), data.chns)
    }

    function test_recomputeOtherModes_data() {
        return [
            { tag: "grid snaps every block and keeps the order", dock: 0, blocks: [single(1, 120, 0, 20, 100), single(2, 0, 0, 400, 300)],
              rects: [r(100, 0, 100, 100), r(0, 0, 400, 300)] },
            { tag: "full screen fills the canvas", dock: 1, full: 1, blocks: [single(1, 10, 10, 50, 50), single(2, -20, 40, 500, 10)],
              rects: [r(0, 0, 400, 300), r(0, 0, 400, 300)] },
            { tag: "free keeps a block inside the canvas", dock: 1, free: 1, blocks: [single(1, 10, 20, 30, 40)], rects: [r(10, 20, 30, 40)] },
            { tag: "free cuts to the largest width and pushes inside", dock: 1, free: 1,
              blocks: [single(1, 350, 280, 100, 50, { maxWidth: 80 })], rects: [r(320, 250, 80, 50)] },
            { tag: "free cuts to the canvas without a largest width", dock: 1, free: 1,
              blocks: [single(1, -20, -30, 500, 400)], rects: [r(0, 0, 400, 300)] },
            { tag: "free: a largest width beyond the canvas still fits it", dock: 1, free: 1,
              blocks: [single(1, 100, 0, 450, 100, { maxWidth: 1000 })], rects: [r(0, 0, 400, 100)] }
        ]
    }
    function test_recomputeOtherModes(data) {
        var ctx = { mode: Geo.mode(data.dock, data.free, data.full), cellW: 100, cellH: 100, cutCol: 4, cutRow: 3,
                    canvasW: 400, canvasH: 300, docks: pip }
        var out = Geo.recompute(data.blocks, ctx)
        compare(ids(out), ids(data.blocks))
        compare(out.map(geometry), data.rects)
    }

    // ---- Pointer on a block 100 x 60 at (100, 100) ----

    function test_grabZone_data() {
        return [
            { tag: "top-left", px: 5, py: 5, zone: 1 }, { tag: "left", px: 5, py: 30, zone: 2 },
            { tag: "bottom-left", px: 5, py: 55, zone: 3 }, { tag: "top", px: 50, py: 5, zone: 4 },
            { tag: "interior", px: 50, py: 30, zone: 5 }, { tag: "bottom", px: 50, py: 55, zone: 6 },
            { tag: "top-right", px: 95, py: 5, zone: 7 }, { tag: "right", px: 95, py: 30, zone: 8 },
            { tag: "bottom-right", px: 95, py: 55, zone: 9 },
            { tag: "14 from the left: border", px: 14, py: 30, zone: 2 }, { tag: "16 from the left: inside", px: 16, py: 30, zone: 5 },
            { tag: "14 from the right: border", px: 86, py: 30, zone: 8 }, { tag: "16 from the right: inside", px: 84, py: 30, zone: 5 },
            { tag: "16 from the top: inside", px: 50, py: 16, zone: 5 }, { tag: "14 from the bottom: border", px: 50, py: 46, zone: 6 }
        ]
    }
    function test_grabZone(data) { compare(Geo.grabZone(data.px, data.py, 100, 60), data.zone) }

    function test_dragRect_data() {
        // Each zone dragged by (10, 20): only the edges of that zone follow.
        function by(tag, zone, out) { return { tag: tag, zone: zone, dx: 10, dy: 20, out: out } }
        return [
            { tag: "interior moves", zone: 5, dx: 30, dy: -20, out: r(130, 80, 100, 60) },
            by("top-left", 1, r(110, 120, 90, 40)), by("left", 2, r(110, 100, 90, 60)), by("bottom-left", 3, r(110, 100, 90, 80)),
            by("top", 4, r(100, 120, 100, 40)), by("bottom", 6, r(100, 100, 100, 80)),
            by("top-right", 7, r(100, 120, 110, 40)), by("right", 8, r(100, 100, 110, 60)), by("bottom-right", 9, r(100, 100, 110, 80)),
            { tag: "left grows outwards", zone: 2, dx: -50, dy: 0, out: r(50, 100, 150, 60) },
            { tag: "top-left past the opposite corner stops at the minimum", zone: 1, dx: 200, dy: 200, out: r(180, 140, 20, 20) },
            { tag: "bottom-right past the opposite corner stops at the minimum", zone: 9, dx: -300, dy: -300, out: r(100, 100, 20, 20) },
            { tag: "top-right below the minimum", zone: 7, dx: -95, dy: 50, out: r(100, 140, 20, 20) },
            { tag: "bottom-left below the minimum", zone: 3, dx: 90, dy: -45, out: r(180, 100, 20, 20) }
        ]
    }
    function test_dragRect(data) { compare(Geo.dragRect(r(100, 100, 100, 60), data.zone, data.dx, data.dy), data.out) }

    function test_blockAt_data() {
        return [
            { tag: "overlap: the upper", px: 75, py: 75, strict: false, at: 1 }, { tag: "only the lower", px: 25, py: 25, strict: false, at: 0 },
            { tag: "on the upper's corner, edges count", px: 50, py: 50, strict: false, at: 1 },
            { tag: "on the upper's corner, strictly: the lower", px: 50, py: 50, strict: true, at: 0 },
            { tag: "on the upper's right edge", px: 150, py: 75, strict: false, at: 1 },
            { tag: "on the upper's right edge, strictly: none", px: 150, py: 75, strict: true, at: -1 },
            { tag: "between blocks", px: 175, py: 25, strict: false, at: -1 }, { tag: "a separate block", px: 225, py: 25, strict: true, at: 2 }
        ]
    }
    function test_blockAt(data) {
        compare(Geo.blockAt([r(0, 0, 100, 100), r(50, 50, 100, 100), r(200, 0, 50, 50)], data.px, data.py, data.strict), data.at)
    }

    // ---- Stacking ----

    function test_restack_data() {
        return [
            { tag: "Up", index: 1, op: "Up", order: "acbd" }, { tag: "Up at the top", index: 3, op: "Up", order: "abcd" },
            { tag: "Down", index: 2, op: "Down", order: "acbd" }, { tag: "Down at the bottom", index: 0, op: "Down", order: "abcd" },
            { tag: "Top", index: 0, op: "Top", order: "bcda" }, { tag: "Top at the top", index: 3, op: "Top", order: "abcd" },
            { tag: "Bottom", index: 3, op: "Bottom", order: "dabc" }, { tag: "Bottom at the bottom", index: 0, op: "Bottom", order: "abcd" },
            { tag: "no such block", index: 4, op: "Top", order: "abcd" }, { tag: "unknown operation", index: 1, op: "Left", order: "abcd" }
        ]
    }
    function test_restack(data) {
        var blocks = ["a", "b", "c", "d"].map(function (c) { return { id: c } })
        compare(ids(Geo.restack(blocks, data.index, data.op)).join(""), data.order)
        compare(ids(blocks).join(""), "abcd") // the list given is left as it was
    }

    function test_removeDuplicates_data() {
        var a = r(0, 0, 10, 10), b = r(5, 5, 10, 10)
        return [
            { tag: "two identical: the upper stays", rects: [a, b, a], kept: [1, 2] },
            { tag: "three identical: the top stays", rects: [a, a, a], kept: [2] },
            { tag: "same position, other size", rects: [a, r(0, 0, 10, 11), r(0, 0, 11, 10)], kept: [0, 1, 2] },
            { tag: "same size, other position", rects: [a, r(1, 0, 10, 10), r(0, 1, 10, 10)], kept: [0, 1, 2] },
            { tag: "two pairs", rects: [b, a, b, a], kept: [2, 3] }
        ]
    }
    function test_removeDuplicates(data) {
        var blocks = data.rects.map(function (q, i) { return { id: i, x: q.x, y: q.y, width: q.width, height: q.height } })
        compare(ids(Geo.removeDuplicates(blocks)), data.kept)
    }

    // ---- Window command ----

    function test_windowCommand_data() {
        var full = [r(0, 0, 1920, 1080)]
        return [
            { tag: "no blocks", blocks: [], text: "{SetWindows;001}" },
            { tag: "a full-wall window", blocks: [single(1, 0, 0, 1920, 1080)], text: "{SetWindows;001;10.0.0.1,M1,0,0,1920,1080}" },
            { tag: "x 101 to 301 is sent as x 102, w 200", blocks: [single(1, 101, 0, 200, 540)],
              text: "{SetWindows;001;10.0.0.1,S1,102,0,200,540}" },
            { tag: "scaled from the canvas, rounded, then raised to even", ctx: { canvasW: 960, canvasH: 540 },
              blocks: [single(1, 100.2, 50.7, 480, 270)], text: "{SetWindows;001;10.0.0.1,M1,200,102,960,540}" },
            { tag: "959 x 540 (sent 958 wide) plays the sub-stream", blocks: [single(1, 1, 0, 959, 540)],
              text: "{SetWindows;001;10.0.0.1,S1,2,0,958,540}" },
            { tag: "960 x 540 plays the main stream", blocks: [single(1, 0, 0, 960, 540)], text: "{SetWindows;001;10.0.0.1,M1,0,0,960,540}" },
            { tag: "the area counts, not each side: 1080 x 480 is main", blocks: [single(1, 0, 0, 1080, 480)],
              text: "{SetWindows;001;10.0.0.1,M1,0,0,1080,480}" },
            { tag: "the area counts, not each side: 1920 x 268 is sub", blocks: [single(1, 0, 0, 1920, 268)],
              text: "{SetWindows;001;10.0.0.1,S1,0,0,1920,268}" },
            { tag: "stream 1: a second signal on a decoder makes both sub", ctx: { nodeRects: full },
              blocks: [single(1, 0, 0, 960, 540), single(2, 960, 0, 960, 540)],
              text: "{SetWindows;001;10.0.0.1,S1,0,0,960,540;10.0.0.2,S2,960,0,960,540}" },
            { tag: "stream 2: two signals stay main", ctx: { nodeRects: full, stream: 2 },
              blocks: [single(1, 0, 0, 960, 540), single(2, 960, 0, 960, 540)],
              text: "{SetWindows;001;10.0.0.1,M1,0,0,960,540;10.0.0.2,M2,960,0,960,540}" },
            { tag: "stream 2: a third signal makes itself and the last main sub", ctx: { nodeRects: full, stream: 2 },
              blocks: [single(1, 0, 0, 960, 540), single(2, 960, 0, 960, 540), single(3, 0, 540, 960, 540)],
              text: "{SetWindows;001;10.0.0.1,M1,0,0,960,540;10.0.0.2,S2,960,0,960,540;10.0.0.3,S3,0,540,960,540}" },
            { tag: "one signal twice counts once", ctx: { nodeRects: full },
              blocks: [single(1, 0, 0, 960, 540), single(1, 960, 0, 960, 540)],
              text: "{SetWindows;001;10.0.0.1,M1,0,0,960,540;10.0.0.1,M1,960,0,960,540}" },
            { tag: "each decoder has its own limit", ctx: { nodeRects: [r(0, 0, 960, 1080), r(960, 0, 960, 1080)] },
              blocks: [single(1, 0, 0, 960, 540), single(2, 960, 0, 960, 540)],
              text: "{SetWindows;001;10.0.0.1,M1,0,0,960,540;10.0.0.2,M2,960,0,960,540}" },
            { tag: "a covered block does not count on its decoder", ctx: { nodeRects: full }, covered: [0],
              blocks: [single(1, 0, 0, 960, 540), single(2, 0, 0, 1920, 1080)],
              text: "{SetWindows;001;10.0.0.1,M1,0,0,960,540;10.0.0.2,M2,0,0,1920,1080}" },
            { tag: "a 2 x 2 mosaic: one entry per part with the window id", blocks: [mosaic(1, 2, 2, 0, 0, 1920, 1080)],
              text: "{SetWindows;001;10.0.0.1,M1,0,0,960,540,3_1700000000000;10.0.0.2,M2,960,0,960,540,3_1700000000000;"
                    + "10.0.0.3,M3,0,540,960,540,3_1700000000000;10.0.0.4,M4,960,540,960,540,3_1700000000000}" },
            { tag: "a 2 x 2 mosaic in a quarter plays sub-streams", blocks: [mosaic(1, 2, 2, 960, 540, 960, 540)],
              text: "{SetWindows;001;10.0.0.1,S1,960,540,480,270,3_1700000000000;10.0.0.2,S2,1440,540,480,270,3_1700000000000;"
                    + "10.0.0.3,S3,960,810,480,270,3_1700000000000;10.0.0.4,S4,1440,810,480,270,3_1700000000000}" },
            { tag: "one small part makes the whole mosaic sub", blocks: [mosaic(1, 1, 2, 1, 0, 1918, 540)],
              text: "{SetWindows;001;10.0.0.1,S1,2,0,958,540,3_1700000000000;10.0.0.2,S2,960,0,960,540,3_1700000000000}" },
            { tag: "a small last part makes the earlier parts sub too", blocks: [mosaic(1, 1, 2, 0, 0, 1918, 540)],
              text: "{SetWindows;001;10.0.0.1,S1,0,0,960,540,3_1700000000000;10.0.0.2,S2,960,0,958,540,3_1700000000000}" },
            { tag: "dock layout: chn 1 by size, 2 main, 3 sub, others nothing", ctx: { dockLayout: true },
              blocks: [single(1, 0, 0, 960, 540, { chn: 1 }), single(2, 960, 0, 480, 270, { chn: 1 }),
                       single(3, 0, 540, 480, 270, { chn: 2 }), single(4, 960, 540, 960, 540, { chn: 3 }),
                       single(5, 0, 0, 1920, 1080, { chn: 0 }), single(6, 0, 0, 1920, 1080, { chn: 4 })],
              text: "{SetWindows;001;10.0.0.1,M1,0,0,960,540;10.0.0.2,S2,960,0,480,270;10.0.0.3,M3,0,540,480,270;10.0.0.4,S4,960,540,960,540}" },
            { tag: "dock layout: the decoder limit moves chn 1 to sub, not chn 2", ctx: { dockLayout: true, nodeRects: full },
              blocks: [single(1, 0, 0, 960, 540, { chn: 1 }), single(2, 960, 0, 960, 540, { chn: 2 })],
              text: "{SetWindows;001;10.0.0.1,S1,0,0,960,540;10.0.0.2,M2,960,0,960,540}" },
            { tag: "banner band: y mapped below it", ctx: { band: 100, canvasH: 490 }, blocks: [single(1, 0, 245, 1920, 245)],
              text: "{SetWindows;001;10.0.0.1,M1,0,590,1920,490}" }
        ]
    }
    function test_windowCommand(data) {
        compare(Geo.windowCommand(data.blocks, data.covered || [], wallCtx(data.ctx)).text, data.text)
    }

    function test_snapshots_data() {
        return [
            { tag: "only the top block's parts are on", blocks: [single(1, 0, 0, 960, 540), mosaic(2, 1, 2, 0, 0, 1920, 1080)],
              snaps: [{ ip: "10.0.0.1", on: false }, { ip: "10.0.0.2", on: true }, { ip: "10.0.0.3", on: true }] },
            { tag: "a top block without an entry is still on", ctx: { dockLayout: true },
              blocks: [single(1, 0, 0, 960, 540, { chn: 2 }), single(2, 0, 0, 960, 540, { chn: 0 })],
              snaps: [{ ip: "10.0.0.1", on: false }, { ip: "10.0.0.2", on: true }] }
        ]
    }
    function test_snapshots(data) {
        compare(Geo.windowCommand(data.blocks, [], wallCtx(data.ctx)).snapshots, data.snaps)
    }

    // ---- Audio: left half, right half and bottom-right quarter (sharing the left's address) ----

    function test_audioCommands_data() {
        return [
            { tag: "an empty wall sends the unmapped form once per address", blocks: [],
              texts: ["{SetAudios;W1}", "{SetAudios;W2}"] },
            { tag: "a block ending at an area's left edge does not reach it", blocks: [single(1, 0, 0, 959, 1080)],
              texts: ["{SetAudios;W1;0|M1}", "{SetAudios;W2}"] },
            { tag: "a later block overrides where it reaches", blocks: [single(1, 0, 0, 1920, 1080), single(2, 0, 0, 900, 1080)],
              texts: ["{SetAudios;W1;0|M2}", "{SetAudios;W2;0|M1}"] },
            { tag: "a later block reaches an address through its second area",
              blocks: [single(1, 0, 0, 900, 1080), single(2, 1000, 600, 900, 400)], texts: ["{SetAudios;W1;0|M2}", "{SetAudios;W2;0|M2}"] },
            { tag: "position and size are raised to even each: 759 + 201 reaches 960", blocks: [single(1, 759, 0, 201, 1080)],
              texts: ["{SetAudios;W1;0|M1}", "{SetAudios;W2;0|M1}"] },
            { tag: "a URL containing url sends the address",
              blocks: [single(1, 0, 0, 900, 1080, { parts: [{ ip: "10.0.0.1", url: "rtsp://url/1", url2: "x" }] })],
              texts: ["{SetAudios;W1;0|10.0.0.1}", "{SetAudios;W2}"] },
            { tag: "a mosaic uses its first part", blocks: [mosaic(3, 1, 2, 1000, 0, 900, 500)],
              texts: ["{SetAudios;W1}", "{SetAudios;W2;0|M3}"] }
        ]
    }
    function test_audioCommands(data) {
        var areas = [{ x: 0, y: 0, width: 960, height: 1080, audio: "10.0.1.1" }, { x: 960, y: 0, width: 960, height: 1080, audio: "10.0.1.2" },
                     { x: 960, y: 540, width: 960, height: 540, audio: "10.0.1.1" }, { x: 0, y: 0, width: 1920, height: 1080 }]
        var out = Geo.audioCommands(data.blocks, areas, wallCtx(), function (a) { return "W" + a.split(".")[3] })
        compare(out.map(function (e) { return e.address }), ["10.0.1.1", "10.0.1.2"])
        compare(out.map(function (e) { return e.text }), data.texts)
    }

    function test_audioClearCommands() {
        compare(Geo.audioClearCommands(["0,0,1920,10.0.1.1", "a,b,c, 10.0.1.2 ", "1,2,3", "1,2,3,", ""], "7"), [
            { address: "10.0.1.1", text: "{SetAudios;7}" }, { address: "10.0.1.2", text: "{SetAudios;7}" }])
        compare(Geo.audioClearCommands(undefined, "7"), [])
    }

    // ---- Canvas changes: a 3840 x 2160 wall ----

    function test_remap_data() {
        return [
            { tag: "half the size", from: { canvasW: 960, canvasH: 540 }, to: { canvasW: 480, canvasH: 270 },
              rect: r(480, 270, 240, 135), out: r(240, 135, 120, 67.5) },
            { tag: "a banner takes 216 pixels", from: { canvasW: 960, canvasH: 540 }, to: { canvasW: 960, canvasH: 486, band: 216 },
              rect: r(0, 270, 480, 270), out: r(0, 216, 480, 270) },
            { tag: "the banner goes", from: { canvasW: 960, canvasH: 486, band: 216 }, to: { canvasW: 960, canvasH: 540 },
              rect: r(0, 216, 480, 270), out: r(0, 270, 480, 270) }
        ]
    }
    function test_remap(data) {
        compare(Geo.remap(data.rect, data.from, data.to, 3840, 2160), data.out)
        var back = Geo.remap(data.out, data.to, data.from, 3840, 2160)
        compare(back, data.rect, "and back")
    }

    // ---- Listing entries ----

    function test_listingRect_data() {
        return [
            { tag: "wall pixels to a half-size canvas", entry: { x: "960", y: "540", w: "480", h: "270" }, rect: r(480, 270, 240, 135) },
            { tag: "numbers as well as texts", entry: { x: 0, y: 0, w: 1920, h: 1080 }, rect: r(0, 0, 960, 540) },
            { tag: "banner band: y and h through the rest of the height", band: 100, canvasH: 490,
              entry: { x: 960, y: 590, w: 480, h: 490 }, rect: r(480, 245, 240, 245) },
            { tag: "banner band: the band's bottom is the canvas top", band: 100, canvasH: 490,
              entry: { x: 0, y: 100, w: 1920, h: 980 }, rect: r(0, 0, 960, 490) },
            { tag: "mosaic: one cell times columns and rows", rows: 2, cols: 3,
              entry: { x: 0, y: 0, w: 320, h: 270 }, rect: r(0, 0, 480, 270) },
            { tag: "mosaic under a banner", band: 100, canvasH: 490, rows: 2, cols: 2,
              entry: { x: 0, y: 100, w: 480, h: 196 }, rect: r(0, 0, 480, 196) }
        ]
    }
    function test_listingRect(data) {
        var ctx = wallCtx({ canvasW: 960, canvasH: data.canvasH || 540, band: data.band || 0 })
        var got = Geo.listingRect(data.entry, ctx, data.rows, data.cols)
        compare(got, data.rect)
        if (!data.rows) // sent back, a listed window lands where it was listed
            compare(Geo.partRect(got, {}, ctx), r(Number(data.entry.x), Number(data.entry.y), Number(data.entry.w), Number(data.entry.h)))
    }

    // Another block at 100,100 200x100 (middles 200 and 150); the dragged one is 100x50.
    function test_alignment_data() {
        return [
            { tag: "move: left edge 3 units from the other's right", zone: 5, drag: r(303, 400, 100, 50), aligned: r(300, 400, 100, 50) },
            { tag: "move: the nearest of two pairs wins", zone: 5, drag: r(196, 153, 100, 50), aligned: r(200, 150, 100, 50) },
            { tag: "move: 5 units is not near", zone: 5, drag: r(305, 405, 100, 50), aligned: r(305, 405, 100, 50) },
            { tag: "move: middles line up", zone: 5, drag: r(148, 300, 100, 50), aligned: r(150, 300, 100, 50) },
            { tag: "right edge zone: the right edge snaps, the left stays", zone: 8, drag: r(0, 400, 98, 50), aligned: r(0, 400, 100, 50) },
            { tag: "right edge zone: a matched left edge does not move it", zone: 8, drag: r(302, 400, 50, 50), aligned: r(302, 400, 50, 50) },
            { tag: "top-left zone: the top snaps to the other's bottom", zone: 1, drag: r(400, 198, 50, 60), aligned: r(400, 200, 50, 58) },
            { tag: "bottom zone: the bottom snaps to the other's top", zone: 6, drag: r(400, 0, 50, 97), aligned: r(400, 0, 50, 100) }
        ]
    }
    function test_alignment(data) {
        var other = r(100, 100, 200, 100)
        var got = Geo.applyAlignment(data.drag, data.zone, Geo.alignment(data.drag, [other]))
        compare(got, data.aligned)
    }
    function test_guideLines() {
        var other = r(100, 100, 200, 100)
        // Left edge on the other's right edge, the same top, the bottom on the other's middle.
        compare(Geo.guideLines(r(300, 100, 100, 50), [other]), [
            { x1: 100, y1: 100, x2: 400, y2: 100 },
            { x1: 300, y1: 100, x2: 300, y2: 200 },
            { x1: 100, y1: 150, x2: 400, y2: 150 }
        ])
        compare(Geo.guideLines(r(500, 500, 10, 10), [other]), [])
    }

    // ---- Drawing: a 400x300 canvas ----

    function lines(p) {
        var base = { kind: "grid", dock: 0, rows: 1, cols: 1, cutRow: 1, cutCol: 1, docks: [], refRow: 0, refCol: 0,
                     egMode: 0, canvasW: 400, canvasH: 300 }
        for (var k in p)
            base[k] = p[k]
        return Geo.wallLines(base)
    }
    function seg(x1, y1, x2, y2, dashed) { return { x1: x1, y1: y1, x2: x2, y2: y2, dashed: !!dashed } }
    function test_wallLines_data() {
        return [
            { tag: "one screen: no lines of its own", p: {}, screens: 0, layout: [] },
            { tag: "2x3 screens", p: { rows: 2, cols: 3 }, screens: 3, layout: [] },
            { tag: "grid 2x2: the inner cut lines", p: { cutRow: 2, cutCol: 2 }, screens: 0,
              layout: [seg(200, 0, 200, 300), seg(0, 150, 400, 150)] },
            { tag: "egMode 1 draws no layout lines", p: { cutRow: 2, cutCol: 2, egMode: 1 }, screens: 0, layout: [] },
            { tag: "a dock rectangle: its outline", p: { kind: "dock", dock: 3, docks: [r(0, 0, 100, 50)] }, screens: 0,
              layout: [seg(0, 0, 0, 50), seg(100, 0, 100, 50), seg(0, 0, 100, 0), seg(0, 50, 100, 50)] },
            { tag: "free with dock 1: dashed reference lines per screen", p: { kind: "free", dock: 1, cols: 2, refRow: 1, refCol: 2 },
              screens: 1, layout: [seg(100, 0, 100, 300, true), seg(300, 0, 300, 300, true)] },
            { tag: "free with another dock: no reference lines", p: { kind: "free", dock: 3, refRow: 2, refCol: 2 }, screens: 0, layout: [] },
            { tag: "full screen: only the screens", p: { kind: "full", rows: 2, cutRow: 2, cutCol: 2 }, screens: 1, layout: [] }
        ]
    }
    function test_wallLines(data) {
        var got = lines(data.p)
        compare(got.screens.length, data.screens)
        compare(got.layout, data.layout)
    }
    function test_screenLinesSpanTheCanvas() {
        compare(lines({ rows: 2, cols: 3 }).screens, [
            seg(400 / 3, 0, 400 / 3, 300), seg(800 / 3, 0, 800 / 3, 300), seg(0, 150, 400, 150)])
    }
}
