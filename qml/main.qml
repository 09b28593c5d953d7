import QtQuick 2.15
import QtQuick.Window 2.15
import QtQuick.Controls 2.15
import "components"
import "Design2.0"
import "js/Letterbox.js" as Letterbox

Window {
    id: main
    property string font_f: "微软雅黑"
    property string design: "2.0"
    property real multiplierW: 1
    property real multiplierH: 1
    property bool loginFailed: false
    property bool loggedIn: false

    x: 0
    y: 0
    width: Screen.width
    height: Screen.height + 2
    flags: Qt.Window | Qt.FramelessWindowHint
    title: "KORA"
    color: "white"
    visible: true

    function letterbox() {
        var size = ImApi.windowSize
        var fit = Letterbox.fit(main.width, main.height, size.width, size.height)
        contentArea.x = fit.x
        contentArea.y = fit.y
        contentArea.width = fit.width
        contentArea.height = fit.height
        main.multiplierW = fit.multiplierW
        main.multiplierH = fit.multiplierH
    }
    function tr(text) { return ImApi.language(text) }

    // Every snapshot image of the pages reloads on this tick.
    Timer { id: mainTimer; interval: 50; repeat: true; running: true }

    Rectangle {
        id: backdrop
        anchors.fill: parent
        color: "black"
        gradient: Gradient {
            GradientStop { position: 0.0; color: "#10161f" }
            GradientStop { position: 1.0; color: "#04070b" }
        }
    }

    Item {
        id: contentArea
        opacity: 0
        Content {
            id: host
            anchors.fill: parent
            multiplierW: main.multiplierW
            multiplierH: main.multiplierH
        }
        NumberAnimation on opacity { id: contentFadeIn; running: false; from: 0; to: 1; duration: 500 }
    }

    Item {
        id: loginPage
        anchors.fill: parent
        visible: opacity > 0
        NumberAnimation on opacity { id: loginFadeOut; running: false; from: 1; to: 0; duration: 500 }

        LoginBox {
            id: loginBox
            anchors.centerIn: parent
            fontFamily: main.font_f
            loginEnabled: !main.loginFailed
            translate: main.tr
            onLoginRequested: {
                ImApi.flgRemb = remember
                busy.start()
                ImApi.ServerLogin(user, password, localIp, serverIp, downIp)
            }
        }
    }

    Text {
        id: versionText
        x: 5
        y: 5
        visible: loginPage.visible
        text: ImApi.version
        color: "#8a96a8"
        font.family: main.font_f
        font.pixelSize: 14
        MouseArea {
            anchors.fill: parent
            onDoubleClicked: {
                if (ImApi.clearCache())
                    Qt.quit()
            }
        }
    }

    WarningBox {
        id: warning
        anchors.horizontalCenter: parent.horizontalCenter
        y: parent.height * 0.12
        fontFamily: main.font_f
        z: 10
    }

    BusyOverlay {
        id: busy
        anchors.fill: parent
        fontFamily: main.font_f
        z: 20
    }

    Connections {
        target: ImApi
        function onCallQmlLastMsg(msgMap) {
            loginBox.localIp = msgMap.localIp || ""
            loginBox.serverIp = msgMap.serverIp || ""
            loginBox.downIp = msgMap.downIp || ""
            loginBox.remember = !!msgMap.flgRemb
            loginBox.username = msgMap.flgRemb ? (msgMap.username || "") : ""
            loginBox.password = msgMap.flgRemb ? (msgMap.password || "") : ""
            loginPage.opacity = 1
            loginBox.focusFirstEmpty()
        }
        function onCallDownProgress(filename, percent) {
            busy.fileName = filename
            busy.percent = percent
        }
        function onCallQmlLoad(flg, sysEN) {
            if (!flg) {
                main.loginFailed = true
                warning.showPersistent(main.tr("Download resource failed, please reload!"))
            }
            main.letterbox()
        }
        function onCallQmlLogin(flg) {
            busy.stop()
            if (flg) {
                main.loggedIn = true
                loginFadeOut.start()
                contentFadeIn.start()
                backdrop.visible = false
            } else {
                warning.flash(main.tr("Download resource failed, please reload!"))
            }
        }
        function onCallLoginMsgError(msg) {
            busy.stop()
            warning.flash(msg)
        }
    }

    onWidthChanged: letterbox()
    onHeightChanged: letterbox()

    Component.onCompleted: {
        if (ImApi.system !== 0)
            main.showFullScreen()
        if (ImApi.windowFlag === 1)
            main.flags = Qt.Window
        letterbox()
        console.log("main window complete")
        ImApi.LoadLocalfile()
    }
}
