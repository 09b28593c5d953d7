import QtQuick 2.15

// A designed data docker: its caption and the last value its listener reported.
VX2Placeholder {
    id: root
    roundGeometry: true
    look: map.bkRectMap || map
    property var value: undefined
    // Shown only while visible: a value arriving for a hidden page draws no frame.
    caption: (map.textMap && map.textMap.text ? map.textMap.text : "") + (visible && value !== undefined ? " " + value : "")
    function showValue(v) { value = v }
}
