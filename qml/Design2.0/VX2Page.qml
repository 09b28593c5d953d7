import QtQuick 2.15

// A designed page: the host's full size with the page's fill. Items of the page are its
// children; global pages stay under the others.
Item {
    id: root
    property var map: ({})
    property real multiplierW: 1
    property real multiplierH: 1
    readonly property string designName: map.objectName || ""
    readonly property string pageId: map.pageId !== undefined ? String(map.pageId) : ""
    readonly property bool isGlobalPage: !!map.isGlobalPage

    visible: isGlobalPage
    z: isGlobalPage ? 0 : 1

    VX2Fill {
        look: root.map.isNoFilled ? ({}) : root.map
        multiplierW: root.multiplierW
        radius: 0
    }
}
