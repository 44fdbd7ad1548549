#!/usr/bin/env bash
# Runs a Windows program under Wine: the cross-compiling emulator of the Windows build.
#
#   wine-run.sh [--prefix DIR] [--display] PROGRAM.exe [ARGS...]
#   wine-run.sh [--prefix DIR] --init      (only make the prefix and start Wine; before ctest)
#   wine-run.sh [--prefix DIR] --stop      (end the prefix's wineserver)
#
# The prefix (default: $WINEPREFIX, else ~/.wine) is made on first use with `wineboot -i`, without
# Mono or Gecko and with the crash dialog switched off; a lock makes that safe when ctest starts
# several programs at once. Its wineserver stays VEXA_WINE_PERSIST seconds (default 10) after the
# last program, so that programs run back to back do not each pay for starting Wine. --display (or VEXA_WINE_DISPLAY=1) gives the program a display: the one
# in $DISPLAY, else a virtual one from xvfb-run. Console programs need none.
# The program's exit code is passed on.
set -euo pipefail

prefix="${WINEPREFIX:-$HOME/.wine}"
display="${VEXA_WINE_DISPLAY:-0}"
action=run
while [ $# -gt 0 ]; do
  case "$1" in
    --prefix) prefix="$2"; shift 2 ;;
    --prefix=*) prefix="${1#--prefix=}"; shift ;;
    --display) display=1; shift ;;
    --init) action=init; shift ;;
    --stop) action=stop; shift ;;
    --) shift; break ;;
    *) break ;;
  esac
done
if [ "$action" = run ] && [ $# -eq 0 ]; then
  echo "usage: $0 [--prefix DIR] [--display] PROGRAM [ARGS...] | --init | --stop" >&2
  exit 2
fi

# The 64-bit loader: `wine64` where the distribution has one on the path (or in its private
# directory, as Debian 12 does), else the unified `wine` of newer releases.
find_wine() {
  local candidate
  for candidate in wine64 /usr/lib/wine/wine64 /usr/lib64/wine/wine64 wine; do
    if command -v "$candidate" >/dev/null 2>&1; then
      command -v "$candidate"
      return
    fi
  done
  echo "wine-run.sh: no Wine found (install wine and wine64)" >&2
  exit 127
}
find_wineserver() {
  local candidate
  for candidate in wineserver /usr/lib/wine/wineserver64 /usr/lib/wine/wineserver; do
    if command -v "$candidate" >/dev/null 2>&1; then
      command -v "$candidate"
      return
    fi
  done
  echo "wine-run.sh: no wineserver found" >&2
  exit 127
}

wine="$(find_wine)"
wineserver="$(find_wineserver)"
mkdir -p "$(dirname "$prefix")"
prefix="$(cd "$(dirname "$prefix")" && pwd)/$(basename "$prefix")"

export WINEPREFIX="$prefix"
export WINELOADER="$wine"
export WINEARCH=win64
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko installer prompt; no menu entries or file associations on the host.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"

if [ "$action" = stop ]; then
  [ -d "$prefix" ] && "$wineserver" -k 2>/dev/null || true
  exit 0
fi

# Under a lock, so that ctest may start several programs at once:
# - make the prefix once;
# - start its wineserver and services when none run. Wine's services inherit the output of the
#   process that starts them and outlive it until the server ends; started here, detached, they
#   cannot keep a caller that reads the program's output (ctest) waiting after the program ends.
# (Each command started under the lock gets 9>&-: a server left running must not keep holding it.)
exec 9>"$prefix.lock"
flock 9
if [ ! -e "$prefix/.vexa-ready" ]; then
  rm -rf "$prefix"
  DISPLAY= "$wine" wineboot.exe -i </dev/null >/dev/null 2>&1 9>&-
  "$wine" reg.exe add 'HKCU\Software\Wine\WineDbg' /v ShowCrashNotification /t REG_DWORD /d 0 /f \
    </dev/null >/dev/null 2>&1 9>&-
  "$wineserver" -w 9>&-
  touch "$prefix/.vexa-ready"
fi
# Fails (harmlessly) when the prefix's server already runs.
if "$wineserver" -p"${VEXA_WINE_PERSIST:-10}" </dev/null >/dev/null 2>&1 9>&-; then
  DISPLAY= "$wine" wineboot.exe </dev/null >/dev/null 2>&1 9>&- || true
fi
exec 9>&-
[ "$action" = init ] && exit 0

if [ "$display" = 1 ] && [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$wine" "$@"
fi
if [ "$display" != 1 ]; then
  unset DISPLAY
fi
exec "$wine" "$@"
