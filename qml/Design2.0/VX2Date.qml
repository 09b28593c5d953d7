import QtQuick 2.15

// A designed clock text in the design's date format, refreshed once a second.
VX2Text {
    id: root
    readonly property string format: map.dateFormat || "yyyy-MM-dd hh:mm:ss"
    function update() { text = Qt.formatDateTime(new Date(), format) }
    Timer { interval: 1000; repeat: true; running: root.visible; triggeredOnStart: true; onTriggered: root.update() }
}
