#!/usr/bin/env bash
# The window read from outside over AT-SPI: a session bus, the accessibility
# bus, the real program, and a client that walks its tree.
source "$(dirname "$0")/lib.sh"
need dbus-launch dbus-send python3

start_display 1280x1024
start_atspi
start_lumaro "$1"
/usr/bin/python3 "$E2E_DIR/atspi_tree.py" "$E2E_CONTROLS" || fail "the accessibility tree is not as expected"
pass "every control reads as expected"
stop_program "$MAIN"
finish
