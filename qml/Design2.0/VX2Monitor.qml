// A designed monitor (live video or node status): placed and styled; no content yet.
VX2Placeholder {
    property string ip: ""
    roundGeometry: true
    caption: ""
    function showStatus(status) { }
}
