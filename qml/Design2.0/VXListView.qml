import QtQuick 2.15
import "../js/DesignLook.js" as Look
import "../js/DialogRules.js" as Rules

// A designed list view: one row per entry, the chosen one highlighted. A list that switches
// pages lists the user's pages and a click selects that page (the page host does it); any
// other list lists its group names, and a design command may choose one of them.
Item {
    id: root
    property var map: ({})
    property real multiplierW: 1
    property real multiplierH: 1
    readonly property string designName: String(Rules.value(map, "uuid") || map.objectName || "")
    readonly property bool pageSwitch: Rules.on(Rules.value(map, "pageSwitch"))
    readonly property var look: Rules.value(map, "bkRect") || map
    property var entries: Rules.listEntries(map, pageSwitch ? ImApi.pageNames() : [])
    property int current: -1
    property string group: ""
    readonly property real itemH: Math.max(16, (Number(Rules.value(map, "itemH")) || 40) * multiplierH)
    readonly property real itemOffset: (Number(Rules.value(map, "itemOffset")) || 0) * multiplierH
    readonly property real scrollW: (Number(Rules.value(map, "scrollW")) || 0) * multiplierH

    signal pageChosen(int index)

    readonly property var geometry: Look.place(map.globalPos || look.globalPos, multiplierW, multiplierH, false)
    x: geometry.x
    y: geometry.y
    width: geometry.width
    height: geometry.height

    function choose(index) {
        if (index < 0 || index >= entries.length)
            return
        current = index
        if (pageSwitch)
            pageChosen(index)
    }
    // A design command's group: the entry of that name or number is marked.
    function showGroup(g) {
        group = String(g)
        current = Rules.entryIndex(entries, group)
    }
    // The user's pages again (after a new login).
    function reload() { entries = Rules.listEntries(map, pageSwitch ? ImApi.pageNames() : []) }

    VX2Fill { look: root.look; multiplierW: root.multiplierW }
    ListView {
        id: list
        anchors.fill: parent
        anchors.margins: Number(Rules.value(root.map, "egWidth")) || 0
        anchors.rightMargin: anchors.margins + root.scrollW
        clip: true
        spacing: root.itemOffset
        model: root.entries
        boundsBehavior: Flickable.StopAtBounds
        delegate: Item {
            objectName: "listEntry" + index
            width: ListView.view.width
            height: root.itemH
            readonly property bool chosen: index === root.current
            Rectangle {
                anchors.fill: parent
                visible: parent.chosen
                color: Rules.value(root.map, "clr") || "#2f7fc1"
                opacity: Rules.value(root.map, "selTrans") !== undefined ? Number(Rules.value(root.map, "selTrans")) / 100 : 1
            }
            Text {
                anchors.fill: parent
                anchors.leftMargin: 8
                verticalAlignment: Text.AlignVCenter
                text: modelData
                elide: Text.ElideRight
                font.pixelSize: Math.max(8, parent.height * 0.45)
                color: parent.chosen ? (Rules.value(root.map, "selTextClr") || "white") : (Rules.value(root.map, "textClr") || "#dbe4ee")
            }
            MouseArea { anchors.fill: parent; onClicked: root.choose(index) }
        }
    }
    Rectangle {
        visible: root.scrollW > 0 && list.contentHeight > list.height
        x: root.width - width
        width: root.scrollW
        y: list.contentHeight > 0 ? list.y + list.height * list.contentY / list.contentHeight : 0
        height: list.contentHeight > 0 ? list.height * list.height / list.contentHeight : 0
        color: Rules.value(root.map, "scrollClr") || "#3d6185"
        opacity: Rules.value(root.map, "scrollTrans") !== undefined ? Number(Rules.value(root.map, "scrollTrans")) / 100 : 1
    }
}
