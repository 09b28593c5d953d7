import QtQuick 2.15
import QtTest 1.15
import "../../qml/components"
import "../../qml/js/OsdRules.js" as Rules

// The on-screen text dialog: which call each subtitle form makes, and what its text form
// sends.
Item {
    id: root
    width: 1280
    height: 900

    OsdDialog { id: dialog }

    TestCase {
        name: "OsdRules"

        // Fields as the dialog's editors hold them: numbers typed as text.
        function typed(form) {
            return { form: form, string: "Breaking news", fontCol: "#ffff00", bkCol: "#000080", x: "100", y: "1200",
                     width: "3840", height: "80", time: "8", move: "right", transparent: true, suspend: false,
                     middle: true, bold: true, fontFamily: "Sans", fontSize: "40" }
        }

        function test_subtitleCall_data() {
            var shown = typed("image")
            var moved = typed("image"); moved.x = "300"; moved.y = "0"
            var retext = typed("image"); retext.string = "Later news"
            return [
                { tag: "text form shows", f: typed("text"), show: true, shown: null, name: "showOSDV2" },
                { tag: "a first picture is rendered", f: typed("image"), show: true, shown: null, name: "makeOSDImage" },
                { tag: "a moved picture is shown again", f: moved, show: true, shown: shown, name: "showOSD" },
                { tag: "a new text is a new picture", f: retext, show: true, shown: shown, name: "makeOSDImage" },
                { tag: "picture form closes", f: typed("image"), show: false, shown: shown, name: "closeOSD" }
            ]
        }
        function test_subtitleCall(data) {
            compare(Rules.subtitleCall(data.f, data.show, data.shown).name, data.name)
        }
    }

    TestCase {
        name: "OsdDialog"
        when: windowShown

        function init() {
            ImApi.reset()
            dialog.close()
        }
        function set(name, text) { findChild(dialog, name).text = text }
        function click(name) { mouseClick(findChild(dialog, name)) }

        function test_textFormIsShownAndClosed() {
            dialog.open("1", {}, 3840)
            set("osdString", "Welcome")
            set("osdY", "1100")
            findChild(dialog, "osdBold").checked = true
            click("osdShow")
            click("osdHide")
            var expected = { string: "Welcome", fontCol: "#ffffff", x: 0, y: 1100, height: 60, bkCol: "#000000", transparent: false,
                             move: "left", time: 5, suspend: false, width: 3840, bold: true, fontSize: 32 }
            compare(ImApi.named("showOSDV2"), [[expected]])
            compare(ImApi.named("closeOSDV2"), [[expected]])
        }
    }
}
