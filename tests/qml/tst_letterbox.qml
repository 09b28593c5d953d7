import QtQuick 2.15
import QtTest 1.15
import "../../qml/js/Letterbox.js" as Letterbox

TestCase {
    name: "Letterbox"

    function test_fit_data() {
        return [
            { tag: "16:9 design on 4:3 screen: full width, bands above and below",
              w: 1024, h: 768, dw: 1920, dh: 1080, x: 0, y: 96, cw: 1024, ch: 576 },
            { tag: "16:9 design on 21:9 screen: full height, bands left and right",
              w: 2560, h: 1080, dw: 1920, dh: 1080, x: 320, y: 0, cw: 1920, ch: 1080 },
            { tag: "16:9 design on 16:9 screen",
              w: 1280, h: 720, dw: 1920, dh: 1080, x: 0, y: 0, cw: 1280, ch: 720 },
            { tag: "4:3 design on 16:9 screen",
              w: 1920, h: 1080, dw: 1024, dh: 768, x: 240, y: 0, cw: 1440, ch: 1080 },
            { tag: "window two pixels taller than the screen",
              w: 1920, h: 1082, dw: 1920, dh: 1080, x: 0, y: 1, cw: 1920, ch: 1080 },
            { tag: "no design yet", w: 800, h: 600, dw: -1, dh: -1, x: 0, y: 0, cw: 800, ch: 600 },
            { tag: "zero design height", w: 800, h: 600, dw: 1920, dh: 0, x: 0, y: 0, cw: 800, ch: 600 }
        ]
    }
    function test_fit(data) {
        var fit = Letterbox.fit(data.w, data.h, data.dw, data.dh)
        fuzzyCompare(fit.x, data.x, 0.001)
        fuzzyCompare(fit.y, data.y, 0.001)
        fuzzyCompare(fit.width, data.cw, 0.001)
        fuzzyCompare(fit.height, data.ch, 0.001)
        if (data.dw > 0 && data.dh > 0) {
            fuzzyCompare(fit.multiplierW, data.cw / data.dw, 1e-9)
            fuzzyCompare(fit.multiplierH, data.ch / data.dh, 1e-9)
        } else {
            compare(fit.multiplierW, 1)
            compare(fit.multiplierH, 1)
        }
    }

    function test_percentText_data() {
        return [
            { tag: "zero", value: 0, text: "0.00%" },
            { tag: "fraction", value: 0.12345, text: "12.35%" },
            { tag: "whole", value: 1, text: "100.00%" },
            { tag: "above one is clamped", value: 1.7, text: "100.00%" },
            { tag: "not a number", value: NaN, text: "0.00%" }
        ]
    }
    function test_percentText(data) {
        compare(Letterbox.percentText(data.value), data.text)
    }
}
