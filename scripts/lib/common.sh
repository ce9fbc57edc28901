# Shared by the project's scripts: installing what the build needs, the virtual display and Wine.
# Source it; it defines functions only.

ORVANE_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
ORVANE_BUILD=${ORVANE_BUILD:-$ORVANE_ROOT/build/wine}

# xclip: the end-to-end tests read the clipboard as an X11 program reads it from Wine. gettext checks
# the translations; locales makes the languages the installer's tests run Wine in (Wine's language
# follows LANG), and fonts-wqy-microhei the Japanese and Chinese letters that Wine's own fonts lack.
# python3 packs the zip and writes the package manifests (python3-yaml reads them back in the tests);
# osslsigncode signs and verifies, openssl makes the tests' throwaway certificate; git dates the zip.
ORVANE_PACKAGES=(cmake make g++ g++-mingw-w64-x86-64-posix googletest wine wine64 fonts-wine xvfb xauth xclip nsis clang libclang-rt-14-dev libturbojpeg0-dev gettext perl locales fonts-wqy-microhei
                 python3 python3-yaml osslsigncode openssl git)

orvane_log() { printf '[orvane] %s\n' "$*" >&2; }

# Installs the Debian packages that are missing (the only downloads the project makes).
orvane_install_packages() {
  local missing=() pkg
  for pkg in "${ORVANE_PACKAGES[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  orvane_log "installing ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# The locales the installer's tests run Wine in (Wine's language follows LANG), made where missing.
ORVANE_LOCALES=(en_US de_DE fr_FR es_ES it_IT pt_BR nl_NL pl_PL ja_JP zh_CN)
orvane_make_locales() {
  local have name sudo=""
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  have=$(locale -a 2>/dev/null | tr '[:upper:]' '[:lower:]')
  for name in "${ORVANE_LOCALES[@]}"; do
    grep -qx "$(echo "$name.utf8" | tr '[:upper:]' '[:lower:]')" <<<"$have" && continue
    orvane_log "making the locale $name.UTF-8"
    $sudo localedef -i "$name" -f UTF-8 "$name.UTF-8" || orvane_log "could not make $name.UTF-8"
  done
}

orvane_build() {
  cmake --preset wine -S "$ORVANE_ROOT" >/dev/null
  cmake --build --preset wine -j "$(nproc)" "$@"
}

ORVANE_STARTED_XVFB=""       # the virtual display started last (its Xvfb's pid)
ORVANE_STARTED_XVFBS=""      # every one started, for orvane_stop
ORVANE_STARTED_PREFIXES=""   # the prefixes whose wineserver we started
ORVANE_DISPLAY_SIZE=""  # WIDTHxHEIGHT of the virtual display we started

# Starts a virtual display unless one is given (or CI or ORVANE_OWN_DISPLAY asks for a clean one);
# ORVANE_SCREEN sets its size.
orvane_start_display() {
  if [ -n "${DISPLAY:-}" ] && [ -z "${CI:-}" ] && [ -z "${ORVANE_OWN_DISPLAY:-}" ]; then
    return 0
  fi
  local n
  for n in $(seq 91 140); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 "${ORVANE_SCREEN:-1920x1200x24}" -nolisten tcp -ac >/dev/null 2>&1 </dev/null &
    ORVANE_STARTED_XVFB=$!
    local i
    for i in $(seq 1 100); do
      [ -e "/tmp/.X11-unix/X$n" ] && break
      kill -0 "$ORVANE_STARTED_XVFB" 2>/dev/null || break
      sleep 0.1
    done
    if [ -e "/tmp/.X11-unix/X$n" ]; then
      export DISPLAY=":$n"
      ORVANE_STARTED_XVFBS="$ORVANE_STARTED_XVFBS $ORVANE_STARTED_XVFB"
      ORVANE_DISPLAY_SIZE=${ORVANE_SCREEN:-1920x1200x24}
      ORVANE_DISPLAY_SIZE=${ORVANE_DISPLAY_SIZE%x*}
      orvane_log "virtual display $DISPLAY (Xvfb pid $ORVANE_STARTED_XVFB)"
      return 0
    fi
    ORVANE_STARTED_XVFB=""
  done
  orvane_log "could not start a virtual display"
  return 1
}

# The environment every Wine program of ours runs in: our own prefix (WINEPREFIX_OVERRIDE names
# another), no Mono, no Gecko, and no menu builder writing icons and menu entries into the home folder.
orvane_wine_environment() {
  export WINEPREFIX=${WINEPREFIX_OVERRIDE:-$ORVANE_BUILD/prefix}
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  export WINEDEBUG=${WINEDEBUG:--all}
  export WINEARCH=win64
}

# Makes the prefix when it does not exist yet (it takes a while: scripts/test does it during the
# build), as a copy of ORVANE_PREFIX_TEMPLATE when that names one.
orvane_create_prefix() {
  orvane_wine_environment
  mkdir -p "$WINEPREFIX"
  [ -f "$WINEPREFIX/system.reg" ] && return 0
  if [ -n "${ORVANE_PREFIX_TEMPLATE:-}" ] && [ -f "$ORVANE_PREFIX_TEMPLATE/system.reg" ]; then
    orvane_log "copying Wine prefix $ORVANE_PREFIX_TEMPLATE to $WINEPREFIX"
    cp -a "$ORVANE_PREFIX_TEMPLATE/." "$WINEPREFIX/"
    return 0
  fi
  orvane_log "creating Wine prefix $WINEPREFIX"
  wineboot -i </dev/null >/dev/null 2>&1 || true
  wineserver -w </dev/null >/dev/null 2>&1 || true
}

# A Wine prefix of our own, and a wineserver warmed up with its pipes pointing away from us:
# Wine's background services inherit the standard handles of the first Wine process, and a
# test runner waiting on them would wait forever.
orvane_start_wine() {
  orvane_create_prefix
  # Wine draws the title-bar buttons with Marlett. Debian's fonts-wine puts it in /usr/share/wine/fonts,
  # where Wine 8 does not find it for the caption buttons (they show as the letters "0 1 r"); in the
  # prefix's Fonts folder it does.
  local marlett=/usr/share/wine/fonts/marlett.ttf fonts="$WINEPREFIX/drive_c/windows/Fonts"
  if [ -f "$marlett" ] && [ -d "$fonts" ] && [ ! -f "$fonts/marlett.ttf" ]; then cp "$marlett" "$fonts/"; fi
  wineserver -p </dev/null >/dev/null 2>&1 || true
  ORVANE_STARTED_PREFIXES="$ORVANE_STARTED_PREFIXES $WINEPREFIX"
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true
  # Wine's desktop process is started by the first process that needs the desktop, with that
  # process's standard handles, and lives while any process uses the desktop: started by a test, it
  # keeps the test's output pipe open and CTest waits for it until the timeout. This holds the desktop
  # from here on, with no such handles (tools/keep_desktop); `wineserver -k` ends it.
  orvane_virtual_desktop
  if [ -f "$ORVANE_BUILD/bin/keep_desktop.exe" ]; then
    local ready="$WINEPREFIX/desktop-ready"
    rm -f "$ready"
    wine "$ORVANE_BUILD/bin/keep_desktop.exe" "$(orvane_winpath "$WINEPREFIX")\\desktop-ready" \
      </dev/null >/dev/null 2>&1 &
    local waited=0
    while [ ! -f "$ready" ] && [ $waited -lt 100 ]; do sleep 0.1; waited=$((waited + 1)); done
    [ -f "$ready" ] || orvane_log "the desktop holder did not report in 10 s; going on"
  fi
  # The Windows version Wine reports, per program: orvane.exe runs as on Windows 10, with a composited
  # desktop, as its users have it; the desktop tests run as on Windows 7 and, as a second executable,
  # as on Windows 10, and the run benchmark as orvane.exe. Tests that need the other one set it for
  # their runs themselves.
  local program version
  for program in orvane.exe:win10 desktop_tests.exe:win7 capture_tests_win10.exe:win10 run_bench.exe:win10; do
    version=${program#*:}
    program=${program%%:*}
    wine reg add "HKCU\\Software\\Wine\\AppDefaults\\$program" /v Version /d "$version" /f \
      </dev/null >/dev/null 2>&1 || true
  done
  # No default mail program, as on a Windows machine without one. Wine's own default hands mail to the
  # host's mail program, which is not ours to drive; tests register the Simple MAPI stand-in themselves.
  wine reg delete "HKLM\\Software\\Clients\\Mail" /ve /f </dev/null >/dev/null 2>&1 || true
  # Nor a mailto: handler: Wine's own (winebrowser) would hand links to the host's browser.
  wine reg delete "HKLM\\Software\\Classes\\mailto" /f </dev/null >/dev/null 2>&1 || true
}

# Wine draws window frames and title bars itself only in a virtual desktop; on a bare X display without
# a window manager a window has none, a minimised one stays where it was, and a capture reads a black
# band where Windows shows the title bar. So every Wine program here runs in a virtual desktop named
# "Orvane-<size>", as large as the display (the size of the virtual display we started, or that
# xdpyinfo reads). Set before the desktop holder starts: the desktop is made by the first program that
# asks for it.
orvane_virtual_desktop() {
  local size=""
  if [ -n "$ORVANE_STARTED_XVFB" ]; then
    size=$ORVANE_DISPLAY_SIZE
  elif command -v xdpyinfo >/dev/null 2>&1; then
    size=$(xdpyinfo 2>/dev/null | awk '/dimensions:/ { print $2; exit }')
  fi
  if [ -z "$size" ]; then
    wine reg delete "HKCU\\Software\\Wine\\Explorer" /v Desktop /f </dev/null >/dev/null 2>&1 || true
    return 0
  fi
  # The size is in the name: the warm-up above may already have made the desktop of the name set last
  # time, at that time's size, and a desktop keeps the size it was made with.
  local name="Orvane-$size"
  wine reg add "HKCU\\Software\\Wine\\Explorer\\Desktops" /v "$name" /d "$size" /f </dev/null >/dev/null 2>&1 || true
  wine reg add "HKCU\\Software\\Wine\\Explorer" /v Desktop /d "$name" /f </dev/null >/dev/null 2>&1 || true
}

# A second desktop for the tests that wait out long deadlines (scripts/lib/second-desktop): a virtual
# display and a prefix of its own (a copy of the first), prepared as the first is. The first stays the
# one DISPLAY and WINEPREFIX name.
orvane_start_second_desktop() {
  local display=${DISPLAY:-} prefix=$WINEPREFIX started=$ORVANE_STARTED_XVFB size=$ORVANE_DISPLAY_SIZE
  if ! ORVANE_OWN_DISPLAY=1 orvane_start_display; then
    ORVANE_STARTED_XVFB=$started
    return 1
  fi
  ORVANE_PREFIX_TEMPLATE=$prefix WINEPREFIX_OVERRIDE=$ORVANE_BUILD/prefix-second orvane_start_wine
  export ORVANE_SECOND_DISPLAY=$DISPLAY ORVANE_SECOND_WINEPREFIX=$WINEPREFIX
  export DISPLAY=$display WINEPREFIX=$prefix
  ORVANE_STARTED_XVFB=$started
  ORVANE_DISPLAY_SIZE=$size
}

orvane_stop() {
  local prefix pid
  for prefix in $ORVANE_STARTED_PREFIXES; do
    WINEPREFIX=$prefix wineserver -k </dev/null >/dev/null 2>&1 || true
  done
  ORVANE_STARTED_PREFIXES=""
  for pid in $ORVANE_STARTED_XVFBS; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  ORVANE_STARTED_XVFBS=""
  ORVANE_STARTED_XVFB=""
}

# Windows path of a file on this machine, as Wine maps it.
orvane_winpath() { printf 'Z:%s' "$(realpath "$1" | tr / '\\\\')"; }
