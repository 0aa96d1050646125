#!/usr/bin/env bash
# Long runs of random clicks, drags, wheel turns and keys over the real
# program and whatever it opens (menus, dialogs, message boxes, the
# selector), one process for the whole run: does it stay up, does it keep
# answering, does its memory stay where it was after the first 10,000
# events?
#   bash bench/longrun.sh x11 [EVENTS]       Xvfb at 100 %, 1,000,000 events
#   bash bench/longrun.sh x11-150 [EVENTS]   Xvfb at 150 % (Xft.dpi 144), 200,000
#   bash bench/longrun.sh sway [EVENTS]      headless sway, natively on Wayland, 200,000
#   LONGRUN_SEED=N replays a run; BIN=DIR takes the programs from DIR (build/bin).
#
# The events come in two legs, the same process throughout: 10,000, then the
# rest, with a seed drawn from the first. After each leg the program is
# brought back to its main window (Escape until nothing else is open); on
# X11 it then makes one capture of the same region, and another program
# takes the clipboard, so that either reading holds the same one capture
# (the program keeps its last); and
# its memory read from /proc: resident (VmRSS), proportional (Pss) and
# private dirty; at the end also once the allocator has handed back its
# free pages (malloc_trim, through gdb), which tells memory still in use
# from memory that glibc keeps after it was freed; and at both readings, from
# bench_heapinuse.so loaded into the program, how much of what the allocator
# holds its allocations still use (no gdb needed). On X11 the driver is the
# monkey test's (xdrive monkey, which pings the window every 25 events);
# under sway it is bench/wlmonkey.c, the same mix through a virtual pointer
# and keyboard, and the ping a question the program's main thread answers
# over AT-SPI (its accessibility bridge is on for the run).
#
# The last line says PASS for no crash, no hang and the resident memory at
# the end within 10 % of that after 10,000 events. A run that failed keeps
# its events, the program's log and, for a crash, the core and its
# backtrace (for a hang, every thread's) in ${TMPDIR:-/tmp}/lumaro-longrun-MODE-SEED/.
# Random clicks reach the file dialogs: as root, the run is an unprivileged
# user's (see tests/e2e/lib.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [[ -n ${E2E_STAGE:-} ]]; then
  program=$1
  shift
  bin=$(dirname "$program")
else
  bin=$(realpath "${BIN:-$root/build/bin}")
  program=$bin/lumaro
fi
usage() {
  echo "usage: bash bench/longrun.sh x11|x11-150|sway [EVENTS]" >&2
  exit 1
}
mode=${1:-}
case $mode in
  x11) events=${2:-1000000} size=1280x1024 ;;
  x11-150)
    events=${2:-200000} size=1920x1080
    export E2E_DPI=144 # Xft.dpi, loaded before the program starts (start_display)
    ;;
  sway) events=${2:-200000} ;;
  *) usage ;;
esac
if ! [[ $events =~ ^[0-9]+$ ]] || ((events == 0)); then usage; fi
for tool in lumaro xdrive e2e_controls; do
  [[ -x "$bin/$tool" ]] || { echo "no $bin/$tool: build first (bash scripts/build.sh)" >&2; exit 1; }
done
export XDRIVE=$bin/xdrive LUMARO_CONTROLS=$bin/e2e_controls WLPOINTER=$bin/wlpointer
export LUMARO_TEST_DATA=${LUMARO_TEST_DATA:-$root/tests/data}
E2E_AS_USER=1
set -- "$program" "$mode" "$events"
lib=$root/tests/e2e/lib.sh
[[ -f $lib ]] || lib=$root/e2e/lib.sh # staged for the unprivileged user
# shellcheck source=tests/e2e/lib.sh
source "$lib" "$@"

# Where the allocator's own figures can be had, the program reports them.
if [[ -f $bin/bench_heapinuse.so ]]; then
  export E2E_PRELOAD=$bin/bench_heapinuse.so LUMARO_HEAPINUSE=$E2E_TMP/heapinuse
fi
# LONGRUN_HEAPTRACK=DIR: every allocation recorded by heaptrack, and the
# program stopped dead (SIGKILL) right after the last reading, so that what
# it still held there is what heaptrack_print calls leaked; compare a run of
# 10,000 events with a longer one of the same seed. DIR must be writable by
# the run's user (as root, an unprivileged one).
heaptrack_lib=/usr/lib/heaptrack/libheaptrack_preload.so
heaptrack_interpret=/usr/lib/heaptrack/libexec/heaptrack_interpret
if [[ -n ${LONGRUN_HEAPTRACK:-} ]]; then
  [[ -f $heaptrack_lib && -x $heaptrack_interpret ]] || { echo "heaptrack is not installed" >&2; exit 1; }
  export E2E_PRELOAD=$heaptrack_lib${E2E_PRELOAD:+:$E2E_PRELOAD} DUMP_HEAPTRACK_OUTPUT=$E2E_TMP/heaptrack.raw
