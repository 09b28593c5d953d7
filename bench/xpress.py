#!/usr/bin/env python3
"""bench/xpress.py: clicks at the "x y" of each line on stdin through the XTest extension of
$DISPLAY and prints the time of day in ms (as the pages log it) just before each press. One
process for every click, so the time measured from a press is not that of starting a tool."""
import ctypes
import sys
import time

x11 = ctypes.CDLL("libX11.so.6")
xtst = ctypes.CDLL("libXtst.so.6")
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
for f in (x11.XFlush, x11.XSync):
    f.argtypes = [ctypes.c_void_p] + ([ctypes.c_int] if f is x11.XSync else [])
xtst.XTestFakeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int, ctypes.c_int, ctypes.c_ulong]
xtst.XTestFakeButtonEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
display = x11.XOpenDisplay(None)
if not display:
    sys.exit("xpress: cannot open the display")
for line in sys.stdin:
    x, y = (int(v) for v in line.split())
    xtst.XTestFakeMotionEvent(display, -1, x, y, 0)
    x11.XSync(display, 0)
    pressed = int(time.time() * 1000) % 86400000
    xtst.XTestFakeButtonEvent(display, 1, 1, 0)
    xtst.XTestFakeButtonEvent(display, 1, 0, 0)
    x11.XFlush(display)
    print(pressed, flush=True)
