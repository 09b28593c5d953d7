import QtQuick 2.15

// Host of the designed pages. Pages are created here once a project is loaded.
Item {
    id: content
    property real multiplierW: 1
    property real multiplierH: 1
    function clear() {}
}
