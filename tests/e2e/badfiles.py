"""Bad and odd picture files, opened through the real window as a person would.

    badfiles.py make DIR      writes the corpus into DIR
    badfiles.py run DIR       opens every file through 文件 > 打开 (a message
                              that names the file and the reason, the display
                              unchanged) and through 更改图片 (silent), and
                              checks that the window answers afterwards

The run reads the environment the shell part sets up: DISPLAY, the
accessibility bus, LUMARO_MAIN (the window), LUMARO_IMAGESHOW (the picture
display's rectangle on the screen, "x y w h"), LUMARO_COMMAND4 and
LUMARO_EMPTY (points to click), XDRIVE and E2E_TMP.
"""
import os
import random
import struct
import subprocess
import sys
import time
import zlib

import atspi_read

# What each file must do through 打开: "msg:<text the message must hold>",
# "opens", "dialog" (the file dialog itself refuses it) or "any" (a
# partial picture or a message, both fine, as long as nothing breaks).
TOO_LARGE = "msg:图片太大"
DAMAGED = "msg:"  # any reason, as long as the message names the file


def png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def png(width, height, idat, depth=8, colour=2, interlace=0):
    ihdr = struct.pack(">IIBBBBB", width, height, depth, colour, 0, 0, interlace)
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", ihdr) + png_chunk(b"IDAT", idat)
            + png_chunk(b"IEND", b""))