fi

seed=${LONGRUN_SEED:-$(random_seed)}
# The second leg's seed, drawn from the first's (64-bit LCG step, low 32 bits).
seed2=$(((seed * 6364136223846793005 + 1442695040888963407) & 0xffffffff))
first=$((events < 10000 ? events : 10000))
monkey_home
# A crash leaves its core in the program's folder, the scratch home.
ulimit -c unlimited

# ---- The session and the program.
if [[ $mode == sway ]]; then
  need sway swaymsg wtype dbus-launch dbus-send /usr/bin/python3
  [[ -x $WLPOINTER ]] || skip "wlpointer was not built (libwayland-dev, libwayland-bin)"
  [[ -x $bin/bench_wlmonkey ]] || skip "bench_wlmonkey was not built (libwayland-dev, libwayland-bin)"
  start_atspi
  W=1280 H=1024
  # sway's log names each pop-up (a menu, a drop-down list, a tooltip) it is given.
  E2E_SWAY_DEBUG='New xdg_shell popup' start_sway "$W" "$H"
  lasting_input "$W" "$H"
  QT_QPA_PLATFORM=wayland start_program "$program"
  wait_sway '^Lumaro {9}$' >/dev/null
  # The program's connection on the accessibility bus; the ping asks its
  # root object's name, which its main thread answers.
  a11y_bus=$(dbus-send --session --dest=org.a11y.Bus --print-reply=literal /org/a11y/bus org.a11y.Bus.GetAddress | tr -d ' ')
  a11y_name() {
    local name pid
    for name in $(dbus-send --bus="$a11y_bus" --dest=org.freedesktop.DBus --print-reply=literal \
      /org/freedesktop/DBus org.freedesktop.DBus.ListNames | tr -d '[]'); do
      [[ $name == :* ]] || continue
      pid=$(dbus-send --bus="$a11y_bus" --dest=org.freedesktop.DBus --print-reply=literal /org/freedesktop/DBus \
        org.freedesktop.DBus.GetConnectionUnixProcessID string:"$name" 2>/dev/null | awk '{print $NF}') || true
      [[ $pid == "$APP_PID" ]] && { echo "$name"; return 0; }
    done
    return 1
  }
  wait_for 15 "the program on the accessibility bus" a11y_name >/dev/null
  ping=(dbus-send --bus="$a11y_bus" --dest="$(a11y_name)" --print-reply --reply-timeout=5000
    /org/a11y/atspi/accessible/root org.freedesktop.DBus.Properties.Get
    string:org.a11y.atspi.Accessible string:Name)
  answers() { "${ping[@]}" >/dev/null; }
  drive() { "$bin/bench_wlmonkey" "$W" "$H" "$APP_PID" "$1" "$2" "$3" -- "${ping[@]}" >/dev/null; }
  at_rest() { "$bin/bench_wlmonkey" "$W" "$H" rest || echo "note: a window besides the main one stayed open"; }
  # Pop-ups are not in sway's tree: its log counts them.
  popups() { grep -c 'New xdg_shell popup' "$E2E_TMP/sway.log" || true; }
  same_capture() { :; }
  let_go_of_clipboard() { :; } # no clipboard tool under sway here
else
  start_lumaro "$program" "$size"
  need import compare
  # 截取屏幕 as the fresh window shows it: its panel shown, the button on.
  xdotool mousemove 0 0
  settle
  read -r c5x c5y c5w c5h < <(control Command5)
  shot "$c5x" "$c5y" "$c5w" "$c5h" "$E2E_TMP/command5.png"
  answers() { "$XDRIVE" ping "$MAIN" 5000; }
  drive() { monkey_events "$@"; }
  # The program's other windows on the screen (menus and tooltips included).
  others() { xdotool search --onlyvisible --pid "$APP_PID" 2>/dev/null | grep -vx "$MAIN" || true; }
  at_rest() {
    for _ in $(seq 10); do
      [[ -z $(others) ]] && return 0
      xdotool key Escape
      "$XDRIVE" settle 100 3000 || true
    done
    echo "note: still open: $(others | wc -l) windows besides the main one"
  }
  # The program keeps its last capture, shown or not (初始化 only hides it),
  # and on the clipboard until another program takes that. So that both
  # readings hold the same, before each one it makes one capture of the same
  # region, and xclip then takes the clipboard. 截取屏幕 must be there for
  # that: after a capture 初始化 turns it back on, and the events may have
  # hidden its panel (窗口 > 图片窗口 shows it again).
  capture_ready() {
    xdotool mousemove 0 0
    settle
    shot "$c5x" "$c5y" "$c5w" "$c5h" "$E2E_TMP/command5-now.png"
    same_pixels "$E2E_TMP/command5.png" "$E2E_TMP/command5-now.png"
  }
  same_capture() {
    capture_ready || { press Command7 && capture_ready; } ||
      { xdotool windowfocus "$MAIN" key alt+w Up Return && capture_ready; } ||
      { press Command7 && capture_ready; } ||
      { echo "note: 截取屏幕 could not be reached; this reading holds whatever capture the events left"; return 0; }
    open_selector
    drag_corners 40 40 339 239
  }
  let_go_of_clipboard() {
    echo longrun | xclip -selection clipboard -i >/dev/null 2>&1 || echo "note: the clipboard could not be taken (xclip)"
  }
  popups() { :; }
