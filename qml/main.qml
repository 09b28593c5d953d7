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
    // Set when the login shows the first page; the next frame on screen is logged.
    property bool firstPagePending: false

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
    // Back to the login page of the cached design.
    function logout() {
        host.clear()
        designLogin.clear()
        contentArea.opacity = 0
        backdrop.visible = true
        main.loggedIn = false
        ImApi.LoadLocalfile()
        loginPage.opacity = 1
    }

    // Every snapshot image of the pages reloads on this tick.
    Timer { id: mainTimer; interval: 50; repeat: true; running: true }

    // The window's dark backdrop, under the login background and under the content, so the
    // letterbox bands around the pages stay dark after the login background is hidden.
    Rectangle {
        id: windowBackdrop
        anchors.fill: parent
        color: "black"
    }

    // The login background.
    Rectangle {
        id: backdrop
        anchors.fill: parent
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
            fontFamily: main.font_f
            translate: main.tr
            dragImage: dragImage
            onLogoutRequested: main.logout()
            onExitRequested: Qt.quit()
            onMinimizeRequested: main.showMinimized()
            onFirstPageShown: {
                console.log("first page shown", pageId, "with", items, "items")
                // Older projects announce the login before their first page.
                if (main.loggedIn)
                    main.firstPagePending = true
            }
        }
        NumberAnimation on opacity { id: contentFadeIn; running: false; from: 0; to: 1; duration: 500 }
    }

    Item {
        id: loginPage
        anchors.fill: parent
        visible: opacity > 0
        NumberAnimation on opacity { id: loginFadeOut; running: false; from: 1; to: 0; duration: 500 }

        function login(user, password, localIp, serverIp, downIp, remember) {
            ImApi.flgRemb = remember
            busy.start()
            ImApi.ServerLogin(user, password, localIp, serverIp, downIp)
        }

        LoginBox {
            id: loginBox
            anchors.centerIn: parent
            visible: !designLogin.active
            fontFamily: main.font_f
            loginEnabled: !main.loginFailed
            translate: main.tr
            onLoginRequested: loginPage.login(user, password, localIp, serverIp, downIp, remember)
        }

        // The cached design's own login page, over the letterboxed content area.
        DesignLogin {
            id: designLogin
            x: contentArea.x
            y: contentArea.y
            width: contentArea.width
            height: contentArea.height
            multiplierW: main.multiplierW
            multiplierH: main.multiplierH
            loginEnabled: !main.loginFailed
            toImagePath: function (path) { return ImApi.toImagePath(path) }
            onLoginRequested: {
                ImApi.vibrate(100)
                loginPage.login(user, password, localIp, serverIp, downIp, remember)
            }
            onQuitRequested: Qt.quit()
        }
        Component { id: loginRect; VX2Rect {} }
        Component { id: loginText; VX2Text {} }
        Component { id: loginButton; VX2Button {} }
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

    // A signal dragged from a list onto a wall.
    DragImage { id: dragImage }

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
            var forms = [loginBox, designLogin]
            for (var i = 0; i < forms.length; ++i) {
                forms[i].localIp = msgMap.localIp || ""
                forms[i].serverIp = msgMap.serverIp || ""
                forms[i].downIp = msgMap.downIp || ""
                forms[i].remember = !!msgMap.flgRemb
                forms[i].username = msgMap.flgRemb ? (msgMap.username || "") : ""
                forms[i].password = msgMap.flgRemb ? (msgMap.password || "") : ""
            }
            loginPage.opacity = 1
            ;(designLogin.active ? designLogin : loginBox).focusFirstEmpty()
        }
        function onCallQmlSetLogin(loginMap) {
            main.letterbox()
            designLogin.applyLook(loginMap)
        }
        function onCallQmlSetLoginVX2InputBox(map) { designLogin.setInputBox(map) }
        function onCallQmlSetLoginVX2Button(map) { designLogin.setButton(map) }
        function onCallQmlCreateVX2Rect(pageId, map) {
            if (pageId === "%LoginWidget%")
                host.registerLoginItem(designLogin.addItem(loginRect, map))
        }
        function onCallQmlCreateVX2Text(pageId, map) {
            if (pageId === "%LoginWidget%")
                host.registerLoginItem(designLogin.addItem(loginText, map))
        }
        function onCallQmlCreateVX2Button(pageId, map) {
            if (pageId === "%LoginWidget%")
                host.registerLoginItem(designLogin.addItem(loginButton, map))
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
            host.panelMenus = sysEN & 7
            // A new project replaces whatever pages an earlier one left.
            if (host.registries.page.length > 0)
                host.clear()
        }
        function onCallQmlLogin(flg) {
            busy.stop()
            if (flg) {
                main.loggedIn = true
                loginFadeOut.start()
                contentFadeIn.start()
                backdrop.visible = false
                host.cropMode = ImApi.mode
                // The login fields give up the keyboard (and their blinking cursor) to the pages.
                host.forceActiveFocus()
                main.firstPagePending = host.currentPage !== null
            } else {
                warning.flash(main.tr("Download resource failed, please reload!"))
            }
        }
        // A new design brings its own canvas size.
        function onWindowSizeChanged() { main.letterbox() }
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
