import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15

// The built-in login box: account, the three addresses and the remember box.
Rectangle {
    id: root
    property string fontFamily: ""
    property bool loginEnabled: true
    property alias username: userField.text
    property alias password: passwordField.text
    property alias localIp: localField.text
    property alias serverIp: serverField.text
    property alias downIp: downField.text
    property alias remember: rememberBox.checked
    property var translate: function (text) { return text }

    signal loginRequested(string user, string password, string localIp, string serverIp,
                          string downIp, bool remember)

    function requestLogin() {
        if (!loginEnabled)
            return
        loginRequested(userField.text, passwordField.text, localField.text, serverField.text,
                       downField.text, rememberBox.checked)
    }
    function focusFirstEmpty() {
        (userField.text.length === 0 ? userField : passwordField).forceActiveFocus()
    }

    width: 420
    height: layout.implicitHeight + 48
    radius: 10
    color: "#f0222833"
    border.color: "#3c4656"

    ColumnLayout {
        id: layout
        anchors.fill: parent
        anchors.margins: 24
        spacing: 10

        Text {
            Layout.alignment: Qt.AlignHCenter
            text: "KORA"
            color: "white"
            font.family: root.fontFamily
            font.pixelSize: 28
            font.bold: true
        }
        component Field: TextField {
            Layout.fillWidth: true
            font.family: root.fontFamily
            selectByMouse: true
        }
        Field { id: userField; objectName: "userField"; placeholderText: root.translate("User") }
        Field {
            id: passwordField
            objectName: "passwordField"
            placeholderText: root.translate("Password")
            echoMode: TextInput.Password
            onAccepted: root.requestLogin()
        }
        Field { id: localField; objectName: "localField"; placeholderText: root.translate("Local address") }
        Field { id: serverField; objectName: "serverField"; placeholderText: root.translate("Server address") }
        Field { id: downField; objectName: "downField"; placeholderText: root.translate("Download address") }
        CheckBox {
            id: rememberBox
            objectName: "rememberBox"
            text: root.translate("Remember")
            font.family: root.fontFamily
        }
        Button {
            id: loginButton
            objectName: "loginButton"
            Layout.fillWidth: true
            text: root.translate("Login")
            font.family: root.fontFamily
            enabled: root.loginEnabled
            highlighted: true
            onClicked: root.requestLogin()
        }
    }
}
