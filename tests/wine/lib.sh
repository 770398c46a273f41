# Shared helpers for the Wine suites. Source it; it sets:
#   WINE64, WINE32  the 64- and 32-bit loaders; set either in the environment
#                   to use another (a WINE32 that exits 126 shows what the
#                   quenby suite does where 32-bit programs cannot run)
#   BUILD           the build root (build/ of the checkout unless MALVIK_BUILD is set)
# and defines wine_new_prefix, which makes a fresh, headless prefix under a
# temporary folder and exports WINEPREFIX for it.
set -euo pipefail

WINE64=${WINE64:-/usr/lib/wine/wine64}
WINE32=${WINE32:-/usr/lib/wine/wine}
# Not on PATH in Debian's packages.
WINESERVER=${WINESERVER:-/usr/lib/wine/wineserver}
BUILD=${MALVIK_BUILD:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/build}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY

WINE_TMP=""
wine_cleanup() {
  if [ -n "${WINEPREFIX:-}" ]; then WINEPREFIX="$WINEPREFIX" "$WINESERVER" -k 2>/dev/null || true; fi
  if [ -n "$WINE_TMP" ]; then rm -rf "$WINE_TMP"; fi
}
trap wine_cleanup EXIT

# wine_new_prefix: a fresh prefix; ends the previous one's server first, so
# drive letters defined by an earlier case do not leak into the next.
wine_new_prefix() {
  wine_cleanup
  WINE_TMP=$(mktemp -d)
  export WINEPREFIX="$WINE_TMP/prefix"
  "$WINE64" wineboot --init >/dev/null 2>&1
  WINEPREFIX="$WINEPREFIX" "$WINESERVER" -w 2>/dev/null || true
  # Z: maps the whole Linux root; the suites do not need it.
  rm -f "$WINEPREFIX/dosdevices/z:"
}

fail() { echo "wine: FAIL: $*" >&2; exit 1; }

# check_win64_console_exe EXE: a PE32+ x86-64 console program that imports
# only DLLs Windows ships.
check_win64_console_exe() {
  local name headers dll
  name=$(basename "$1")
  headers=$(x86_64-w64-mingw32-objdump -p "$1")
  grep -q 'file format pei-x86-64' <<<"$headers" || fail "$name is not PE32+ x86-64"
  grep -Eq '^Subsystem\s+0+3\b' <<<"$headers" || fail "$name is not a console program"
  for dll in $(grep -E '^\s+DLL Name:' <<<"$headers" | awk '{print tolower($3)}' | sort -u); do
    case "$dll" in
      kernel32.dll | user32.dll | advapi32.dll | ole32.dll | oleaut32.dll | msvcrt.dll | \
        shell32.dll | ntdll.dll | api-ms-win-*) ;;
      *) fail "$name imports $dll, which Windows does not ship" ;;
    esac
  done
}
