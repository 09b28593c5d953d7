// A designed signal list: placed and styled; its tiles come with the signal lists' work.
VX2Placeholder {
    property string group: ""
    property string searchText: ""
    property string scenePanel: ""
    function reload() { }
    function search(text) { searchText = text }
    function showGroup(g) { group = String(g) }
}
