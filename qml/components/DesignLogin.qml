import QtQuick 2.15
import "../Design2.0"
import "../js/DesignLook.js" as Look

// The login page of the cached design: its fill, its input boxes and buttons (found by
// their "label"), and its own rectangles and texts. Hidden until a design provides a look.
Item {
    id: root
    property real multiplierW: 1
    property real multiplierH: 1
    property bool active: false
    property bool loginEnabled: true
    property var look: ({})
    property var toImagePath: function (path) { return path }
    property alias username: userField.text
    property alias password: passwordField.text
    property alias localIp: hostField.text
    property alias serverIp: serverField.text
    property alias downIp: downField.text
    property alias remember: rememberButton.checked

    signal loginRequested(string user, string password, string localIp, string serverIp,
                          string downIp, bool remember)
    signal quitRequested()

    visible: active
    clip: true

    function applyLook(map) {
        look = map
        active = true
    }
    function setInputBox(map) {
        var field = { UserInputBox: userField, PasswordInputBox: passwordField, HostIPInputBox: hostField,
                      ServerIPInputBox: serverField, DownloadInputBox: downField }[map.label]
        if (field)
            field.map = map
    }
    function setButton(map) {
        var button = { YesBtn: yesButton, QuitBtn: quitButton, RememberBtn: rememberButton }[map.label]
        if (button)
            button.map = map
    }
    function addItem(component, map) {
        var item = component.createObject(decorations, { map: map, multiplierW: Qt.binding(function () { return root.multiplierW }),
                                                         multiplierH: Qt.binding(function () { return root.multiplierH }) })
        if (item && item.toImagePath !== undefined)
            item.toImagePath = root.toImagePath
        return item
    }
    function clear() {
        for (var i = decorations.children.length - 1; i >= 0; --i)
            decorations.children[i].destroy()
        active = false
    }
    function requestLogin() {
        if (loginEnabled)
            loginRequested(userField.text, passwordField.text, hostField.text, serverField.text, downField.text, rememberButton.checked)
    }
    function focusFirstEmpty() {
        (userField.text.length === 0 ? userField : passwordField).forceActiveFocus()
    }

    Rectangle {
        id: backgroundFill
        anchors.fill: parent
        readonly property var stops: Look.stops(root.look.gradientColor)
        // A fully transparent colour would hide the gradient too.
        color: root.look.isGradientFilled && stops.length > 0 ? stops[0].color
               : root.look.isMonoFilled && root.look.monoColor ? root.look.monoColor : "transparent"
        gradient: root.look.isGradientFilled && stops.length > 0 ? fill : null
        Gradient {
            id: fill
            GradientStop { position: 0; color: backgroundFill.stops.length ? backgroundFill.stops[0].color : "transparent" }
            GradientStop {
                position: 1
                color: backgroundFill.stops.length ? backgroundFill.stops[backgroundFill.stops.length - 1].color : "transparent"
            }
        }
    }
    Image {
        anchors.fill: parent
        visible: source != ""
        source: root.look.bkPic ? root.toImagePath(root.look.bkPic) : ""
    }

    Item { id: decorations; anchors.fill: parent }

    DesignLoginField { id: userField; objectName: "designUserField"; multiplierW: root.multiplierW; multiplierH: root.multiplierH }
    DesignLoginField {
        id: passwordField
        objectName: "designPasswordField"
        multiplierW: root.multiplierW
        multiplierH: root.multiplierH
        onAccepted: root.requestLogin()
    }
    DesignLoginField { id: hostField; multiplierW: root.multiplierW; multiplierH: root.multiplierH }
    DesignLoginField { id: serverField; multiplierW: root.multiplierW; multiplierH: root.multiplierH }
    DesignLoginField { id: downField; multiplierW: root.multiplierW; multiplierH: root.multiplierH }
    DesignLoginButton {
        id: yesButton
        multiplierW: root.multiplierW
        multiplierH: root.multiplierH
        toImagePath: root.toImagePath
        opacity: root.loginEnabled ? 1 : 0.4
        onClicked: root.requestLogin()
    }
    DesignLoginButton {
        id: quitButton
        multiplierW: root.multiplierW
        multiplierH: root.multiplierH
        toImagePath: root.toImagePath
        onClicked: root.quitRequested()
    }
    DesignLoginButton {
        id: rememberButton
        multiplierW: root.multiplierW
        multiplierH: root.multiplierH
        toImagePath: root.toImagePath
        onClicked: checked = !checked
    }
}
