import QtQuick 2.15
import Custom.VX.ffmpeg 1.0
import "../js/HealthRules.js" as Health

// A signal's snapshot, stretched over the tile. While the tile is visible the snapshot
// board asks for its signal on every refresh tick (which keeps its stream coming) and
// hands the tile a picture only when a new one arrived, so an unchanged tile costs nothing.
// On the placeholder it says how long the signal has been silent.
SnapshotView {
    id: view
    readonly property string mark: Health.silence(silentSeconds, delivered)
    Rectangle {
        anchors.centerIn: parent
        width: parent.width
        height: label.height + 4
        visible: view.mark !== ""
        color: "#3c2c08"
        Text {
            id: label
            objectName: "silence"
            anchors.centerIn: parent
            width: parent.width - 4
            visible: text !== ""
            text: view.mark
            color: "#f0c040"
            font.pixelSize: Math.max(8, Math.min(view.height / 6, view.width / 12))
            horizontalAlignment: Text.AlignHCenter
            elide: Text.ElideRight
        }
    }
}
