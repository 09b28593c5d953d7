.pragma library
// Fits the design canvas into the window without distortion, centred, and gives the
// scale factors from design units to screen units. Without a design size (no project
// loaded yet) the content takes the whole window at scale 1.
function fit(windowWidth, windowHeight, designWidth, designHeight) {
    if (!(designWidth > 0) || !(designHeight > 0)) {
        return { x: 0, y: 0, width: windowWidth, height: windowHeight,
                 multiplierW: 1, multiplierH: 1 };
    }
    var height = Math.min(windowHeight, windowWidth * designHeight / designWidth);
    var width = Math.min(windowWidth, windowHeight * designWidth / designHeight);
    return {
        x: (windowWidth - width) / 2,
        y: (windowHeight - height) / 2,
        width: width,
        height: height,
        multiplierW: width / designWidth,
        multiplierH: height / designHeight
    };
}

// "12.35%" from a fraction 0..1, as the busy indicator shows it.
function percentText(fraction) {
    var value = Number(fraction);
    if (!isFinite(value))
        value = 0;
    value = Math.max(0, Math.min(1, value));
    return (value * 100).toFixed(2) + "%";
}
