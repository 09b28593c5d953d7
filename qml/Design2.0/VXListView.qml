// A designed list view: placed and styled; its entries are not shown yet.
VX2Placeholder {
    designName: map.uuid || map.objectName || ""
    property string group: ""
    function showGroup(g) { group = String(g) }
}
