#!/usr/bin/env python3
"""How the selector's window came on screen, read from the program's Wayland
log (WAYLAND_DEBUG=client), for the first capture's selector window (titled
截取屏幕):
  - it was given exactly one buffer before the log says it is on screen, and
    every configure it acknowledged before then was followed by a commit of
    its surface, which is what the compositor waits for;
  - the whole window was painted once in all: later frames repaint only
    what changed.

    first_frame.py LOG    exit 0 if so; else 1, saying what it saw
"""
import re
import sys

TITLE = "截取屏幕"
ON_SCREEN = "selector: painted as shown"

xdg_of_toplevel = {}  # xdg_toplevel id -> xdg_surface id
surface_of_xdg = {}   # xdg_surface id -> wl_surface id
overlay_xdg = overlay_surface = None
attaches = []         # before it was on screen
unanswered = None     # serial acknowledged and not yet committed
on_screen = False
damages = []          # every damage of the window's buffers, (x, y, w, h)

request = re.compile(r"^\[\s*[\d.]+\]\s+-> (\w+)@(\d+)\.(\w+)\((.*)\)$")
for line in open(sys.argv[1], encoding="utf-8", errors="replace"):
    line = line.rstrip("\n")
    if ON_SCREEN in line and overlay_surface is not None:
        on_screen = True
        continue
    m = request.match(line)
    if not m:
        continue
    iface, oid, name, args = m.groups()
    if overlay_surface is None:
        if iface == "xdg_wm_base" and name == "get_xdg_surface":
            ids = re.findall(r"@(\d+)", args)
            surface_of_xdg[ids[0]] = ids[1]
        elif iface == "xdg_surface" and name == "get_toplevel":
            xdg_of_toplevel[re.search(r"@(\d+)", args).group(1)] = oid
        elif iface == "xdg_toplevel" and name == "set_title" and TITLE in args:
            overlay_xdg = xdg_of_toplevel.get(oid)
            overlay_surface = surface_of_xdg.get(overlay_xdg)
        continue
    if iface == "wl_surface" and oid == overlay_surface:
        if name == "destroy":
            break  # the selector is gone (and its id free for others)
        if name in ("damage_buffer", "damage"):
            damages.append(tuple(int(v) for v in args.split(", ")))
        if on_screen:
            continue
        if name == "attach":
            attaches.append(args)
        elif name == "commit":
            unanswered = None
    elif iface == "xdg_surface" and oid == overlay_xdg and name == "ack_configure" and not on_screen:
        unanswered = args

if not on_screen:
    sys.exit(f"no selector window on screen in the log (window found: {overlay_surface is not None})")
problems = []
if len(attaches) != 1:
    problems.append(f"{len(attaches)} buffers given to the selector's window before it was on screen, not 1")
if unanswered is not None:
    problems.append(f"configure {unanswered} acknowledged and never committed")
whole = max(damages, key=lambda d: d[2] * d[3]) if damages else None
frames = sum(1 for d in damages if d == whole and d[:2] == (0, 0))
if frames != 1:
    problems.append(f"the whole window was painted {frames} times, not once")
if problems:
    sys.exit("; ".join(problems))
print(f"the selector's window came on screen with one buffer, painted whole once (surface {overlay_surface})")
