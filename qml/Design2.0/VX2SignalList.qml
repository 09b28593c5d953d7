import QtQuick 2.15
import "../js/DesignLook.js" as Look

// A designed signal list: the signals of one group as tiles with their names. Dragging along
// the list scrolls it (isDragSlide); leaving it sideways drags the signal onto a wall.
Item {
    id: root
    property var map: ({})
    property real multiplierW: 1
    property real multiplierH: 1
    property var dragImage: null
    readonly property string designName: map.objectName || ""
    readonly property bool vertical: map.direction === 1
    readonly property int winNum: map.winNum > 0 ? map.winNum : 5
    readonly property real space: map.space !== undefined ? map.space : 5
    readonly property bool dragEn: map.dragEn !== 0
    readonly property bool isDragSlide: !!map.isDragSlide
    property string currentGroup: ""
    property string scenePanel: map.scenePanel !== undefined ? String(map.scenePanel) : ""
    // Cells: {index, type}, type 0 a signal, 1 a mosaic.
    property var cells: []
    // The list of cells, made the first time the list is shown: lists of hidden pages cost
    // nothing.
    readonly property var list: loader.item

    signal cellClicked(int index, int type)
    // A single signal's settings asked for, with what the design lets them offer.
    signal cellDoubleClicked(int index, string address, var switches)
    function switches() {
        return { isEnableLogoSetting: !!map.isEnableLogoSetting, isEnableSignalControl: !!map.isEnableSignalControl,
                 isEnableSignalClipping: !!map.isEnableSignalClipping, isEnableSignalMark: !!map.isEnableSignalMark }
    }

    readonly property var geometry: Look.place(map.globalPos, multiplierW, multiplierH, false)
    x: geometry.x
    y: geometry.y
    width: geometry.width
    height: geometry.height

    function showGroupNumber(n) {
        var name = /^[0-9]+$/.test(String(n)) ? ImApi.getSignalGroupName(Number(n)) : ""
        if (name === "")
            console.log("signal list", designName + ": no signal group", n)
        else
            showGroup(name)
    }
    function showGroup(group) {
        var name = String(group)
        var found = ImApi.getSignalNumByName(name) || []
        cells = found.map(function (e) {
            return typeof e === "object" ? { index: Number(e.index), type: Number(e.type) } : { index: Number(e), type: 0 }
        })
        currentGroup = name
    }
    function reload() { showGroup(currentGroup) }
    function search(text) {
        var found = ImApi.searchSignalOfGroup(currentGroup, text) || []
        cells = found.map(function (i) { return { index: Number(i), type: 0 } })
    }
    // The list back within its ends after a slide.
    function settleScroll() {
        var view = loader.item
        if (!view)
            return
        if (vertical)
            view.contentY = Math.max(0, Math.min(view.contentY, view.contentHeight - view.height))
        else
            view.contentX = Math.max(0, Math.min(view.contentX, view.contentWidth - view.width))
    }

    // The first linked group the user's role may use.
    Component.onCompleted: {
        var groups = map.linkedGroup || []
        for (var i = 0; i < groups.length; ++i) {
            if (ImApi.checkSignalPermission(groups[i])) {
                showGroup(groups[i])
                return
            }
        }
    }

    VX2Fill { look: root.map; multiplierW: root.multiplierW }
    Loader {
        id: loader
        anchors.fill: parent
        active: root.visible || status === Loader.Ready
        sourceComponent: cellList
    }
    Component {
        id: cellList
        ListView {
            id: view
            clip: true
            interactive: false // it moves only as the cells' pointer rules say
            orientation: root.vertical ? ListView.Vertical : ListView.Horizontal
            spacing: root.space
            model: root.cells
            delegate: VX2Signal {
                list: root
                cell: modelData
                width: root.vertical ? root.multiplierW * ((root.map.bkRect || {}).globalPos || { width: 100 }).width
                                     : view.width / root.winNum - root.space
                height: root.vertical ? view.height / root.winNum - root.space
                                      : root.multiplierH * ((root.map.bkRect || {}).globalPos || { height: 100 }).height
            }
        }
    }
}
