// A designed web view: placed and styled; the page itself is not shown yet.
VX2Placeholder {
    caption: map.url || ""
    function reload() { console.log("web view", designName, "reload: no web content yet") }
}
