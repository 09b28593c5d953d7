import QtQuick 2.15
import QtTest 1.15
import "../../qml/Design2.0"
import "../../qml/components"
import "../../qml/js/OsdRules.js" as Rules

// The on-screen text dialog: the maps of both subtitle forms and of the input label, and the
// wall tool that opens it with the wall's subtitle state.
Item {
    id: root
    width: 1280
    height: 900

    OsdDialog { id: dialog }
    Content { id: host; anchors.fill: parent }

    TestCase {
        name: "OsdRules"

        // Fields as the dialog's editors hold them: numbers typed as text.
        function typed(form) {
            return { form: form, string: "Breaking news", fontCol: "#ffff00", bkCol: "#000080", x: "100", y: "1200",
                     width: "3840", height: "80", time: "8", move: "right", transparent: true, suspend: false,
                     middle: true, bold: true, fontFamily: "Sans", fontSize: "40" }
        }

        function test_textFormMap() {
            compare(Rules.textMap(typed("text")),
                    { string: "Breaking news", fontCol: "#ffff00", x: 100, y: 1200, height: 80, bkCol: "#000080",
                      transparent: true, move: "right", time: 8, suspend: false, width: 3840, bold: true, fontSize: 40 })
        }
        function test_imageFormMap() {
            var m = Rules.imageMap(typed("image"))
            var font = m.font
            delete m.font
            compare(m, { string: "Breaking news", fontCol: "#ffff00", x: 100, y: 1200, height: 80, bkCol: "#000080",
                         transparent: true, move: "right", time: 8, suspend: false, middle: true })
            compare([font.family, font.pointSize], ["Sans", 40])
        }

        function test_subtitleCall_data() {
            var shown = typed("image")
            var moved = typed("image"); moved.x = "300"; moved.y = "0"
            var retext = typed("image"); retext.string = "Later news"
            var recolour = typed("image"); recolour.bkCol = "#000000"
            return [
                { tag: "text form shows", f: typed("text"), show: true, shown: null, name: "showOSDV2" },
                { tag: "text form closes", f: typed("text"), show: false, shown: null, name: "closeOSDV2" },
                { tag: "a first picture is rendered", f: typed("image"), show: true, shown: null, name: "makeOSDImage" },
                { tag: "a moved picture is shown again", f: moved, show: true, shown: shown, name: "showOSD" },
                { tag: "a new text is a new picture", f: retext, show: true, shown: shown, name: "makeOSDImage" },
                { tag: "a new background is a new picture", f: recolour, show: true, shown: shown, name: "makeOSDImage" },
                { tag: "picture form closes", f: typed("image"), show: false, shown: shown, name: "closeOSD" }
            ]
        }
        function test_subtitleCall(data) {
            compare(Rules.subtitleCall(data.f, data.show, data.shown).name, data.name)
        }

        function test_fieldsFromState_data() {
            return [
                { tag: "nothing on the wall yet: text form with defaults", state: {}, form: "text",
                  picks: { string: "", x: 0, width: 3840, height: 60, move: "left", fontSize: 32, transparent: false } },
                { tag: "picture form state", form: "image",
                  state: { obj: "osd", uuid: "1", enable: true, string: "News", fontCol: "#ff0000", x: 10, y: 20, bkCol: "#000000",
                           height: 50, transparent: true, move: "right", time: "6", suspend: true, middle: true,
                           fontfamily: "Serif", fontsize: 28 },
                  picks: { string: "News", x: 10, y: 20, height: 50, transparent: true, move: "right", time: 6, suspend: true,
                           middle: true, fontFamily: "Serif", fontSize: 28 } },
                { tag: "text form state", form: "text",
                  state: { obj: "osd", uuid: "1", enable: false, string: "Hi", x: "5", y: "7", width: 1000, height: 40,
                           bold: true, fontSize: 36, move: "up" },
                  picks: { x: 5, y: 7, width: 1000, height: 40, bold: true, fontSize: 36, move: "left" } }
            ]
        }
        function test_fieldsFromState(data) {
            var f = Rules.fieldsFromState(data.state, 3840)
            compare(f.form, data.form)
            for (var k in data.picks)
                compare(f[k], data.picks[k], k)
        }

        function test_labelMap() {
            compare(Rules.labelMap({ ip: "10.0.0.6-1", enable: true, text: "Cam 1", colour: "#00ff00", x: "16", y: "24", size: "" }),
                    { ip: "10.0.0.6-1", enable: 1, str: "Cam 1", font_col: "#00ff00", x: 16, y: 24, font_size: 0 })
        }
    }

    TestCase {
        name: "OsdDialog"
        when: windowShown

        function init() {
            ImApi.reset()
            dialog.close()
            host.clear()
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
        function test_pictureFormRendersOnlyWhatChanged() {
            dialog.open("1", { obj: "osd", uuid: "1", string: "News", fontfamily: "Sans", fontsize: 30, height: 50 }, 1920)
            compare(dialog.form, "image")
            click("osdShow")
            set("osdX", "200")
            click("osdShow")
            set("osdString", "More news")
            click("osdShow")
            compare(ImApi.calls.map(function (c) { return c.name }), ["makeOSDImage", "showOSD", "makeOSDImage"])
            var m = ImApi.named("showOSD")[0][0]
            compare([m.string, m.x, m.height, m.middle, m.font.family, m.font.pointSize], ["News", 200, 50, false, "Sans", 30])
        }
        function test_switchingTheForm() {
            dialog.open("1", {}, 1920)
            click("osdFormImage")
            click("osdShow")
            click("osdFormText")
            click("osdShow")
            compare(ImApi.calls.map(function (c) { return c.name }), ["makeOSDImage", "showOSDV2"])
        }
        function test_inputLabel() {
            dialog.open("1", {}, 1920)
            set("labelIp", "10.0.0.6")
            set("labelText", "Cam 1")
            set("labelX", "16")
            set("labelY", "24")
            set("labelSize", "40")
            findChild(dialog, "labelEnable").checked = false
            click("labelApply")
            compare(ImApi.named("ServerSetInNodeOSD"),
                    [[{ ip: "10.0.0.6", enable: 0, str: "Cam 1", font_col: "#ffffff", x: 16, y: 24, font_size: 40 }]])
        }
        function test_refreshShowsTheWallsState_data() {
            return [
                { tag: "this wall", uuid: "1", string: "Updated" },
                { tag: "another wall is not shown", uuid: "2", string: "Old" }
            ]
        }
        function test_refreshShowsTheWallsState(data) {
            dialog.open("1", { obj: "osd", uuid: "1", string: "Old" }, 1920)
            dialog.refresh({ obj: "osd", uuid: data.uuid, string: "Updated" })
            compare(findChild(dialog, "osdString").text, data.string)
        }

        // Through the page host: the wall's tool opens the dialog with the wall's state, and a
        // state the controller reports reaches both.
        function hostDialog() {
            for (var i = 0; i < host.children.length; ++i) {
                if (host.children[i].shownPicture !== undefined)
                    return host.children[i]
            }
            return null
        }
        function test_wallToolOpensTheDialog() {
            ImApi.callQmlCreateVX2Screen("-1", { objectName: "w1", id: "7", globalPos: { x: 0, y: 0, width: 400, height: 200 },
                                                 size: { width: 3840, height: 2160 }, splitSize: { width: 2, height: 2 } })
            ImApi.callQmlCreateVX2Button("-1", { objectName: "w1-bt_osd", panel_id: "7", globalPos: { x: 500, y: 0, width: 80, height: 30 },
                                                 autoLift: false, buttonGroup: -1, eventAttrList: [] })
            ImApi.callQmlRefreshOSD(JSON.stringify({ obj: "osd", uuid: "7", enable: true, string: "On the wall", x: 0, y: 0,
                                                     width: 3840, height: 100, fontSize: 30 }))
            mouseClick(host.find("button", "w1-bt_osd"), 10, 10)
            var d = hostDialog()
            verify(d.visible)
            compare(ImApi.selPanel, "7")
            compare(findChild(d, "osdString").text, "On the wall")
            compare(findChild(d, "osdWidth").text, "3840")
            ImApi.callQmlRefreshOSD(JSON.stringify({ obj: "osd", uuid: "7", enable: false, string: "Changed elsewhere" }))
            compare(findChild(d, "osdString").text, "Changed elsewhere")
            compare(host.wallById("7").osdMap.string, "Changed elsewhere")
        }
    }
}
