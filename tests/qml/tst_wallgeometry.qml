import QtQuick 2.15
import QtTest 1.15
import "../../qml/js/WallGeometry.js" as Geo

// The wall's geometry rules: layout modes, where a dropped or released window lands, drags,
// stacking, the windows' places after a change, and the window and audio commands.
TestCase {
    name: "WallGeometry"

    function r(x, y, w, h) { return { x: x, y: y, width: w, height: h } }
    function geometry(b) { return r(b.x, b.y, b.width, b.height) }
    function ids(list) { return list.map(function (b) { return b.id }) }
    // A single-signal block of signal n: address 10.0.0.n, main stream "Mn", sub-stream "Sn".
    function single(n, x, y, w, h, more) {
        return Object.assign({ id: "s" + n, x: x, y: y, width: w, height: h, signalType: 0,
                               parts: [{ ip: "10.0.0." + n, url: "M" + n, url2: "S" + n, r: 0, c: 0 }] }, more)
    }
    // A mosaic of `rows` x `cols` cells showing signals first, first + 1, ... row by row.
    function mosaic(first, rows, cols, x, y, w, h) {
        var parts = []
        for (var i = 0; i < rows * cols; ++i)
            parts.push({ ip: "10.0.0." + (first + i), url: "M" + (first + i), url2: "S" + (first + i),
                         r: Math.floor(i / cols), c: i % cols })
        return { id: "m" + first, x: x, y: y, width: w, height: h, signalType: 1, row: rows, col: cols, wId: "3_1", parts: parts }
    }
    function wallCtx(more) {
        return Object.assign({ panelId: "001", pixWidth: 1920, pixHeight: 1080, canvasW: 1920, canvasH: 1080, band: 0,
                               nodeRects: [], stream: 1, dockLayout: false }, more)
    }

    function test_mode_data() {
        return [
            { tag: "dock 0 is the grid", dock: 0, free: 1, full: 1, kind: "grid", index: -1 },
            { tag: "dock 1 alone: the first dock layout", dock: 1, free: 0, full: 0, kind: "dock", index: 0 },
            { tag: "dock 1 with free", dock: 1, free: 1, full: 0, kind: "free", index: -1 },
            { tag: "dock 9 with both: the seventh layout", dock: 9, free: 1, full: 1, kind: "dock", index: 6 }
        ]
    }
    function test_mode(data) { compare(Geo.mode(data.dock, data.free, data.full), { kind: data.kind, index: data.index }) }

    // Grid mode: canvas 400 x 300, 4 x 3 cells of 100. A drop is narrowed to one cell, then released.
    readonly property var gridCtx: ({ mode: Geo.mode(0, 0, 0), cellW: 100, cellH: 100, cutCol: 4, cutRow: 3, canvasW: 400, canvasH: 300 })
    function test_gridRelease_data() {
        return [
            { tag: "drop inside a cell", drop: true, block: r(110, 120, 50, 50), cell: r(100, 100, 100, 100) },
            { tag: "two cells wide keeps both", block: r(90, 10, 210, 90), cell: r(100, 0, 200, 100) },
            { tag: "a wide drop narrows to one cell about its centre", drop: true, block: r(0, 0, 300, 250), cell: r(100, 100, 100, 100) },
            { tag: "y1 = y2 before the line shrinks up", block: r(0, 160, 100, 20), cell: r(0, 100, 100, 100) },
            { tag: "y1 = y2 on the line takes the cell below", block: r(0, 200, 100, 20), cell: r(0, 200, 100, 100) },
            { tag: "larger than the wall fills it", block: r(-50, -40, 600, 400), cell: r(0, 0, 400, 300) },
            { tag: "fully past the right edge", block: r(450, 100, 100, 100), cell: r(300, 100, 100, 100) }
        ]
    }
    function test_gridRelease(data) {
        var b = data.drop ? Geo.gridDrop(data.block, 100, 100) : data.block
        compare(Geo.release(b, b.x + b.width / 2, b.y + b.height / 2, gridCtx).rect, data.cell)
    }

    // Dragging a block by a grab zone (1-3 left edge, 7-9 right edge, 5 inside), its stacking,
    // and its place kept on the wall when the canvas changes size and a banner takes 216 rows.
    function test_gestures_data() {
        var b = r(10, 10, 100, 50)
        return [
            { tag: "inside moves", got: Geo.dragRect(b, 5, 5, -3), want: r(15, 7, 100, 50) },
            { tag: "top left corner", got: Geo.dragRect(b, 1, 30, 10), want: r(40, 20, 70, 40) },
            { tag: "left edge keeps the least width, ignores dy", got: Geo.dragRect(b, 2, 500, 9), want: r(90, 10, 20, 50) },
            { tag: "bottom right keeps the least size", got: Geo.dragRect(b, 9, -200, -200), want: r(10, 10, 20, 20) },
            { tag: "top edge", got: Geo.dragRect(b, 4, 9, -10), want: r(10, 0, 100, 60) },
            { tag: "up", got: Geo.restack(["a", "b", "c"], 0, "Up"), want: ["b", "a", "c"] },
            { tag: "up from the top", got: Geo.restack(["a", "b", "c"], 2, "Up"), want: ["a", "b", "c"] },
            { tag: "down", got: Geo.restack(["a", "b", "c"], 2, "Down"), want: ["a", "c", "b"] },
            { tag: "top", got: Geo.restack(["a", "b", "c"], 0, "Top"), want: ["b", "c", "a"] },
            { tag: "bottom", got: Geo.restack(["a", "b", "c"], 2, "Bottom"), want: ["c", "a", "b"] },
            { tag: "no such block", got: Geo.restack(["a", "b"], 2, "Top"), want: ["a", "b"] },
            { tag: "remapped", got: Geo.remap(r(100, 200, 200, 100), { canvasW: 960, canvasH: 540 },
                                              { canvasW: 1920, canvasH: 1080, band: 216 }, 1920, 1080), want: r(200, 230, 400, 250) }
        ]
    }
    function test_gestures(data) { compare(data.got, data.want) }

    // The dock layout: picture in picture.
    readonly property var pip: [{ x: 0, y: 0, width: 400, height: 300, chn: 1 }, { x: 150, y: 100, width: 100, height: 100, chn: 2 }]
    function test_recompute_data() {
        var big = pip[0], inset = pip[1]
        return [
            { tag: "dock: a centre outside every rectangle closes the block", dock: 1,
              blocks: [single(1, 500, 0, 40, 40), single(2, 180, 130, 40, 40)], ids: ["s2"], rects: [inset] },
            { tag: "dock: exact blocks on top, the rest in stacking order", dock: 1,
              blocks: [single(1, 0, 0, 400, 300), single(2, 10, 10, 30, 30), single(3, 150, 100, 100, 100), single(4, 350, 250, 20, 20)],
              ids: ["s1", "s2", "s4", "s3"], rects: [big, big, big, inset] },
            { tag: "full screen fills the canvas", dock: 1, full: 1, blocks: [single(1, 10, 10, 50, 50)], ids: ["s1"], rects: [r(0, 0, 400, 300)] },
            { tag: "free cuts to the largest width and pushes inside", dock: 1, free: 1,
              blocks: [single(1, 350, 280, 100, 50, { maxWidth: 80 })], ids: ["s1"], rects: [r(320, 250, 80, 50)] }
        ]
    }
    function test_recompute(data) {
        var out = Geo.recompute(data.blocks, { mode: Geo.mode(data.dock, data.free, data.full), cellW: 100, cellH: 100, cutCol: 4,
                                               cutRow: 3, canvasW: 400, canvasH: 300, docks: pip })
        compare(ids(out), data.ids)
        compare(out.map(geometry), data.rects.map(geometry))
    }

    function test_windowCommand_data() {
        var full = [r(0, 0, 1920, 1080)]
        return [
            { tag: "no blocks", blocks: [], text: "{SetWindows;001}" },
            { tag: "scaled from the canvas, rounded, raised to even", ctx: { canvasW: 960, canvasH: 540 },
              blocks: [single(1, 100.2, 50.7, 480, 270)], text: "{SetWindows;001;10.0.0.1,M1,200,102,960,540}" },
            { tag: "959 x 540 (sent 958 wide) plays the sub-stream", blocks: [single(1, 1, 0, 959, 540)],
              text: "{SetWindows;001;10.0.0.1,S1,2,0,958,540}" },
            { tag: "stream 2: a third signal makes itself and the last main sub", ctx: { nodeRects: full, stream: 2 },
              blocks: [single(1, 0, 0, 960, 540), single(2, 960, 0, 960, 540), single(3, 0, 540, 960, 540)],
              text: "{SetWindows;001;10.0.0.1,M1,0,0,960,540;10.0.0.2,S2,960,0,960,540;10.0.0.3,S3,0,540,960,540}" },
            { tag: "a covered block does not count on its decoder", ctx: { nodeRects: full }, covered: [0],
              blocks: [single(1, 0, 0, 960, 540), single(2, 0, 0, 1920, 1080)],
              text: "{SetWindows;001;10.0.0.1,M1,0,0,960,540;10.0.0.2,M2,0,0,1920,1080}" },
            { tag: "a small last part makes the whole mosaic sub", blocks: [mosaic(1, 1, 2, 0, 0, 1918, 540)],
              text: "{SetWindows;001;10.0.0.1,S1,0,0,960,540,3_1;10.0.0.2,S2,960,0,958,540,3_1}" },
            { tag: "dock layout: chn 1 by size, 2 main, 3 sub, others nothing", ctx: { dockLayout: true },
              blocks: [single(1, 0, 0, 960, 540, { chn: 1 }), single(2, 960, 0, 480, 270, { chn: 1 }), single(3, 0, 540, 480, 270, { chn: 2 }),
                       single(4, 960, 540, 960, 540, { chn: 3 }), single(5, 0, 0, 1920, 1080, { chn: 0 })],
              text: "{SetWindows;001;10.0.0.1,M1,0,0,960,540;10.0.0.2,S2,960,0,480,270;10.0.0.3,M3,0,540,480,270;10.0.0.4,S4,960,540,960,540}" }
        ]
    }
    function test_windowCommand(data) {
        compare(Geo.windowCommand(data.blocks, data.covered || [], wallCtx(data.ctx)).text, data.text)
    }
    // Audio: left half, right half and bottom-right quarter (sharing the left's address).
    function test_audioCommands_data() {
        return [
            { tag: "an empty wall: the unmapped form once per address", blocks: [], texts: ["{SetAudios;W1}", "{SetAudios;W2}"] },
            { tag: "a block ending at an area's left edge does not reach it", blocks: [single(1, 0, 0, 959, 1080)],
              texts: ["{SetAudios;W1;0|M1}", "{SetAudios;W2}"] },
            { tag: "a later block reaches an address through its second area",
              blocks: [single(1, 0, 0, 900, 1080), single(2, 1000, 600, 900, 400)], texts: ["{SetAudios;W1;0|M2}", "{SetAudios;W2;0|M2}"] }
        ]
    }
    function test_audioCommands(data) {
        var areas = [{ x: 0, y: 0, width: 960, height: 1080, audio: "10.0.1.1" }, { x: 960, y: 0, width: 960, height: 1080, audio: "10.0.1.2" },
                     { x: 960, y: 540, width: 960, height: 540, audio: "10.0.1.1" }, { x: 0, y: 0, width: 1920, height: 1080 }]
        var out = Geo.audioCommands(data.blocks, areas, wallCtx(), function (a) { return "W" + a.split(".")[3] })
        compare(out.map(function (e) { return e.address }), ["10.0.1.1", "10.0.1.2"])
        compare(out.map(function (e) { return e.text }), data.texts)
        compare(Geo.audioClearCommands(["0,0,1920,10.0.1.1", "a,b,c, 10.0.1.2 ", "1,2,3", ""], "7"),
                [{ address: "10.0.1.1", text: "{SetAudios;7}" }, { address: "10.0.1.2", text: "{SetAudios;7}" }])
    }
}
