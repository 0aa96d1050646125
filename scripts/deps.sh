#!/usr/bin/env bash
# Installs whatever is missing to build and run Lumaro on Debian 12 / Ubuntu.
#   bash scripts/deps.sh          what the program needs
#   bash scripts/deps.sh --test   that, plus what the test suite needs
#   bash scripts/deps.sh --windows  the cross build for Windows and Wine
#                                   (scripts/windows-qt.sh, scripts/windows.sh)
set -euo pipefail

want=(
  cmake g++ make pkgconf
  qt6-base-dev qt6-base-dev-tools   # Qt 6 Widgets, Test, DBus, the xcb platform plugin
  qt6-wayland                       # runs natively on a Wayland desktop
  libxcb1-dev libxcb-shm0-dev libxcb-randr0-dev libxcb-render0-dev libxcb-xinput-dev   # the capture library's X11 grab, shade and pointer
  qt6-translations-l10n             # Chinese texts for Qt's own dialogs and buttons
  fonts-arphic-uming                # Song-style (serif) CJK font behind "宋体"
  fonts-wqy-microhei                # sans CJK font, the next fallback
)
windows_want=(
  g++-mingw-w64-x86-64-posix mingw-w64-tools   # the cross compiler (posix threads) and its pkg-config
  ninja-build dpkg-dev              # building Qt for Windows from Debian's own qt6-base source
  wine wine64 xclip                 # running the Windows build; the clipboard (tests/windows/capture.sh)
  nsis                              # makensis, the installer
  zip unzip                         # the portable archive (unzip: tests/windows/installer.sh)
  xvfb xauth xdotool x11-utils x11-xserver-utils imagemagick   # the end-to-end run under Wine
  fontconfig fonts-dejavu-core      # fonts for the offscreen test runs
  qt6-translations-l10n fonts-arphic-uming fonts-wqy-microhei
  libx11-dev libxtst-dev libxdamage-dev   # tests/e2e/xdrive.c, built for this machine
)
if [[ "${1:-}" == --windows ]]; then
  want+=("${windows_want[@]}")
fi
if [[ "${1:-}" == --test ]]; then
  want+=("${windows_want[@]}")
  want+=(
    xvfb xauth xdotool x11-utils    # end-to-end tests drive the real window
    x11-xserver-utils xclip         # two monitors on one Xvfb (xrandr), reading the clipboard
    libx11-dev libxtst-dev libxdamage-dev libxfixes-dev   # tests/e2e/xdrive.c, the outside timer
    imagemagick                     # independent screenshots to compare captures with
    dbus dbus-x11 at-spi2-core python3-pyatspi   # reading the window over AT-SPI
    clang                           # the libFuzzer target
    # A headless Wayland session with the desktop portal, for the capture tests there
    sway swaybg xwayland grim wtype xdg-desktop-portal xdg-desktop-portal-wlr xdg-desktop-portal-gtk
    pipewire libglib2.0-bin libwayland-dev libwayland-bin wayland-protocols
    kwin-wayland python3-dbus       # a headless KWin session and its screenshot interface
    plasma-wayland-protocols        # KWin's fake input, for a pointer and keys there
    # A headless GNOME Shell session (logind mocked on a private system bus) and its portal
    gnome-shell python3-dbusmock xdg-desktop-portal-gnome
    # Installing: the validators, the Debian package's dependencies and checks
    desktop-file-utils appstream dpkg-dev lintian
  )
fi

# On a Wayland desktop the screen is read through the desktop portal: its
# service and the backend of this desktop.
if [[ "${XDG_SESSION_TYPE:-}" == wayland || -n "${WAYLAND_DISPLAY:-}" ]]; then
  case "${XDG_CURRENT_DESKTOP:-}" in
    *GNOME*|*gnome*) want+=(xdg-desktop-portal xdg-desktop-portal-gnome) ;;
    *KDE*) want+=(xdg-desktop-portal xdg-desktop-portal-kde) ;;
    *sway*|*wlroots*|*Hyprland*|*river*) want+=(xdg-desktop-portal xdg-desktop-portal-wlr) ;;
    *) want+=(xdg-desktop-portal) ;;
  esac
fi

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'ok installed'; }

missing=()
for p in "${want[@]}"; do installed "$p" || missing+=("$p"); done

# libFuzzer's runtime lives in its own package on Debian 12 (libclang-rt-14-dev).
if [[ "${1:-}" == --test ]] && ! installed libclang-rt-14-dev && ! ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
  missing+=(libclang-rt-14-dev)
fi

((${#missing[@]})) || exit 0

sudo=
if [[ $(id -u) -ne 0 ]]; then sudo=sudo; fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