def zero_png(width, height, interlace=0):
    """A valid PNG of black pixels, compressed as it is written: small on disk,
    huge decoded."""
    comp = zlib.compressobj(1)
    parts = []
    passes = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]
    for x0, y0, dx, dy in passes if interlace else [(0, 0, 1, 1)]:
        row = b"\0" * (1 + 3 * ((width - x0 + dx - 1) // dx))
        parts += [comp.compress(row) for _ in range((height - y0 + dy - 1) // dy)]
    parts.append(comp.flush())
    return png(width, height, b"".join(parts), interlace=interlace)


def bmp(width, height, pixels=b"", bpp=24):
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bpp, 0, len(pixels), 2835, 2835, 0, 0)
    return header + info + pixels


def jpeg_with_size(jpeg, width, height):
    """The same JPEG with another size in its frame header."""
    sof = jpeg.index(b"\xff\xc0")
    return jpeg[:sof + 5] + struct.pack(">HH", height, width) + jpeg[sof + 9:]


def flat_jpeg(width, height):
    """A baseline greyscale JPEG whose every block is mid-grey: DC difference 0
    ("00") and end of block ("1010") per block with the standard tables."""
    def segment(marker, body):
        return b"\xff" + bytes([marker]) + struct.pack(">H", len(body) + 2) + body
    dc_counts = bytes([0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0])
    ac_counts = bytes([0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7d])
    ac_values = bytes.fromhex(
        "01020300041105122131410613516107227114328191a1082342b1c11552d1f02433627282090a161718191a25262728292a"
        "3435363738393a434445464748494a535455565758595a636465666768696a737475767778797a838485868788898a929394"
        "95969798999aa2a3a4a5a6a7a8a9aab2b3b4b5b6b7b8b9bac2c3c4c5c6c7c8c9cad2d3d4d5d6d7d8d9dae1e2e3e4e5e6e7e8"
        "e9eaf1f2f3f4f5f6f7f8f9fa")
    blocks = ((width + 7) // 8) * ((height + 7) // 8)
    assert blocks % 4 == 0
    return (b"\xff\xd8" + segment(0xDB, b"\0" + b"\1" * 64)
            + segment(0xC0, b"\x08" + struct.pack(">HH", height, width) + b"\x01\x01\x11\x00")
            + segment(0xC4, b"\x00" + dc_counts + bytes(range(12)))
            + segment(0xC4, b"\x10" + ac_counts + ac_values)
            + segment(0xDA, b"\x01\x01\x00\x00\x3f\x00")
            + b"\x28\xa2\x8a" * (blocks // 4) + b"\xff\xd9")


def make(folder, samples):
    os.makedirs(folder, exist_ok=True)
    rnd = random.Random(108)
    read = lambda name: open(os.path.join(samples, name), "rb").read()
    convert = lambda *args: subprocess.run(["convert", *args], check=True, capture_output=True).stdout
    jpeg = convert("-size", "64x48", "gradient:red-blue", "-quality", "90", "jpg:-")
    png_ok = convert("-size", "64x48", "gradient:red-blue", "png:-")
    bmp_ok = bmp(4, 2, bytes(range(24)) * 1)
    gif_ok = read("sample.gif")
    files = []

    def put(name, data, expect):
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
        files.append((name, expect))

    put("empty.jpg", b"", "msg:这个文件是空的")
    put("empty.png", b"", "msg:这个文件是空的")
    put("text.jpg", b"just some words, no picture\n", "msg:不是程序能识别的图片格式")
    put("random.png", bytes(rnd.randrange(256) for _ in range(1024)), "msg:不是程序能识别的图片格式")
    put("signature-then-noise.png", b"\x89PNG\r\n\x1a\n" + bytes(rnd.randrange(256) for _ in range(512)), DAMAGED)
    put("truncated-third.jpg", jpeg[:len(jpeg) // 3], "any")
    put("truncated-header.jpg", jpeg[:200], DAMAGED)
    put("truncated-half.png", png_ok[:len(png_ok) // 2], "any")
    put("truncated-header.bmp", bmp(64, 48)[:54], "any")
    put("truncated.gif", gif_ok[:len(gif_ok) // 2], "any")
    # Refused for their size before their (missing) data is read.
    put("declares-100000x100000-16-bit.png", png(100000, 100000, b"\x78\x9c", depth=16), TOO_LARGE)
    put("declares-65500x65500-interlaced.png", png(65500, 65500, b"\x78\x9c", interlace=1), TOO_LARGE)
    # Refused as damaged: the reader sees the data is missing first.
    put("declares-65500x65500.bmp", bmp(65500, 65500, b"\0" * 64), DAMAGED)
    put("declares-65500x65500.jpg", jpeg_with_size(jpeg, 65500, 65500), TOO_LARGE)
    # Qt decodes 8-bit PNGs row by row at the size shown; interlaced ones whole.
    put("bomb-20000x20000.png", zero_png(20000, 20000), "opens")
    put("bomb-20000x20000-interlaced.png", zero_png(20000, 20000, interlace=1), TOO_LARGE)
    put("flat-20000x20000.jpg", flat_jpeg(20000, 20000), "opens")
    put("cmyk.jpg", read("sample-cmyk.jpg"), "opens")
    put("16-bit.png", read("sample-16bit.png"), "opens")
    put("animated.gif", read("sample-animated.gif"), "opens")
    os.makedirs(os.path.join(folder, "folder.jpg"), exist_ok=True)
    files.append(("folder.jpg", "dialog"))
    for a, b in (("loop-a.jpg", "loop-b.jpg"), ("loop-b.jpg", "loop-a.jpg")):
        if not os.path.lexists(os.path.join(folder, a)):
            os.symlink(b, os.path.join(folder, a))
    files.append(("loop-a.jpg", "dialog"))
    os.symlink("nowhere.png", os.path.join(folder, "dangling.png"))
    files.append(("dangling.png", "dialog"))
    # A path of 3,969 characters, near the system's limit of 4,096.
    deep = folder
    while len(deep) < 3969 - 120:
        deep = os.path.join(deep, "d" * min(200, 3969 - 120 - len(deep) - 1))
    os.makedirs(deep, exist_ok=True)
    tail = 3969 - len(deep) - 1 - len(".png")
    long_name = os.path.join(deep, "p" * tail + ".png")
    with open(long_name, "wb") as f:
        f.write(png_ok)
    files.append((os.path.relpath(long_name, folder), "opens"))
    put("unreadable.png", png_ok, "msg:没有读取这个文件的权限")
    os.chmod(os.path.join(folder, "unreadable.png"), 0)
    put("bitmap-named.png", bmp_ok, "opens")
    put("jpeg-named.bmp", jpeg, "opens")
    os.mkfifo(os.path.join(folder, "pipe.jpg"))
    files.append(("pipe.jpg", "msg:不是一个普通文件"))
    os.symlink("/dev/zero", os.path.join(folder, "zeros.jpg"))
    files.append(("zeros.jpg", "msg:不是一个普通文件"))
    with open(os.path.join(folder, "sparse-2GiB.jpg"), "wb") as f:
        f.truncate(2 << 30)
    files.append(("sparse-2GiB.jpg", "msg:文件太大"))
    put("icon-claims-1000-images.ico", struct.pack("<HHH", 0, 1, 1000) + b"\0" * 32, "any")
    put("cut-off.xpm", b'/* XPM */\nstatic char *x[] = {\n"100 100 2 1",\n"a c #ff0000",\n', DAMAGED)
    put("declares-100000x100000.ppm", b"P6 100000 100000 255\n" + b"\0" * 30, DAMAGED)
    put("cut-off.pbm", b"P4 64 64\n" + b"\xaa" * 40, "any")
    corrupt = bytearray(jpeg)
    for i in range(len(corrupt) // 2, len(corrupt) * 2 // 3, 7):
        corrupt[i] ^= 0x5a
    put("scrambled-middle.jpg", bytes(corrupt), "any")
    bad_crc = bytearray(png_ok)
    bad_crc[29] ^= 0xff  # inside IHDR's CRC
    put("bad-crc.png", bytes(bad_crc), "any")
    put("zero-width.bmp", bmp(0, 10, b"\0" * 40), DAMAGED)
    put("zero-width.png", png(0, 10, b"\x78\x9c"), "any")
    put("zero-size.gif", b"GIF89a\0\0\0\0\0\0\0;", "any")
    put("name with spaces 'and' quotes.png", png_ok, "opens")
    put("top-down.bmp", bmp(4, -2, bytes(range(24))), "opens")
    put("one-pixel.png", convert("-size", "1x1", "xc:yellow", "png:-"), "opens")
    put("bm-then-noise.bmp", b"BM" + bytes(rnd.randrange(256) for _ in range(300)), "any")
    lzw = bytearray(gif_ok)
    for i in range(len(lzw) - 30, len(lzw) - 2):
        lzw[i] ^= 0xa5
    put("bad-lzw.gif", bytes(lzw), "any")
    with open(os.path.join(folder, "manifest"), "w", encoding="utf-8") as m:
        for name, expect in files:
            m.write(f"{expect}\t{name}\n")
    return files


# ---------------------------------------------------------------- the run

def sh(*args, **kw):
    return subprocess.run(list(args), check=True, capture_output=True, text=True, **kw).stdout


def windows(title):
    out = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", title],
                         capture_output=True, text=True).stdout
    return [w for w in out.split()]


def wait(what, condition, timeout=15):
    deadline = time.time() + timeout
    while time.time() < deadline:
        value = condition()
        if value:
            return value
        time.sleep(0.05)
    raise AssertionError(f"timed out waiting for {what}")


def settle(ms=200):
    subprocess.run([os.environ["XDRIVE"], "settle", str(ms), "10000"], check=True)


def display_shot(path):
    x, y, w, h = os.environ["LUMARO_IMAGESHOW"].split()
    sh("import", "-window", "root", "-crop", f"{w}x{h}+{x}+{y}", "+repage", path)


def same(a, b):
    r = subprocess.run(["compare", "-metric", "AE", a, b, "null:"], capture_output=True, text=True)
    return r.stderr.strip() == "0"


def open_through(how, path):
    """Opens `path` through 打开 or 更改图片; returns the file dialog's fate:
    "closed" or "refused" (it stayed open, or asked a question of its own)."""
    before = set(windows("^打开文件$"))
    if how == "menu":
        # Without a window manager nothing gives the window the keyboard back
        # after a message box closes: a click on its empty corner does.
        x, y = os.environ["LUMARO_EMPTY"].split()
        sh("xdotool", "mousemove", x, y, "click", "1")
        sh("xdotool", "key", "alt+f")
        settle(100)
        sh("xdotool", "key", "Return")
    else:
        x, y = os.environ["LUMARO_COMMAND4"].split()
        sh("xdotool", "mousemove", x, y, "click", "1")
    dialog = wait("the open dialog", lambda: [w for w in windows("^打开文件$") if w not in before])[0]
    settle(100)
    # The path is pasted into the name field, as a person pastes one. Typed
    # key by key, the 3,969 characters had the dialog, on a busy machine, now
    # and then take a folder met along the way for the choice and step into
    # it on Enter, its name field emptied.
    subprocess.run(["xclip", "-selection", "clipboard", "-i"], input=path, text=True, check=True,
                   stderr=subprocess.DEVNULL)
    sh("xdotool", "key", "ctrl+v")
    settle(100)
    for _ in range(3):
        sh("xdotool", "key", "Return")
        end = time.time() + 2
        while time.time() < end:
            shown = windows("^打开文件$")
            if dialog not in shown:
                return "closed"
            if [w for w in shown if w != dialog]:
                return "refused"
            time.sleep(0.05)
    return "refused"


def close_dialogs():
    for _ in range(4):
        open_ = windows("^打开文件$") + windows("^Lumaro$")
        if not open_:
            return
        # The keyboard may have been left nowhere: a click on the topmost
        # dialog's corner gives it back, then Esc closes it.
        info = sh("xwininfo", "-id", open_[-1])
        x = int(info.split("Absolute upper-left X:")[1].split()[0])
        y = int(info.split("Absolute upper-left Y:")[1].split()[0])
        h = int(info.split("Height:")[1].split()[0])
        sh("xdotool", "mousemove", str(x + 4), str(y + h - 4), "click", "1")
        sh("xdotool", "key", "Escape")
        settle(100)
    raise AssertionError("a dialog would not close")


def run(folder):
    tmp = os.environ["E2E_TMP"]
    failures = []
    entries = [line.rstrip("\n").split("\t", 1) for line in open(os.path.join(folder, "manifest"), encoding="utf-8")]
    counts = {}
    for how in ("menu", "button"):
        for expect, name in entries:
            path = os.path.join(folder, name)
            label = f"{'打开' if how == 'menu' else '更改图片'}: {name[-60:]}"
            display_shot(f"{tmp}/before.png")
            fate = open_through(how, path)
            settle(300)
            message = atspi_read.message_text() if windows("^Lumaro$") else None
            if fate == "refused":
                close_dialogs()
                if expect not in ("dialog", "any"):
                    failures.append(f"{label}: the file dialog refused it")
            elif how == "button":
                if message is not None:
                    failures.append(f"{label}: 更改图片 showed a message: {message!r}")
            elif expect.startswith("msg:"):
                if message is None:
                    failures.append(f"{label}: no message")
                elif os.path.basename(name) not in message or expect[4:] not in message:
                    failures.append(f"{label}: the message does not name the file and '{expect[4:]}': {message!r}")
            elif expect == "opens" and message is not None:
                failures.append(f"{label}: a message instead of the picture: {message!r}")
            if message is not None:
                sh("xdotool", "key", "Return")
                wait("the message to close", lambda: not windows("^Lumaro$"))
            settle(200)
            display_shot(f"{tmp}/after.png")
            unchanged = same(f"{tmp}/before.png", f"{tmp}/after.png")
            if message is not None or fate == "refused" or expect.startswith("msg:"):
                if not unchanged:
                    failures.append(f"{label}: the display changed")
            elif expect == "opens" and unchanged:
                failures.append(f"{label}: the picture did not open")
            outcome = "refused by the dialog" if fate == "refused" else "message" if message else \
                "opened" if not unchanged else "nothing shown"
            counts[outcome] = counts.get(outcome, 0) + 1
            alive = subprocess.run([os.environ["XDRIVE"], "ping", os.environ["LUMARO_MAIN"], "5000"]).returncode == 0
            if not alive:
                failures.append(f"{label}: the window stopped answering")
                break
    for f in failures:
        print("FAIL:", f)
    print(f"{len(entries)} files, each through 打开 and 更改图片: "
          + ", ".join(f"{n} {k}" for k, n in sorted(counts.items())))
    return 1 if failures else 0


if __name__ == "__main__":
    if sys.argv[1] == "make":
        files = make(sys.argv[2], sys.argv[3])
        print(f"{len(files)} files")
    else:
        sys.exit(run(sys.argv[2]))
