import QtQuick 2.15
import QtQuick.Window 2.15

Window {
    width: Screen.width
    height: Screen.height
    visible: true
    color: "black"
    Text { anchors.centerIn: parent; text: "baseline"; color: "white" }
}
