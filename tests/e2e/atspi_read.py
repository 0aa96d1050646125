"""Reads what the program shows, over AT-SPI, as a screen reader does.

    atspi_read.py message     prints the text of the program's open message
                              box (title Lumaro); exits 1 when there is none
    atspi_read.py readout     prints the size read-out of the main window
                              ("宽:3000 高:2880"); exits 1 when there is none
"""
import sys

import pyatspi


def message_text():
    """The texts of the program's message box titled Lumaro, read over AT-SPI."""
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is None or app.name != "Lumaro":
            continue
        for j in range(app.childCount):
            win = app.getChildAtIndex(j)
            if win is None or win.name != "Lumaro" or win.getRoleName() not in ("alert", "dialog"):
                continue
            texts = []

            def walk(acc):
                if acc.getRoleName() == "label" and acc.name:
                    texts.append(acc.name)
                for k in range(acc.childCount):
                    walk(acc.getChildAtIndex(k))
            walk(win)
            return "\n".join(texts)
    return None


def readout_text():
    """The width and height labels of the program's main window."""
    desktop = pyatspi.Registry.getDesktop(0)
    found = {}

    def walk(acc):
        name = acc.name or ""
        if acc.getRoleName() == "label" and name[:2] in ("宽:", "高:"):
            found.setdefault(name[:2], name)
        for k in range(acc.childCount):
            walk(acc.getChildAtIndex(k))
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and app.name == "Lumaro":
            walk(app)
    if len(found) != 2:
        return None
    return found["宽:"] + " " + found["高:"]


if __name__ == "__main__":
    what = sys.argv[1] if len(sys.argv) > 1 else "message"
    text = readout_text() if what == "readout" else message_text()
    if text is None:
        sys.exit(1)
    print(text)
