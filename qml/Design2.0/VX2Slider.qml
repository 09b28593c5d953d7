import QtQuick 2.15
import "../js/DesignLook.js" as Look
import "../js/ControlRules.js" as Rules

// A designed slider: horizontal (sliderType 0), vertical (1) or knob (2). Each value change
// while sending is on fires every "Sliding" entry with the value; refreshes only show it.
Item {
    id: root
    property var map: ({})
    property real multiplierW: 1
    property real multiplierH: 1
    readonly property string designName: map.objectName || ""
    readonly property int mode: map.sliderType || 0
    readonly property real min: map.minValue !== undefined ? map.minValue : 0
    readonly property real max: map.maxValue !== undefined ? map.maxValue : 100
    readonly property real stepValue: map.stepValue || 0
    readonly property real startAngle: map.startAngle !== undefined ? map.startAngle : 270
    readonly property real endAngle: map.endAngle !== undefined ? map.endAngle : 270
    readonly property int rotateDir: map.rotateDir || 0
    readonly property var events: Rules.eventsFor(map.eventAttrList, "Sliding")
    property real value: min
    property bool isSendState: false
    readonly property real position: max > min ? (value - min) / (max - min) : 0

    readonly property var geometry: Look.place(map.globalPos, multiplierW, multiplierH, true)
    x: geometry.x
    y: geometry.y
    width: geometry.width
    height: geometry.height
    visible: map.enableVisible !== false

    // A child's design rectangle relative to the slider, in screen units.
    function local(childMap) {
        var g = childMap && childMap.globalPos
        var own = map.globalPos
        if (!g || !own)
            return { x: 0, y: 0, width: width, height: height }
        return { x: (g.x - own.x) * multiplierW, y: (g.y - own.y) * multiplierH,
                 width: g.width * multiplierW, height: g.height * multiplierH }
    }
    function setValue(v) {
        if (v === value)
            return
        value = v
        if (!isSendState)
            return
        for (var i = 0; i < events.length; ++i)
            ImApi.ServerVX2SliderCmd(designName, events[i], value, 1)
    }
    function refresh(v) {
        var n = Number(v)
        if (!isFinite(n))
            return
        isSendState = false
        value = Rules.clamp(n, min, max)
        isSendState = true
    }
    // "InlineControlSlider": a step up ("1") or down ("0") sent with the first-generation text.
    function step(action, amount) {
        if ((action !== "1" && action !== "0") || !isFinite(Number(amount))) {
            console.warn("slider", designName, "ignores the step", action, amount)
            return
        }
        value = Rules.stepValue(value, action, amount, min, max)
        ImApi.ServerSliderCmd(designName, map.cmd || "", value, 1)
    }
    // A pointer at (px, py) in the slider's own coordinates.
    function pointerAt(px, py) {
        var candidate
        if (mode === 2) {
            var angle = Rules.knobAngle(px - width / 2, py - height / 2)
            var p = Rules.knobPosition(position, angle, startAngle, endAngle, rotateDir)
            if (p === null)
                return
            candidate = min + (max - min) * p
        } else if (mode === 1) {
            candidate = Rules.linearValue(py - track.y, track.height, min, max, true)
        } else {
            candidate = Rules.linearValue(px - track.x, track.width, min, max, false)
        }
        var v = Rules.acceptValue(value, candidate, stepValue, min, max)
        if (v !== null)
            setValue(v)
    }

    Component.onCompleted: {
        if (map.defaultValue !== undefined)
            value = Rules.clamp(map.defaultValue, min, max)
        ImApi.ServerGetStatus(designName)
        isSendState = true
    }

    Item {
        id: track
        readonly property var r: root.local(root.map.bkRectMap)
        x: r.x; y: r.y; width: r.width; height: r.height
        VX2Fill { look: root.map.bkRectMap || ({}); multiplierW: root.multiplierW }
    }
    Item {
        id: handle
        readonly property var r: root.local(root.map.buttonMap)
        readonly property real knobRadius: Math.max(0, Math.min(root.width, root.height) / 2 - Math.max(width, height) / 2)
        readonly property real knobAngle: Rules.knobHandleAngle(root.position, root.startAngle, root.endAngle, root.rotateDir) * Math.PI / 180
        width: r.width
        height: r.height
        x: root.mode === 2 ? root.width / 2 + knobRadius * Math.cos(knobAngle) - width / 2
           : root.mode === 1 ? r.x : track.x + root.position * track.width - width / 2
        y: root.mode === 2 ? root.height / 2 - knobRadius * Math.sin(knobAngle) - height / 2
           : root.mode === 1 ? track.y + (1 - root.position) * track.height - height / 2 : r.y
        VX2Fill {
            look: root.map.buttonMap || ({})
            state_: area.pressed ? "pressed" : "normal"
            multiplierW: root.multiplierW
        }
    }
    Text {
        readonly property var t: root.map.textMap || ({})
        readonly property var r: root.local(t)
        x: r.x; y: r.y; width: r.width; height: r.height
        visible: root.map.showTextLable !== undefined ? !!root.map.showTextLable : t.text !== undefined
        text: root.map.showTextLable ? Rules.valueLabel(root.value, root.min, root.max)
                                     : (String(t.text || "").indexOf(",") >= 0 ? "" : (t.text || ""))
        color: t.clr || "white"
        font.family: t.family || ""
        font.pixelSize: Math.max(1, (t.px || 14) * root.multiplierH)
        horizontalAlignment: (t.alignHor || Qt.AlignHCenter) & (Qt.AlignLeft | Qt.AlignRight | Qt.AlignHCenter)
        verticalAlignment: (t.alignVer || Qt.AlignVCenter) & (Qt.AlignTop | Qt.AlignBottom | Qt.AlignVCenter)
    }
    MouseArea {
        id: area
        anchors.fill: parent
        preventStealing: true
        onPressed: root.pointerAt(mouse.x, mouse.y)
        onPositionChanged: if (pressed) root.pointerAt(mouse.x, mouse.y)
    }
}
