#!/usr/bin/python3
"""A picture of the screen straight from KWin's screenshot interface
(org.kde.KWin.ScreenShot2), as a reference that does not go through Lumaro.

  kwin_shot.py OUT.ppm                 the active screen
  kwin_shot.py OUT.ppm X Y W H         that rectangle of the desktop

Prints KWin's error and exits 1 when KWin refuses."""
import os
import sys
import threading

import dbus

out = sys.argv[1]
bus = dbus.SessionBus()
shot = dbus.Interface(bus.get_object("org.kde.KWin.ScreenShot2", "/org/kde/KWin/ScreenShot2"),
                      "org.kde.KWin.ScreenShot2")
options = dbus.Dictionary({"native-resolution": True, "include-cursor": False}, signature="sv")
read_end, write_end = os.pipe()
data = bytearray()


def read_all():
    while True:
        chunk = os.read(read_end, 1 << 16)
        if not chunk:
            return
        data.extend(chunk)


# KWin writes while (or after) it answers: the pipe is read all along.
reader = threading.Thread(target=read_all)
reader.start()
try:
    if len(sys.argv) == 6:
        x, y, w, h = (int(v) for v in sys.argv[2:6])
        reply = shot.CaptureArea(x, y, dbus.UInt32(w), dbus.UInt32(h), options, dbus.types.UnixFd(write_end))
    else:
        reply = shot.CaptureActiveScreen(options, dbus.types.UnixFd(write_end))
except dbus.DBusException as e:
    print(e.get_dbus_name(), e.get_dbus_message(), file=sys.stderr)
    os._exit(1)  # the reader would wait for the pipe's end, still held by the failed call
os.close(write_end)
reader.join()
width, height, stride, fmt = (int(reply[k]) for k in ("width", "height", "stride", "format"))
# QImage formats: 4 RGB32, 5 ARGB32, 6 ARGB32 premultiplied (B G R A bytes on
# a little-endian machine); 16 RGBX8888, 17 RGBA8888, 18 premultiplied (R G B A).
if fmt in (4, 5, 6):
    order = (2, 1, 0)
elif fmt in (16, 17, 18):
    order = (0, 1, 2)
else:
    sys.exit(f"unexpected pixel format {fmt}")
if len(data) < stride * height:
    sys.exit(f"short picture: {len(data)} of {stride * height} bytes")
rgb = bytearray()
for row in range(height):
    line = data[row * stride:row * stride + 4 * width]
    px = bytearray(3 * width)
    px[0::3] = line[order[0]::4]
    px[1::3] = line[order[1]::4]
    px[2::3] = line[order[2]::4]
    rgb.extend(px)
with open(out, "wb") as f:
    f.write(b"P6\n%d %d\n255\n" % (width, height))
    f.write(rgb)
print(f"format {fmt} scale {float(reply.get('scale', 1))}", file=sys.stderr)
