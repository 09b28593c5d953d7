import QtQuick 2.15
import QtTest 1.15
import "../../qml/Design2.0"
import "Items.js" as Items

// Designed subtitle buttons: the edit commands open the wall's subtitle dialog in the form
// they name, filled by the state the wall reports; the show command puts a subtitle on the
// named wall in the look of its stored one.
Item {
    width: 1280
    height: 800

    Content { id: host; anchors.fill: parent }
    property var wallAtCall: ({}) // the selected wall when each operation was called
    Connections {
        target: ImApi
        function onCallsChanged() {
            var c = ImApi.calls[ImApi.calls.length - 1]
            if (c)
                wallAtCall[c.name] = ImApi.selPanel
        }
    }

    TestCase {
        name: "SubtitleButtons"
        when: windowShown

        function dialog() { return Items.first(host, function (c) { return c.shownPicture !== undefined }) }
        function init() {
            host.clear()
            ImApi.callQmlCreateVX2Screen("-1", { objectName: "w7", id: "7", size: { width: 3840, height: 2160 } })
            ImApi.reset()
            wallAtCall = {}
        }

        function test_edit_data() {
            return [
                { tag: "the first form is the picture", cmd: "InlineEditSubTitle", form: "image" },
                { tag: "the second form is the decoders' text", cmd: "InlineEditSubTitle2", form: "text" }
            ]
        }
        function test_edit(data) {
            ImApi.callCustomProtocol(data.cmd, ["7"])
            verify(dialog().visible)
            compare(dialog().form, data.form)
            compare(dialog().panelId, "7")
            // The stored state arrives later and fills the fields, in the form asked for.
            ImApi.callQmlRefreshOSD(JSON.stringify({ obj: "osd", uuid: "7", string: "Stored", fontCol: "#c0c0c0", height: 80 }))
            compare(findChild(dialog(), "osdString").text, "Stored")
            compare(findChild(dialog(), "osdFontCol").text, "#c0c0c0")
            compare(dialog().form, data.form)
        }
        function test_editOfNoWallOpensNothing() {
            ignoreWarning("subtitle dialog: no wall 9")
            ImApi.callCustomProtocol("InlineEditSubTitle", ["9"])
            verify(!dialog().visible)
        }

        function test_show_data() {
            return [
                { tag: "a text on a wall with a text subtitle", state: { string: "Old", fontCol: "#c0c0c0", y: 100 }, params: ["7", "Fire drill"],
                  call: "showOSDV2", string: "Fire drill" },
                { tag: "the stored subtitle again", state: { string: "Old", y: 100 }, params: ["7"], call: "showOSDV2", string: "Old" },
                { tag: "the picture form is drawn anew", state: { string: "Old", fontfamily: "Sans", fontsize: 30 }, params: ["7", "News"],
                  call: "makeOSDImage", string: "News" },
                { tag: "nothing to show", state: null, params: ["7", ""], call: "", warn: "subtitle: wall 7 has no subtitle to show" },
                { tag: "no such wall", state: null, params: ["9", "x"], call: "", warn: "subtitle: no wall 9" }
            ]
        }
        function test_show(data) {
            if (data.state)
                ImApi.callQmlRefreshOSD(JSON.stringify(Object.assign({ obj: "osd", uuid: "7" }, data.state)))
            if (data.warn)
                ignoreWarning(data.warn)
            ImApi.selPanel = "3"
            ImApi.callCustomProtocol("InlineShowSubTitle", data.params)
            var names = ImApi.calls.map(function (c) { return c.name }).filter(function (n) { return n !== "setProperty" })
            compare(names, data.call ? [data.call] : [])
            compare(ImApi.selPanel, "3", "the selection is left as it was")
            if (!data.call)
                return
            compare(wallAtCall[data.call], "7")
            var m = ImApi.named(data.call)[0][0]
            compare(m.string, data.string)
            if (data.state.y)
                compare(m.y, data.state.y)
        }
    }
}
