import QtQuick 2.15
import QtTest 1.15
import "../../qml/components"
import "../../qml/js/DesignLook.js" as Look

Item {
    width: 960
    height: 540

    DesignLogin { id: login; anchors.fill: parent; multiplierW: 0.5; multiplierH: 0.5 }

    SignalSpy { id: spy; target: login; signalName: "loginRequested" }
    SignalSpy { id: quitSpy; target: login; signalName: "quitRequested" }

    function box(label, x, y, extra) {
        var map = { label: label, globalPos: { x: x, y: y, width: 360, height: 44 }, enableVisible: true }
        for (var k in extra)
            map[k] = extra[k]
        return map
    }

    TestCase {
        name: "DesignLogin"
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

        function test_placementAndStates_data() {
            return [
                { tag: "scaled, rounded", pos: { x: 861, y: 401, width: 361, height: 45 }, round: true,
                  expected: { x: 431, y: 201, width: 181, height: 23 } },
                { tag: "fractions kept", pos: { x: 861, y: 401, width: 361, height: 45 }, round: false,
                  expected: { x: 430.5, y: 200.5, width: 180.5, height: 22.5 } },
                { tag: "no geometry", pos: undefined, round: true, expected: { x: 0, y: 0, width: 0, height: 0 } },
            ]
        }
        function test_placementAndStates(data) {
            compare(Look.place(data.pos, 0.5, 0.5, data.round), data.expected)
        }

        function test_stateValues() {
            var text = { normal: "Log in", hover: "Hover", pressed: "Pressed" }
            compare(Look.stateValue(text, "pressed"), "Pressed")
            compare(Look.stateValue({ normal: "n" }, "hover"), "n")
            compare(Look.stateValue("plain", "pressed"), "plain")
            compare(Look.stops([{ QColor: "#222222", qreal: 1 }, { QColor: "#111111", qreal: 0 }]),
                    [{ color: "#111111", position: 0 }, { color: "#222222", position: 1 }])
            compare(Look.stops("not a list"), [])
        }

        function test_orient_data() {
            var three = [{ color: "#010101", position: 0 }, { color: "#020202", position: 0.7 }, { color: "#030303", position: 1 }]
            return [
                { tag: "0 left to right", rotate: 0, vertical: false, colours: ["#010101", "#020202", "#030303"], positions: [0, 0.7, 1] },
                { tag: "90 top to bottom", rotate: 90, vertical: true, colours: ["#010101", "#020202", "#030303"], positions: [0, 0.7, 1] },
                { tag: "180 right to left", rotate: 180, vertical: false, colours: ["#030303", "#020202", "#010101"], positions: [0, 0.3, 1] },
                { tag: "270 bottom to top", rotate: 270, vertical: true, colours: ["#030303", "#020202", "#010101"], positions: [0, 0.3, 1] },
                { tag: "-90 is 270", rotate: -90, vertical: true, colours: ["#030303", "#020202", "#010101"], positions: [0, 0.3, 1] },
                { tag: "100 is nearest 90", rotate: 100, vertical: true, colours: ["#010101", "#020202", "#030303"], positions: [0, 0.7, 1] },
                { tag: "missing is 0", rotate: undefined, vertical: false, colours: ["#010101", "#020202", "#030303"], positions: [0, 0.7, 1] },
            ].map(function (row) { row.stops = three; return row })
        }
        function test_orient(data) {
            var o = Look.orient(data.stops, data.rotate)
            compare(o.vertical, data.vertical)
            compare(o.stops.map(function (s) { return s.color }), data.colours)
            for (var i = 0; i < data.positions.length; ++i)
                fuzzyCompare(o.stops[i].position, data.positions[i], 1e-9)
        }

        function test_fieldsByLabelAndLogin() {
            login.clear()
            verify(!login.visible) // nothing of a design until its look arrives
            login.applyLook({ isMonoFilled: true, monoColor: "#0b1e33" })
            verify(login.visible)
            login.setInputBox(box("UserInputBox", 860, 400, {}))
            login.setInputBox(box("PasswordInputBox", 860, 460, { isPasswdMode: true }))
            login.setInputBox(box("ServerIPInputBox", 860, 520, { enableVisible: false }))
            login.setInputBox(box("NoSuchBox", 0, 0, {})) // ignored
            var user = findChildNamed(login, "designUserField")
            var password = findChildNamed(login, "designPasswordField")
            compare(user.x, 430)
            compare(user.y, 200)
            compare(password.echoMode, TextInput.Password)
            login.username = "operator"
            login.serverIp = "10.0.0.5"
            password.forceActiveFocus()
            keyClick(Qt.Key_4)
            keyClick(Qt.Key_2)
            keyClick(Qt.Key_Return)
            compare(spy.count, 1)
            compare(spy.signalArguments[0][0], "operator")
            compare(spy.signalArguments[0][1], "42")
            compare(spy.signalArguments[0][3], "10.0.0.5") // a hidden field still carries its value
            login.loginEnabled = false
            keyClick(Qt.Key_Return)
            compare(spy.count, 1) // a failed download keeps the login refused
        }

        function test_buttons() {
            login.applyLook({})
            login.loginEnabled = true
            login.setButton({ label: "QuitBtn", globalPos: { x: 0, y: 0, width: 100, height: 40 } })
            login.setButton({ label: "RememberBtn", globalPos: { x: 200, y: 0, width: 100, height: 40 } })
            login.remember = false
            mouseClick(login, 125, 10) // the remember button at design 200..300 -> 100..150
            verify(login.remember)
            mouseClick(login, 25, 10)
            compare(quitSpy.count, 1)
        }
    }
}
