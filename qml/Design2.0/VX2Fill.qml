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
    radius: look.isIncorner ? (look.cornerTopLeft || 0) * multiplierW : 0
    border.width: value("egWidth") || 0
    border.color: value("egClr") || "transparent"
    opacity: look.trans !== undefined ? look.trans / 100 : 1
    readonly property var oriented: Look.orient(stops, look.gradientRotate)
    // Every designed stop, not only the first and last. A gradient's stop list gives no
    // change notice, so the rectangle takes the gradient again once it is rebuilt.
    function rebuildGradient() {
        if (oriented.stops.length === 0 && fill.stops.length === 0)
            return // a plain fill, as most are: nothing to build or take down
        var made = []
        for (var i = 0; i < oriented.stops.length; ++i)
            made.push(stopComponent.createObject(fill, oriented.stops[i]))
        var old = []
        for (var j = 0; j < fill.stops.length; ++j)
            old.push(fill.stops[j])
        gradient = null
        fill.stops = made
        fill.orientation = oriented.vertical ? Gradient.Vertical : Gradient.Horizontal
        gradient = made.length > 0 ? fill : null
        old.forEach(function (s) { s.destroy() })
    }
    onOrientedChanged: rebuildGradient()
    Component.onCompleted: rebuildGradient()
    Component {
        id: stopComponent
        GradientStop {}
    }
    Gradient {
        id: fill
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
