"""Reads what the program shows, over AT-SPI, as a screen reader does.

    atspi_read.py message     prints the text of the program's open message
                              box (title Lumaro); exits 1 when there is none
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



if __name__ == "__main__":
    text = message_text()
    if text is None:
        sys.exit(1)
    print(text)