fi

# memory: "VmRSS Pss Private_Dirty" of the program, in KiB, then where the
# resident part lies: "anon=… file=… shmem=…" (heap and other private
# memory; pages of mapped files, fonts and libraries, which the kernel may
# drop; shared memory such as the X11 window buffers). Every mapping's
# figures stay in $E2E_TMP/smaps-NAME.
memory() {
  local rss
  let_go_of_clipboard
  sleep 1 # idle a moment, as after a person's last click: what the program frees once idle is freed
  rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$APP_PID/status")
  awk -v rss="$rss" '/^Pss:/ {p = $2} /^Private_Dirty:/ {d = $2} END {printf "%s %s %s", rss, p, d}' "/proc/$APP_PID/smaps_rollup"
  awk '/^RssAnon:/ {a = $2} /^RssFile:/ {f = $2} /^RssShmem:/ {s = $2} END {printf " (anon=%s file=%s shmem=%s)\n", a, f, s}' "/proc/$APP_PID/status"
  cat "/proc/$APP_PID/smaps" >"$E2E_TMP/smaps-$1" || true
  cp "$E2E_TMP/heapinuse" "$E2E_TMP/heap-$1" 2>/dev/null || true
  # LONGRUN_SMAPS=DIR keeps them past the run, one file a reading.
  if [[ -n ${LONGRUN_SMAPS:-} ]]; then
    mkdir -p "$LONGRUN_SMAPS" && cp "$E2E_TMP/smaps-$1" "$LONGRUN_SMAPS/smaps-$(date +%s%N)-$1" || true
  fi
}
# grown EARLY LATE: the mappings whose resident part grew most between two
# readings, by file name ([heap], [anonymous], a font, a library).
grown() {
  awk '
    FNR == 1 { f++ }
    /^[0-9a-f]+-[0-9a-f]+ / { name = NF >= 6 ? $6 : "[anonymous]"; sub(/.*\//, "", name); seen[name]; next }
    /^Rss:/ { rss[f, name] += $2 }
    END { for (n in seen) if (rss[2, n] > rss[1, n]) printf "%d %s\n", rss[2, n] - rss[1, n], n }' \
    "$E2E_TMP/smaps-$1" "$E2E_TMP/smaps-$2" 2>/dev/null | sort -rn | head -n 4 |
    awk '{printf "%s%s +%.1f MiB", (NR > 1 ? ", " : ""), $2, $1 / 1024}'
}
mib() { awk -v k="$1" 'BEGIN {printf "%.1f MiB", k / 1024}'; }
# in_use NAME: "X MiB of Y MiB": of what glibc's allocator holds, how much
# the program's allocations still use, at that reading (bench_heapinuse).
in_use() {
  local used held
  read -r used held <"$E2E_TMP/heap-$1" 2>/dev/null || return 1
  echo "$(mib "$used") of $(mib "$held")"
}

# reached LOG...: how often the events reached each kind of window. A run of
# events on one window counts once; the titles say what a window is, the
# driver's log whether it is a pop-up (X11 only).
reached() {
  awk -v popups="$(popups)" '
    /^#/ {
      if ($3 == last) next
      last = $3
      match($0, /"[^"]*"/)
      title = substr($0, RSTART + 1, RLENGTH - 2)
      if (title == "截取屏幕") n["selector"]++
      else if (title == "打开文件") n["file"]++
      else if (title == "选择颜色") n["colour"]++
      else if ($4 == "popup") n["popup"]++
      else if (title == "Lumaro") n["message"]++
      else if (title != "Lumaro         " && $4 != "desktop") n["other"]++
    }
    END {
      if (popups != "") n["popup"] = popups
      printf "the selector %d times, file dialogs %d (with their questions), colour dialogs %d, message boxes %d, pop-ups (menus, drop-down lists, tooltips) %d, other windows %d\n",
        n["selector"], n["file"], n["colour"], n["message"], n["popup"], n["other"]
    }' "$@"
}

# ---- The run.
echo "longrun $mode: seed $seed, $events events (replay: LONGRUN_SEED=$seed bash bench/longrun.sh $mode $events)"
crashes=0 hangs=0 status=0 leg=1 early="" late=""
start=$SECONDS
drive "$seed" "$first" "$E2E_TMP/events-1.log" || status=$?
if ((status == 0)); then
  at_rest
  answers || status=2
fi
if ((status == 0)); then
  same_capture
  early=$(memory early)
  if ((events > first)); then
    leg=2
    drive "$seed2" $((events - first)) "$E2E_TMP/events-2.log" || status=$?
  fi
fi
if ((status == 0)); then
  at_rest
  answers || status=2
fi
if ((status == 0)); then
  same_capture
  late=$(memory late)
  if [[ -n ${LONGRUN_HEAPTRACK:-} ]]; then
    kill -KILL "$APP_PID"
    # Read while the program's files are still where it ran from.
    out=$LONGRUN_HEAPTRACK/heaptrack-$mode-$seed-$events.gz
    "$heaptrack_interpret" <"$E2E_TMP/heaptrack.raw" 2>/dev/null | gzip -1 >"$out"
    rm -f "$E2E_TMP/heaptrack.raw"
    echo "heaptrack: $out (heaptrack_print -f $out --print-leaks 1)"
  fi
fi
seconds=$((SECONDS - start))
# How much of that the allocator merely keeps: the same once it has handed
# back its whole free pages (gdb has the program call malloc_trim(0)).
trimmed=""
if ((status == 0)) && command -v gdb >/dev/null &&
  gdb -p "$APP_PID" -batch -ex 'call (int) malloc_trim(0)' >/dev/null 2>&1; then
  trimmed=$(memory trimmed)
fi

# The program still runs (a zombie has ended).
running() { [[ $(awk '{print $3}' "/proc/$APP_PID/stat" 2>/dev/null) =~ ^[^ZX]$ ]]; }
if ((status == 2)); then
  # A program that is going down (writing its core) may miss a ping while
  # it still runs: that is a crash, not a hang.
  for _ in $(seq 100); do running || break; sleep 0.1; done
  running || status=3
fi
if ((status != 0)); then
  keep=${TMPDIR:-/tmp}/lumaro-longrun-$mode-$seed
  mkdir -p "$keep"
  cp "$E2E_TMP"/events-*.log "$E2E_TMP/app.log" "$keep/"
  monkey_last_events "$E2E_TMP/events-$leg.log"
  echo "the program said, last: $(tail -n 20 "$E2E_TMP/app.log")"
  case $status in
    2)
      hangs=1
      E2E_DEBUG_HANG=1 threads_of "$APP_PID" >"$keep/threads.txt" 2>&1 || true
      echo "every thread, where it waits: $keep/threads.txt"
      ;;
    3)
      crashes=1
      # The core is whole once the process has ended; the file may lag a moment.
      for _ in $(seq 50); do [[ -s "$HOME/core" ]] && break; sleep 0.1; done
      if [[ -s "$HOME/core" ]]; then
        cp "$HOME/core" "$keep/core"
        gdb -batch -ex 'thread apply all bt' "$program" "$keep/core" >"$keep/backtrace.txt" 2>&1 || true
        echo "backtrace: $keep/backtrace.txt"
        grep -m1 -A20 '^Thread 1 ' "$keep/backtrace.txt" || true
      fi
      ;;
    *) echo "the run broke off (driver status $status): not counted as the program's fault" ;;
  esac
  echo "kept: $keep"
