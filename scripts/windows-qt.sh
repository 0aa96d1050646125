#!/usr/bin/env bash
# Builds Qt 6.4.2 (qtbase: Core, Gui, Widgets, Test and the windows and
# offscreen platform plugins) for 64-bit Windows from Debian's own qt6-base
# source, with the mingw-w64 cross compiler, and installs it into a cache
# folder outside the checkout. A finished cache built with the same options
# is reused; the first build takes about half an hour on two cores.
#
#   bash scripts/windows-qt.sh            prints the Qt prefix when done
#   LUMARO_QT_WIN=/some/dir bash scripts/windows-qt.sh
#
# The source comes through a private apt source list in the cache: the
# machine's apt configuration and its package lists are not touched.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
cache=${LUMARO_CACHE:-$HOME/.cache/lumaro}
prefix=${LUMARO_QT_WIN:-$cache/qt-6.4.2-win64}
work=${LUMARO_QT_WIN_WORK:-$cache/qt-6.4.2-win64-work}
jobs=${LUMARO_JOBS:-$(nproc)}

options=(
  -DCMAKE_BUILD_TYPE=Release
  -DBUILD_SHARED_LIBS=ON
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
  # Only what Lumaro uses.
  -DFEATURE_dbus=OFF -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_concurrent=OFF
  -DFEATURE_xml=OFF -DFEATURE_printsupport=OFF -DFEATURE_opengl=OFF -DFEATURE_vulkan=OFF
  -DFEATURE_icu=OFF -DFEATURE_glib=OFF -DFEATURE_testlib=ON
  # Everything from Qt's own 3rdparty folder: nothing of the build machine.
  -DFEATURE_system_zlib=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF
  -DFEATURE_system_pcre2=OFF -DFEATURE_system_harfbuzz=OFF
  -DFEATURE_png=ON -DFEATURE_jpeg=ON -DFEATURE_gif=ON
  # The offscreen platform (for the unit suites) is built only with FreeType.
  -DFEATURE_freetype=ON -DFEATURE_system_freetype=OFF
  # Debian's source has no src/3rdparty/wintab.
  -DFEATURE_tabletevent=OFF
  # Qt 6.4 builds its DirectWrite font database only with direct2d on;
  # without it qwindows.dll does not link.
  -DFEATURE_direct2d=ON -DFEATURE_direct2d1_1=OFF
  # Without OpenGL, dynamic GL must go too: qwindowswindow.cpp uses its
  # context class whenever dynamicgl is on.
  -DFEATURE_dynamicgl=OFF
)
stamp="qtbase 6.4.2 ${options[*]} $(sha256sum "$repo/cmake/mingw-w64-x86_64.cmake" | cut -c1-16)"

if [[ -f $prefix/lib/cmake/Qt6/Qt6Config.cmake && -f $prefix/lumaro-build.txt ]] &&
   [[ $(cat "$prefix/lumaro-build.txt") == "$stamp" ]]; then
  echo "$prefix"
  exit 0
fi

mkdir -p "$work"
log() { echo "windows-qt: $*" >&2; }

# 1. The source, through a private source list made from the machine's own
#    Debian entry (its URI and first suite, component main).
srcdir=$(find "$work" -maxdepth 1 -type d -name 'qt6-base-6.4.2*' | head -n1)
if [[ -z $srcdir || ! -f $srcdir/CMakeLists.txt ]]; then
  aptdir=$work/apt
  mkdir -p "$aptdir/lists/partial" "$work/src"
  entry=$(python3 - <<'PY'
import glob, re
def deb822(path):
    for block in re.split(r'\n\s*\n', open(path).read()):
        f = {}
        for line in block.splitlines():
            if line.startswith('#') or ':' not in line or line[0].isspace():
                continue
            k, v = line.split(':', 1)
            f[k.strip().lower()] = v.strip()
        if 'deb' in f.get('types', '').split() and f.get('uris') and f.get('suites'):
            if 'main' in f.get('components', '').split():
                yield f['uris'].split()[0], f['suites'].split()[0], f.get('signed-by', '')
def oneline(path):
    for line in open(path):
        m = re.match(r'\s*deb\s+(\[[^\]]*\]\s+)?(\S+)\s+(\S+)\s+(.*)', line)
        if m and 'main' in m.group(4).split():
            opts = m.group(1) or ''
            sb = re.search(r'signed-by=(\S+?)[\s\]]', opts)
            yield m.group(2), m.group(3), sb.group(1) if sb else ''
found = []
for p in ['/etc/apt/sources.list'] + sorted(glob.glob('/etc/apt/sources.list.d/*.list')):
    try: found += list(oneline(p))
    except OSError: pass
for p in sorted(glob.glob('/etc/apt/sources.list.d/*.sources')):
    found += list(deb822(p))
# The distribution's own archive, not a security or third-party one.
found = [e for e in found if '-security' not in e[1] and '-updates' not in e[1]] or found
if found:
    uri, suite, signed = found[0]
    print(f"deb-src [signed-by={signed}] {uri} {suite} main" if signed else f"deb-src {uri} {suite} main")
PY
)
  [[ -n $entry ]] || { log "no deb entry with component main in /etc/apt"; exit 1; }
  echo "$entry" >"$aptdir/sources.list"
  aptopts=(-o Dir::Etc::sourcelist="$aptdir/sources.list" -o Dir::Etc::sourceparts=-
           -o Dir::State::Lists="$aptdir/lists" -o Dir::Cache::pkgcache= -o Dir::Cache::srcpkgcache=)
  log "fetching qt6-base's source"
  apt-get "${aptopts[@]}" -qq update >&2
  (cd "$work/src" && apt-get "${aptopts[@]}" -qq source --download-only qt6-base) >&2
  dsc=$(ls "$work"/src/qt6-base_6.4.2*.dsc 2>/dev/null | head -n1)
  [[ -n $dsc ]] || { log "the archive has no qt6-base 6.4.2: $(ls "$work/src")"; exit 1; }
  rm -rf "$work"/qt6-base-6.4.2*
  (cd "$work" && dpkg-source --no-check -x "$dsc" >/dev/null)
  srcdir=$(find "$work" -maxdepth 1 -type d -name 'qt6-base-6.4.2*' | head -n1)
fi

# 2. Configure and build for Windows, at low priority: the build machine is shared.
build=$work/build
if [[ ! -f $build/build.ninja || $(cat "$build/lumaro-build.txt" 2>/dev/null) != "$stamp" ]]; then
  # Changed options reconfigure the build folder in place: ninja then
  # rebuilds only what they touch.
  log "configuring $srcdir"
  cmake -G Ninja -S "$srcdir" -B "$build" \
        -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-w64-x86_64.cmake" \
        -DCMAKE_INSTALL_PREFIX="$prefix" "${options[@]}" >"$work/configure.log"
  echo "$stamp" >"$build/lumaro-build.txt"
fi
log "building (log: $work/build.log)"
nice -n 19 cmake --build "$build" --parallel "$jobs" >"$work/build.log" 2>&1 ||
  { tail -n 40 "$work/build.log" >&2; exit 1; }

# 3. Install. The stamp is written last: an interrupted install is never
#    taken for a finished one.
rm -rf "$prefix"
cmake --install "$build" >"$work/install.log"
echo "$stamp" >"$prefix/lumaro-build.txt"
echo "$prefix"
