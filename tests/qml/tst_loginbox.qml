import QtQuick 2.15
import QtTest 1.15
import "../../qml/components"

Item {
    width: 800
    height: 600

    LoginBox { id: box; anchors.centerIn: parent }

    SignalSpy { id: spy; target: box; signalName: "loginRequested" }

    TestCase {
        name: "LoginBox"
        when: windowShown

        function findChildNamed(item, name) {
            if (item.objectName === name)
                return item
            for (var i = 0; i < item.children.length; ++i) {
                var found = findChildNamed(item.children[i], name)
                if (found)
                    return found
            }
            return null
        }

        function init() {
            spy.clear()
            box.loginEnabled = true
            box.username = "admin"
            box.password = ""
            box.localIp = "10.77.1.1"
            box.serverIp = ""
            box.downIp = "10.77.1.2"
            box.remember = true
        }

        function test_enterInPasswordLogsIn() {
            var password = findChildNamed(box, "passwordField")
            verify(password)
            password.forceActiveFocus()
            keyClick(Qt.Key_4)
            keyClick(Qt.Key_2)
            keyClick(Qt.Key_Return)
            compare(spy.count, 1)
            compare(spy.signalArguments[0][0], "admin")
            compare(spy.signalArguments[0][1], "42")
            compare(spy.signalArguments[0][2], "10.77.1.1")
            compare(spy.signalArguments[0][3], "")
            compare(spy.signalArguments[0][4], "10.77.1.2")
            compare(spy.signalArguments[0][5], true)
        }

        function test_buttonLogsInWithRememberState() {
            box.remember = false
            var button = findChildNamed(box, "loginButton")
            mouseClick(button)
            compare(spy.count, 1)
            compare(spy.signalArguments[0][5], false)
        }

        function test_disabledLoginSendsNothing() {
            box.loginEnabled = false
            mouseClick(findChildNamed(box, "loginButton"))
            findChildNamed(box, "passwordField").forceActiveFocus()
            keyClick(Qt.Key_Return)
            compare(spy.count, 0)
        }

        function test_passwordIsMasked() {
            compare(findChildNamed(box, "passwordField").echoMode, TextInput.Password)
        }
    }
}
