import QtQuick 2.15
import QtQuick.Controls 2.15
import "../components"
import "../js/DesignLook.js" as Look
import "../js/HealthRules.js" as Health
import "../js/PageRules.js" as PageRules
import "../js/WallGeometry.js" as Geo

// A designed video wall: its decoders to scale with their cut lines or dock layout, and one
// model of its windows (`blocks`, stacking order, the last on top) that gestures, drops and
// the controller's listings all change. Each change that ends a gesture sends the whole
// picture as one window command (unless pre-draw `yt` holds it back). An output whose
// decoder did not answer the window query is covered with the "No answer" look.
Item {
    id: root
    property var map: ({})
    property real multiplierW: 1
    property real multiplierH: 1
    readonly property string designName: map.objectName || ""
    readonly property string panelId: map.id !== undefined ? String(map.id) : "001"
    readonly property int pixWidth: map.size && map.size.width > 0 ? map.size.width : 1920
    readonly property int pixHeight: map.size && map.size.height > 0 ? map.size.height : 1080
    readonly property int originalRow: map.splitSize && map.splitSize.height > 0 ? map.splitSize.height : 1
    readonly property int originalCol: map.splitSize && map.splitSize.width > 0 ? map.splitSize.width : 1
    readonly property bool freeEn: !!map.freeEn
    readonly property bool fullEn: !!map.fullEn
    readonly property int stream: map.stream > 0 ? map.stream : 1
    readonly property real egWidth: map.egWidth || 0
    readonly property int egMode: map.egMode || 0
    // Physical screens drawn, and the reference grid per screen in free mode (0 = none).
    property int row: 1
    property int col: 1
    property int refRow: 0
    property int refCol: 0
    property bool isShowPos: !!map.isShowPos
    property int cutRow: originalRow
    property int cutCol: originalCol
    property int dock: 0
    property var dockrect: []
    property var osdMap: ({})
    property bool yt: false
    property int replaceSignal: 0
    property bool focused: false
    property var blocks: []
    property int nextKey: 1
    // The items follow `blocks` by key: one row per block in stacking order, so a change
    // creates, removes or moves only the items it concerns.
    property var blockByKey: ({})
    ListModel { id: itemKeys }
    onBlocksChanged: syncItems()
    property var lastCanvas: null
    function keepWindowsOnTheWall() {
        var now = { canvasW: canvasW, canvasH: canvasH, band: band }
        var from = lastCanvas
        lastCanvas = now
        if (!from || (from.canvasW === now.canvasW && from.canvasH === now.canvasH && from.band === now.band))
            return
        var move = function (b) { return Geo.withRect(b, Geo.remap(b, from, now, pixWidth, pixHeight)) }
        if (listing !== null)
            listing = listing.map(move)
        if (blocks.length > 0)
            blocks = blocks.map(move)
    }
    onCanvasWChanged: keepWindowsOnTheWall()
    onCanvasHChanged: keepWindowsOnTheWall()
    onBandChanged: keepWindowsOnTheWall()
    function syncItems() {
        var byKey = {}
        for (var i = 0; i < blocks.length; ++i)
            byKey[blocks[i].key] = blocks[i]
        for (var r = itemKeys.count - 1; r >= 0; --r) {
            if (byKey[itemKeys.get(r).key] === undefined)
                itemKeys.remove(r)
        }
        blockByKey = byKey
        for (var j = 0; j < blocks.length; ++j) {
            var key = blocks[j].key
            if (j < itemKeys.count && itemKeys.get(j).key === key)
                continue
            var at = -1
            for (var k = j + 1; k < itemKeys.count; ++k) {
                if (itemKeys.get(k).key === key) { at = k; break }
            }
            if (at >= 0)
                itemKeys.move(at, j, 1)
            else
                itemKeys.insert(j, { key: key })
        }
    }
    // Alignment guides of a drag in free mode.
    property var splitLines: []

    readonly property var layout: Geo.mode(dock, freeEn, fullEn)
    // A suspended banner takes a band of its height (wall pixels) off the top of the canvas;
    // the wall's vertical coordinates map through the rest.
    readonly property real band: Number(osdMap.suspend) === 1 ? Math.max(0, Math.min(pixHeight - 1, Number(osdMap.height) || 0)) : 0
    readonly property real bandOnScreen: band * (height - egWidth) / pixHeight
    readonly property real canvasW: Math.max(1, width - egWidth)
    readonly property real canvasH: Math.max(1, height - egWidth - bandOnScreen)

    signal touched()
    // Every window command sent, for the measurements.
    signal windowsSent(string text)

    readonly property var geometry: Look.place(map.globalPos, multiplierW, multiplierH, false)
    x: geometry.x
    y: geometry.y
    width: geometry.width
    height: geometry.height

    function requestWindows() { ImApi.ServerGetWindows(map.isKvmVWall ? "100" : panelId) }

    // ---- Geometry contexts ----

    function toCanvas(r) {
        var sy = canvasH / (pixHeight - band)
        return { x: r.x * canvasW / pixWidth, y: (r.y - band) * sy,
                 width: r.width * canvasW / pixWidth, height: r.height * sy, chn: r.chn, audio: r.audio }
    }
    function ctx() {
        return { mode: layout, cellW: canvasW / cutCol, cellH: canvasH / cutRow, cutCol: cutCol, cutRow: cutRow,
                 docks: dockrect.map(toCanvas), canvasW: canvasW, canvasH: canvasH }
    }
    function commandCtx() {
        return { panelId: panelId, pixWidth: pixWidth, pixHeight: pixHeight, canvasW: canvasW, canvasH: canvasH,
                 band: band, nodeRects: map.nodeRects || [], stream: stream, dockLayout: layout.kind === "dock" }
    }

    // ---- The model ----

    // A block for a signal (type 0) or a mosaic (type 1) at r, or null for an unknown one.
    function signalBlock(index, type, r, wId) {
        var b = { x: r.x, y: r.y, width: r.width, height: r.height, signalIndex: index, signalType: type,
                  chn: 0, key: nextKey++ }
        if (type === 1) {
            var m = ImApi.getMultiSignalMsg(index)
            if (!m || !m.ip || m.ip.length === 0)
                return null
            b.row = Math.max(1, m.row || 1)
            b.col = Math.max(1, m.col || 1)
            b.signalName = m.name || ""
            b.parts = []
            for (var i = 0; i < m.ip.length; ++i)
                b.parts.push({ ip: m.ip[i], url: (m.url || [])[i] || "", url2: (m.url2 || [])[i] || "",
                               r: Math.floor(i / b.col), c: i % b.col })
            b.wId = wId || (index + "_" + Date.now())
        } else {
            var s = ImApi.getSignalMsg(index)
            if (!s || !s.ip)
                return null
            b.row = 1
            b.col = 1
            b.signalName = s.name || ""
            b.parts = [{ ip: s.ip, url: s.url || "", url2: s.url2 || "", r: 0, c: 0 }]
        }
        return b
    }
    function indexOfKey(key) {
        for (var i = 0; i < blocks.length; ++i) {
            if (blocks[i].key === key)
                return i
        }
        return -1
    }
    // The picture after a change: every block recomputed, the audio of a dock layout, and the
    // window command unless pre-draw holds it back. The command goes before the items are
    // rebuilt, so the wall hears of a gesture as soon as it ends.
    function settle(list) {
        list = Geo.recompute(list, ctx())
        if (!yt) {
            if (layout.kind === "dock")
                sendAudios(list)
            list = send(list)
        }
        blocks = list
    }

    // ---- Operations ----

    // A signal dropped with its drag image at r (canvas units).
    function dropSignal(r, index, type) {
        var c = Geo.centre(r)
        if (replaceSignal === 1) {
            var hit = Geo.blockAt(blocks, c.x, c.y, true)
            if (hit >= 0) {
                var replaced = signalBlock(index, type, blocks[hit])
                if (replaced) {
                    var l = blocks.slice()
                    replaced.key = blocks[hit].key
                    replaced.chn = blocks[hit].chn
                    l[hit] = replaced
                    blocks = l
                    publish()
                }
                return
            }
        }
        if (layout.kind === "grid")
            r = Geo.gridDrop(r, canvasW / cutCol, canvasH / cutRow)
        var b = signalBlock(index, type, r)
        if (!b) {
            console.warn("wall", panelId, "dropped signal", index, "of type", type, "is unknown")
            return
        }
        var list = blocks.concat([b])
        releaseAt(list, list.length - 1, c.x, c.y)
    }
    function releaseAt(list, i, px, py) {
        splitLines = []
        var landed = Geo.release(list[i], px, py, ctx())
        list = list.slice()
        if (landed)
            list[i] = Geo.withRect(list[i], landed.rect, landed.chn)
        else
            list.splice(i, 1)
        settle(list)
    }
    // The end of a move or resize of the block `key`; a block the controller's listing
    // replaced meanwhile is not brought back.
    // The pressed block goes on top of the stacking order.
    function releaseBlock(key, r, px, py) {
        var i = indexOfKey(key)
        if (i < 0)
            return
        var list = Geo.restack(blocks, i, "Top")
        list[list.length - 1] = Geo.withRect(list[list.length - 1], r)
        releaseAt(list, list.length - 1, px, py)
    }
    // A drag in progress: in free mode with alignment (dock 1, free layout enabled) the block
    // snaps to the edges and middles of the others, and guides show what lines up.
    function dragTo(key, r, zone) {
        if (!(layout.kind === "free" && dock === 1 && freeEn))
            return r
        var others = blocks.filter(function (b) { return b.key !== key })
        var aligned = Geo.applyAlignment(r, zone, Geo.alignment(r, others))
        splitLines = Geo.guideLines(aligned, others)
        return aligned
    }
    // A press without a move: only the stacking changes.
    function pressBlock(key) {
        var i = indexOfKey(key)
        if (i < 0 || i === blocks.length - 1)
            return
        blocks = Geo.restack(blocks, i, "Top")
        if (!yt)
            publish()
    }
    // The top window's signals send their larger snapshots.
    function snapshotDip(ip, on) {
        ImApi.serverSetSignalSnapDip(ip, on ? 1 : 0)
    }
    function snapshotsOff(block) {
        block.parts.forEach(function (part) { snapshotDip(part.ip, false) })
    }
    function closeBlock(key) {
        var i = indexOfKey(key)
        if (i < 0)
            return
        snapshotsOff(blocks[i])
        var list = blocks.slice()
        list.splice(i, 1)
        settle(list)
    }
    function fullScreen(key) {
        var i = indexOfKey(key)
        if (i < 0)
            return
        var list = blocks.slice()
        list[i] = Geo.withRect(list[i], Geo.rect(0, 0, canvasW, canvasH))
        settle(list)
    }
    function restackBlock(key, op) {
        var i = indexOfKey(key)
        if (i < 0)
            return
        blocks = Geo.restack(blocks, i, op)
        if (!yt)
            publish()
    }
    function clearWall() {
        listing = null
        blocks.forEach(snapshotsOff)
        blocks = []
        if (!yt)
            publish()
    }
    // The wall's audio outputs fall silent (with a clear of the wall).
    function clearAudio() {
        var commands = Geo.audioClearCommands(map.audios, panelId)
        for (var i = 0; i < commands.length; ++i)
            ImApi.ServerSetAudios(commands[i].address, commands[i].text)
    }
    function chooseBackground() {
        touched()
        ImApi.upLoadBackgroundImage("")
    }
    // The windows of a listing replace the picture; no command goes out. A listing arrives
    // as a clear and one signal per window: the model takes them in one change.
    property var listing: null
    function clearBlocks() {
        listing = []
        Qt.callLater(takeListing)
    }
    function takeListing() {
        if (listing !== null) {
            blocks = reuseKeys(listing, blocks)
            listing = null
        }
    }
    // A listed window that is one the wall already shows (same signal, same place) keeps that
    // window's key, so its item is not rebuilt.
    // Compared in wall pixels: the listing gives back what was sent, rounded to even pixels.
    function reuseKeys(list, old) {
        var used = {}, c = commandCtx()
        var oldRects = old.map(function (o) { return Geo.wallRect(o, c) })
        return list.map(function (b) {
            var r = Geo.wallRect(b, c)
            for (var i = 0; i < old.length; ++i) {
                var o = old[i]
                if (!used[o.key] && Geo.sameRect(oldRects[i], r)
                        && o.parts[0].ip === b.parts[0].ip && o.wId === b.wId) {
                    used[o.key] = true
                    return Geo.withRect(b, b, undefined, o.key)
                }
            }
            return b
        })
    }
    function addBlock(entry) {
        if (listing === null)
            listing = blocks.slice()
        var type = Number(entry.type) === 1 ? 1 : 0
        var b
        if (type === 1) {
            for (var i = 0; i < listing.length; ++i) {
                if (listing[i].signalType === 1 && listing[i].wId === entry.id)
                    return
            }
            var m = ImApi.getMultiSignalMsg(Number(entry.index))
            b = signalBlock(Number(entry.index), 1, Geo.listingRect(entry, commandCtx(), m.row, m.col), entry.id)
        } else {
            var r = Geo.listingRect(entry, commandCtx(), 1, 1)
            b = { x: r.x, y: r.y, width: r.width, height: r.height, signalType: 0, signalIndex: -1, chn: 0,
                  row: 1, col: 1, key: nextKey++, signalName: ImApi.getSignalName(entry.src_ip) || entry.src_ip,
                  parts: [{ ip: entry.src_ip, url: entry.url || "", url2: entry.url2 || "", r: 0, c: 0 }] }
        }
        if (b)
            listing.push(b)
        else
            console.warn("wall", panelId, "listed window of unknown signal", entry.index, entry.src_ip || "")
        Qt.callLater(takeListing)
    }
    // The whole picture as one window command.
    function publish() {
        if (layout.kind === "dock")
            sendAudios(blocks)
        var list = send(blocks)
        if (list.length !== blocks.length)
            blocks = list
    }
    // Sends `list` (exact duplicates removed, which it returns) with its audio outside dock layouts.
    function send(list) {
        list = Geo.removeDuplicates(list)
        var topFirst = list.map(function (b) { return Geo.rect(b.x, b.y, b.width, b.height) }).reverse()
        var covered = list.length > 1 ? (ImApi.callRectMask(topFirst) || []) : []
        var command = Geo.windowCommand(list, covered, commandCtx())
        ImApi.ServerSetWindows(panelId, command.text)
        windowsSent(command.text)
        for (var i = 0; i < command.snapshots.length; ++i)
            snapshotDip(command.snapshots[i].ip, command.snapshots[i].on)
        if (layout.kind !== "dock")
            sendAudios(list)
        return list
    }
    function sendAudios(list) {
        var areas = layout.kind === "dock" ? dockrect : (map.audioNormal || [])
        if (areas.length === 0)
            return
        var commands = Geo.audioCommands(list, areas, commandCtx(), function (a) { return ImApi.getPanelIDFromIP(a) })
        for (var i = 0; i < commands.length; ++i)
            ImApi.ServerSetAudios(commands[i].address, commands[i].text)
    }
    function restoreDefaultCuts() { setCut(originalRow, originalCol) }
    function setCut(rows, cols) {
        if (rows > 0 && cols > 0) { cutRow = rows; cutCol = cols; dock = 0; dockrect = [] }
    }
    // "Set layout": 1..7 a dock layout, 0 the grid, -1 full screen, -2 free.
    function setLayout(n) {
        var d = Geo.layoutDock(n, freeEn, fullEn)
        if (d === null)
            return
        setDock(d)
    }
    // `dock` and its layout's rectangles, asked for this wall: the controller answers for the
    // selected wall, and a scene may be for another.
    function setDock(d) {
        dock = d
        var n = PageRules.dockLayoutIndex(d, freeEn, fullEn)
        var rects = []
        if (n >= 0) {
            var selected = ImApi.selPanel
            ImApi.selPanel = panelId
            rects = ImApi.getPanelDockV2(n) || []
            ImApi.selPanel = selected
        }
        dockrect = rects
    }
    // The dock a scene id names, if any: dock number, cut rows and columns, and its layout.
    function applySceneDock(sceneId) {
        var d = PageRules.sceneDock(sceneId)
        if (!d)
            return
        cutRow = d.rows
        cutCol = d.cols
        setDock(d.dock)
    }
    // Entry `index` of the dock list ("default", "free" and "full screen" when enabled, then
    // the dock layouts) is the `dock` value itself.
    function applyDockLayout(index) {
        if (index >= 0)
            setDock(index)
    }

    readonly property alias blockMenuOpen: blockMenu.opened
    function openBlockMenu(key, item, mx, my) {
        blockMenu.key = key
        blockMenu.popup(item, mx, my)
    }

    Component.onCompleted: {
        lastCanvas = { canvasW: canvasW, canvasH: canvasH, band: band }
        ImApi.ServerGetStatus(panelId)
    }

    Menu {
        id: blockMenu
        property int key: -1
        MenuItem { text: ImApi.language("Top"); onTriggered: root.restackBlock(blockMenu.key, "Top") }
        MenuItem { text: ImApi.language("Up"); onTriggered: root.restackBlock(blockMenu.key, "Up") }
        MenuItem { text: ImApi.language("Down"); onTriggered: root.restackBlock(blockMenu.key, "Down") }
        MenuItem { text: ImApi.language("Bottom"); onTriggered: root.restackBlock(blockMenu.key, "Bottom") }
        MenuItem { text: ImApi.language("Full screen"); onTriggered: root.fullScreen(blockMenu.key) }
        MenuItem { text: ImApi.language("Close"); onTriggered: root.closeBlock(blockMenu.key) }
    }

    VX2Fill { look: root.map; multiplierW: root.multiplierW }

    // The banner where the wall shows it.
    Rectangle {
        readonly property var o: root.osdMap
        visible: Number(o.enable) === 1 && String(o.string || "") !== ""
        x: root.egWidth / 2 + (Number(o.x) || 0) * root.canvasW / root.pixWidth
        y: root.egWidth / 2 + (Number(o.y) || 0) * (root.height - root.egWidth) / root.pixHeight
        width: (Number(o.width) || root.pixWidth) * root.canvasW / root.pixWidth
        height: Math.max(1, (Number(o.height) || 0) * (root.height - root.egWidth) / root.pixHeight)
        color: o.bkCol || "#80000000"
        opacity: o.transparent !== undefined ? Math.max(0.1, 1 - Number(o.transparent) / 100) : 1
        z: 2
        Text {
            anchors.fill: parent
            text: parent.o.string || ""
            color: parent.o.fontCol || "white"
            font.pixelSize: Math.max(8, parent.height * 0.6)
            verticalAlignment: Text.AlignVCenter
            horizontalAlignment: Text.AlignHCenter
            elide: Text.ElideRight
        }
    }

    Item {
        id: canvas
        x: root.egWidth / 2
        y: root.egWidth / 2 + root.bandOnScreen
        width: root.canvasW
        height: root.canvasH

        // The screens' edges and the layout's lines.
        Canvas {
            id: lines
            anchors.fill: parent
            readonly property var model: Geo.wallLines({
                kind: root.layout.kind, dock: root.dock, rows: root.row, cols: root.col,
                cutRow: root.cutRow, cutCol: root.cutCol, docks: root.dockrect.map(root.toCanvas),
                refRow: root.refRow, refCol: root.refCol, egMode: root.egMode, refShown: ImApi.flgLine,
                canvasW: root.canvasW, canvasH: root.canvasH })
            onModelChanged: requestPaint()
            function stroke(ctx, l) {
                if (!l.dashed) {
                    ctx.moveTo(l.x1, l.y1)
                    ctx.lineTo(l.x2, l.y2)
                    return
                }
                // Dashes of 5, gaps of 5.
                var len = Math.sqrt(Math.pow(l.x2 - l.x1, 2) + Math.pow(l.y2 - l.y1, 2))
                for (var t = 0; t < len; t += 10) {
                    var a = t / len, b = Math.min(len, t + 5) / len
                    ctx.moveTo(l.x1 + (l.x2 - l.x1) * a, l.y1 + (l.y2 - l.y1) * a)
                    ctx.lineTo(l.x1 + (l.x2 - l.x1) * b, l.y1 + (l.y2 - l.y1) * b)
                }
            }
            onPaint: {
                var ctx = getContext("2d")
                ctx.reset()
                ctx.lineWidth = 1
                ctx.strokeStyle = "#60ffffff"
                ctx.beginPath()
                model.layout.forEach(function (l) { stroke(ctx, l) })
                ctx.stroke()
                ctx.lineWidth = Math.max(root.egWidth, 2)
                ctx.strokeStyle = root.map.egClr || "#a0ffffff"
                ctx.beginPath()
                model.screens.forEach(function (l) { stroke(ctx, l) })
                ctx.stroke()
            }
        }
        // A press on the bare wall selects it; a double click there asks for a background picture.
        MouseArea {
            anchors.fill: parent
            onPressed: root.touched()
            onDoubleClicked: root.chooseBackground()
        }
        Repeater {
            model: root.splitLines
            Rectangle {
                z: 100
                x: Math.min(modelData.x1, modelData.x2)
                y: Math.min(modelData.y1, modelData.y2)
                width: Math.max(1, Math.abs(modelData.x2 - modelData.x1))
                height: Math.max(1, Math.abs(modelData.y2 - modelData.y1))
                color: "#f0c040"
            }
        }
        // Outputs that did not answer their window query: the node monitor's look over them.
        Repeater {
            model: Health.silentOutputs(root.map.nodeRects, ImApi.silentOutputs,
                                        function (ip) { return ImApi.getPanelIDFromIP(ip) === root.panelId })
            NoAnswerCover {
                readonly property var r: modelData.whole ? null : root.toCanvas(modelData)
                objectName: "outputNoAnswer"
                z: 90
                x: r ? r.x : 0
                y: r ? r.y : 0
                width: r ? r.width : canvas.width
                height: r ? r.height : canvas.height
                address: modelData.ip
                fontSize: Math.max(9, 12 * root.multiplierH)
            }
        }
        Repeater {
            model: itemKeys
            VX2Block {
                block: root.blockByKey[model.key] || ({})
                stackZ: Geo.zOf(index)
                wall: root
                multiplierH: root.multiplierH
            }
        }
        DropArea {
            anchors.fill: parent
            keys: ["signal"]
            onDropped: {
                var image = drop.source
                var w = image.width, h = image.height
                root.touched()
                root.dropSignal(Geo.rect(drop.x - w / 2, drop.y - h / 2, w, h), image.signalIndex, image.signalType)
                drop.accept(Qt.MoveAction)
            }
        }
    }
    Rectangle {
        anchors.fill: parent
        color: "transparent"
        border.width: root.focused ? 2 : 0
        border.color: "#f0c040"
    }
}
