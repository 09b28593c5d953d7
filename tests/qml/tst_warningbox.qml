import QtQuick 2.15
import QtTest 1.15
import "../../qml/components"

Item {
    width: 800
    height: 600

    WarningBox { id: warning }

    TestCase {
        name: "WarningBox"
        when: windowShown

        function test_flashFadesInHoldsAndFadesOut() {
            warning.flash("Download resource failed, please reload!")
            compare(warning.text, "Download resource failed, please reload!")
            wait(60)
            verify(warning.visible)
            verify(warning.opacity > 0 && warning.opacity < 1, "fading in, opacity " + warning.opacity)
            wait(600)   // inside the 1000 ms hold
            compare(warning.opacity, 1)
            tryCompare(warning, "opacity", 0, 3000)
            verify(!warning.visible)
        }

        function test_persistentWarningStays() {
            warning.showPersistent("stays")
            wait(1800)
            compare(warning.opacity, 1)
            verify(warning.visible)
            warning.flash("replaced")
            tryCompare(warning, "opacity", 0, 3000)
        }
    }
}
