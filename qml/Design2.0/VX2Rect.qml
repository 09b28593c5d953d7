import QtQuick 2.15
import "../js/DesignLook.js" as Look

// A designed rectangle: fill (colour, gradient or picture), border and opacity.
Rectangle {
    id: root
    property var map: ({})
    property real multiplierW: 1
    property real multiplierH: 1
    property string objectNameText: map.objectName || ""
    property string panelId: map.panel_id || ""
    property var toImagePath: function (path) { return path }

    readonly property var geometry: Look.place(map.globalPos, multiplierW, multiplierH, true)
    x: geometry.x
    y: geometry.y
    width: geometry.width
    height: geometry.height
    opacity: map.trans !== undefined ? map.trans / 100 : 1
    radius: map.isIncorner ? (map.cornerTopLeft || 0) * multiplierW : 0
    color: map.isMonoFilled && map.clr ? map.clr : "transparent"
    border.width: map.egWidth || 0
    border.color: map.egClr || "transparent"
    readonly property var stops: Look.stops(map.gradientColor)
    gradient: map.isGradientFilled && stops.length > 0 ? fill : null
    Gradient {
        id: fill
        orientation: (root.map.gradientRotate || 0) === 90 ? Gradient.Vertical : Gradient.Horizontal
        GradientStop { position: 0; color: root.stops.length ? root.stops[0].color : "transparent" }
        GradientStop { position: 1; color: root.stops.length ? root.stops[root.stops.length - 1].color : "transparent" }
    }
    Image {
        anchors.fill: parent
        visible: source != ""
        source: root.map.bkPic ? root.toImagePath(root.map.bkPic) : ""
        fillMode: Image.Stretch
    }
}
