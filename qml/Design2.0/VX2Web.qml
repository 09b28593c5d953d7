import QtQuick 2.15
import "../js/DialogRules.js" as Rules

// A designed web view: the designed address in the platform's web engine. Where that engine
// cannot run (a platform without its own windows, or a missing module) it stays the placed,
// styled placeholder with the address, and says so once in the log. Without "preloadEnable"
// the page loads when the view is first shown.
VX2Placeholder {
    id: root
    readonly property string url: Rules.webUrl(map.url)
    readonly property bool possible: Rules.webViewPossible(Qt.platform.pluginName)
    property bool shownOnce: visible
    property bool failed: false
    readonly property bool live: content.status === Loader.Ready
    caption: live ? "" : String(map.url || "")
    onVisibleChanged: if (visible) shownOnce = true

    function reload() {
        if (live)
            content.item.reload()
        else if (content.active)
            console.log("web view", designName, "reload before its page is there")
    }
    function fallBack(why) {
        if (failed)
            return
        failed = true
        console.log("web view", designName, "shows its address only:", why)
    }

    Component.onCompleted: if (!possible) fallBack("no web engine on platform " + Qt.platform.pluginName)

    Loader {
        id: content
        anchors.fill: parent
        active: root.possible && !root.failed && root.url !== "" && (root.shownOnce || !!root.map.preloadEnable)
        source: "VX2WebContent.qml"
        onLoaded: item.url = root.url
        onStatusChanged: if (status === Loader.Error) root.fallBack("the web view module did not load")
    }
}
