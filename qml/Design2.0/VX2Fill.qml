import QtQuick 2.15
import "../js/DesignLook.js" as Look

// The designed look of an item's area: colour, gradient or picture, border, corners and
// opacity, each possibly per state ("normal", "hover", "pressed"). Shared by the items.
Rectangle {
    id: root
    property var look: ({})
    property string state_: "normal"
    property real multiplierW: 1
    // Pictures are loaded only while shown, so hidden pages hold no decoded images.
    property bool showPicture: visible

    function value(key) { return Look.stateValue(look[key], state_) }

    anchors.fill: parent
    readonly property bool mono: !!value("isMonoFilled")
    readonly property var stops: value("isGradientFilled") ? Look.stops(value("gradientColor")) : []
    // A fully transparent colour would hide the gradient too.
    color: stops.length > 0 ? stops[0].color : mono ? (value("monoColor") || value("clr") || "transparent") : "transparent"
    gradient: stops.length > 0 ? fill : null
    radius: look.isIncorner ? (look.cornerTopLeft || 0) * multiplierW : 0
    border.width: value("egWidth") || 0
    border.color: value("egClr") || "transparent"
    opacity: look.trans !== undefined ? look.trans / 100 : 1
    Gradient {
        id: fill
        orientation: (root.look.gradientRotate || 0) === 90 ? Gradient.Vertical : Gradient.Horizontal
        GradientStop { position: 0; color: root.stops.length ? root.stops[0].color : "transparent" }
        GradientStop { position: 1; color: root.stops.length ? root.stops[root.stops.length - 1].color : "transparent" }
    }
    Image {
        anchors.fill: parent
        readonly property string picture: root.showPicture ? (root.value("bkPic") || "") : ""
        visible: picture !== ""
        source: picture !== "" ? ImApi.toImagePath(picture) : ""
        asynchronous: false
        fillMode: Image.Stretch
    }
}
