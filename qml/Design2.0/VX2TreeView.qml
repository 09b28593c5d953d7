// A designed signal tree: placed and styled; its groups are not shown yet.
VX2Placeholder {
    roundGeometry: true
    property var treeModel: map.treeModel || []
    // The favourites' top node takes the starred signals.
    function setFavourites(nodes) {
        var model = treeModel.slice()
        for (var i = 0; i < model.length; ++i) {
            if (model[i].text === "收藏") {
                var node = {}
                for (var k in model[i])
                    node[k] = model[i][k]
                node.subnodes = nodes
                model[i] = node
            }
        }
        treeModel = model
    }
    function refresh() { treeModel = ImApi.serverRefreshTreeModel(treeModel) }
}