fi

echo "memory (KiB, VmRSS Pss Private_Dirty): after $first events ${early:-none}; at the end ${late:-none}" \
  "${trimmed:+(after malloc_trim(0): $trimmed)}"
[[ -n $early && -n $late ]] && echo "grown most (resident, after $first events to the end): $(grown early late)"
if in_use early >/dev/null && in_use late >/dev/null; then
  echo "still in use, of what the allocator holds: after $first events $(in_use early); at the end $(in_use late)"
fi
echo "reached: $(reached "$E2E_TMP"/events-*.log)"
verdict=FAIL ratio=-
if [[ -n $early && -n $late ]]; then
  read -r rss0 _ _ <<<"$early"
  read -r rss1 _ _ <<<"$late"
  ratio=$(awk -v a="$rss1" -v b="$rss0" 'BEGIN {printf "%.3f", a / b}')
  ((status == 0)) && awk -v r="$ratio" 'BEGIN {exit !(r <= 1.10)}' && verdict=PASS
fi
echo "longrun $mode: events $events, seed $seed, ${seconds} s, crashes $crashes, hangs $hangs," \
  "memory after $first events ${early:+$(mib "${early%% *}")}, at the end ${late:+$(mib "${late%% *}")}, ratio $ratio: $verdict"
[[ $verdict == PASS ]]
