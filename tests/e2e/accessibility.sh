#!/usr/bin/env bash
# The window read from outside over AT-SPI: a session bus, the accessibility
# bus, the real program, and a client that walks its tree.
source "$(dirname "$0")/lib.sh"
app=$1

start_display 1280x1024
eval "$(dbus-launch --sh-syntax)"
E2E_PIDS+=("$DBUS_SESSION_BUS_PID")
/usr/libexec/at-spi-bus-launcher --launch-immediately >"$E2E_TMP/atspi.log" 2>&1 &
E2E_PIDS+=($!)
sleep 0.5
# Without a desktop session nothing asks Qt to switch its bridge on.
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1

start_program "$app"
wait_window '^Lumaro         $' >/dev/null
/usr/bin/python3 "$(dirname "$0")/atspi_tree.py" || fail "the accessibility tree is not as expected"
echo "1 passed, 0 failed"
