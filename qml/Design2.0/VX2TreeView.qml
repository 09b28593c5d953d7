import QtQuick 2.15
import "../js/DesignLook.js" as Look

// A designed signal tree: the user's permitted groups as titles that open and close, their
// signals and mosaics below; a signal pulled sideways out of the tree is dragged onto a wall.
Item {
    id: root
    property var map: ({})
    property real multiplierW: 1
    property real multiplierH: 1
    property var dragImage: null
    readonly property string designName: map.objectName || ""
    property var treeModel: map.treeModel || []
    property var open: ({})
    // The visible rows: {title, text, group} for a title, {text, index, type} for a member.
    readonly property var rows: flatten(treeModel, open)
    readonly property real rowHeight: Math.max(20, 44 * multiplierH)

    // A signal's settings asked for (a double click on a signal row), as a signal list asks.
    signal cellDoubleClicked(int index, string address, var switches)
    function switches() {
        return { isEnableLogoSetting: !!map.isEnableLogoSetting, isEnableSignalControl: !!map.isEnableSignalControl,
                 isEnableSignalClipping: !!map.isEnableSignalClipping, isEnableSignalMark: !!map.isEnableSignalMark }
    }

    readonly property var geometry: Look.place(map.globalPos, multiplierW, multiplierH, true)
    x: geometry.x
    y: geometry.y
    width: geometry.width
    height: geometry.height

    function flatten(model, opened) {
        var out = []
        for (var i = 0; i < model.length; ++i) {
            var top = model[i]
            out.push({ title: true, text: top.text, group: i })
            if (!opened[i])
                continue
            var subs = top.subnodes || []
            for (var j = 0; j < subs.length; ++j)
                out.push({ title: false, text: subs[j].text, index: subs[j].index, type: subs[j].type })
        }
        return out
    }
    function toggle(group) {
        var o = {}
        for (var k in open)
            o[k] = open[k]
        o[group] = !o[group]
        open = o
    }
    // The favourites' top node takes the starred signals.
    function setFavourites(nodes) {
        var model = treeModel.slice()
        for (var i = 0; i < model.length; ++i) {
            if (model[i].text === "收藏") {
                var node = {}
                for (var k in model[i])
                    node[k] = model[i][k]
                node.subnodes = nodes
                model[i] = node
            }
        }
        treeModel = model
    }
    function refresh() { treeModel = ImApi.serverRefreshTreeModel(treeModel) }

    VX2Fill { look: root.map; multiplierW: root.multiplierW }
    // The rows' list is made the first time the tree is shown: trees of hidden pages cost
    // nothing.
    Loader {
        anchors.fill: parent
        anchors.margins: 4
        active: root.visible || status === Loader.Ready
        sourceComponent: rowList
    }
    Component {
        id: rowList
        ListView {
            id: view
            clip: true
            model: root.rows
            delegate: Item {
                id: row
                width: view.width
                height: root.rowHeight
                property bool dragging: false
                Rectangle {
                    anchors.fill: parent
                    color: area.pressed && !modelData.title ? (root.map.selectedBGColor || "#2f7fc1") : "transparent"
                }
                Text {
                    anchors.fill: parent
                    anchors.leftMargin: modelData.title ? 8 : 28
                    verticalAlignment: Text.AlignVCenter
                    text: (modelData.title ? (root.open[modelData.group] ? "▾ " : "▸ ") : "") + modelData.text
                    color: root.map.textColor || "white"
                    font.family: root.map.family || ""
                    font.pixelSize: Math.max(9, (root.map.px || 16) * root.multiplierH)
                    font.bold: modelData.title
                    elide: Text.ElideRight
                }
                MouseArea {
                    id: area
                    anchors.fill: parent
                    preventStealing: row.dragging
                    onClicked: if (modelData.title) root.toggle(modelData.group)
                    // Only single signals have settings; mosaics do not react.
                    onDoubleClicked: {
                        if (!modelData.title && modelData.type === 0)
                            root.cellDoubleClicked(modelData.index, ImApi.getSignalMsg(modelData.index).ip || "", root.switches())
                    }
                    onPositionChanged: {
                        if (modelData.title || !root.dragImage)
                            return
                        if (!row.dragging && mouse.x >= -2 && mouse.x <= width + 2)
                            return
                        var w = mapToItem(null, mouse.x, mouse.y)
                        if (!row.dragging) {
                            row.dragging = true
                            var m = modelData.type === 1 ? ImApi.getMultiSignalMsg(modelData.index) : ({ row: 1, col: 1 })
                            root.dragImage.begin(modelData.index, modelData.type, m.row || 1, m.col || 1, modelData.text,
                                                 160 * root.multiplierW * (m.col || 1), 90 * root.multiplierH * (m.row || 1))
                        }
                        root.dragImage.moveTo(w.x, w.y)
                    }
                    onReleased: if (row.dragging) { row.dragging = false; root.dragImage.finish() }
                    onCanceled: if (row.dragging) { row.dragging = false; root.dragImage.cancel() }
                }
            }
        }
    }
}
