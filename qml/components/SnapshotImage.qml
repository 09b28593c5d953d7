import QtQuick 2.15

// A signal's snapshot. On every tick of the window's refresh timer a visible image tells the
// controller that the signal is being looked at (which keeps its stream coming); the picture
// itself is loaded again only when a new one arrived, so an unchanged tile costs nothing.
Image {
    id: root
    property string ip: ""
    property var ticker: typeof mainTimer !== "undefined" ? mainTimer : null

    cache: false
    smooth: true
    fillMode: Image.Stretch

    function refresh() {
        if (!ip || !visible)
            return
        var next = ImApi.getSnapshotSource(ip)
        if (next !== String(source))
            source = next
    }
    Connections {
        target: root.ticker
        function onTriggered() { root.refresh() }
    }
    onIpChanged: refresh()
    onVisibleChanged: refresh()
    Component.onCompleted: refresh()
}
