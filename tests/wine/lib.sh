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

# wine_boot_prefix DIR: a prefix made by Wine itself in DIR, its server ended.
# Z: maps the whole Linux root; the suites do not need it.
wine_boot_prefix() {
  WINEPREFIX="$1" "$WINE64" wineboot --init >/dev/null 2>&1
  WINEPREFIX="$1" "$WINESERVER" -w 2>/dev/null || true
  rm -f "$1/dosdevices/z:"
}

# The first fresh prefix a build needs is booted by Wine (many seconds) and
# kept under the build folder; every later one is a copy of it, made in a
# second or two, whose files are those of a prefix Wine has just booted. The
# copy is remade when the Wine version changes. MALVIK_WINE_TEMPLATE=0 boots
# every prefix anew.
WINE_TEMPLATE="$BUILD/wine-prefix-template"
wine_template() {
  local version
  version=$("$WINE64" --version 2>/dev/null || echo unknown)
  [ "$(cat "$WINE_TEMPLATE/wine-version" 2>/dev/null)" = "$version" ] && return
  local staging
  mkdir -p "$BUILD"
  staging=$(mktemp -d "$BUILD/wine-prefix-template.XXXXXX")
  wine_boot_prefix "$staging/prefix"
  echo "$version" >"$staging/wine-version"
  rm -rf "$WINE_TEMPLATE"
  mv "$staging" "$WINE_TEMPLATE"
}

# wine_new_prefix: a fresh prefix; ends the previous one's server first, so
# drive letters defined by an earlier case do not leak into the next.
wine_new_prefix() {
  wine_cleanup
  WINE_TMP=$(mktemp -d)
  export WINEPREFIX="$WINE_TMP/prefix"
  if [ "${MALVIK_WINE_TEMPLATE:-1}" = 0 ]; then
    wine_boot_prefix "$WINEPREFIX"
  else
    wine_template
    cp -a "$WINE_TEMPLATE/prefix" "$WINEPREFIX"
  fi
}

fail() { echo "wine: FAIL: $*" >&2; exit 1; }

# drive_letters: the prefix's drive letters and devices, by name and target
# only, for suites that compare them before and after a run: Wine recreates
# its serial-port links (com1 ...) with new times when a program opens a
# device, so a listing with times differs whenever a minute turns.
drive_letters() {
  find "$WINEPREFIX/dosdevices" -mindepth 1 -maxdepth 1 -printf '%f -> %l\n' | sort
}

# malvik_machine DIR [PBR_LABEL [PROGRAM...]]: a fresh prefix with the
# programs (default: the real malvik.exe, $exe) in C:\DIR (DIR below
# drive_c, "/" between folders, may hold spaces), an ESP on R: holding
# \EFI\Microsoft\Boot (its BCD hidden), a reset volume on M: labelled
# PBR_LABEL (default "PUSH BUTTON") with no recovery folder yet, and two stub
# boot-configuration scripts. Sets prog, progwin, esp and pbr. A suite adds
# its own differences after it; Wine reads labels when its server starts.
malvik_machine() {
  wine_new_prefix
  prog="$WINEPREFIX/drive_c/$1"
  progwin="C:\\${1//\//\\}"
  esp="$WINE_TMP/esp"
  pbr="$WINE_TMP/pbr"
  local label=${2:-PUSH BUTTON}
  shift $(($# < 2 ? $# : 2))
  [ $# -gt 0 ] || set -- "$exe"
  mkdir -p "$prog" "$esp/EFI/Microsoft/Boot/fonts" "$esp/EFI/Microsoft/Boot/resources" "$pbr"
  cp "$@" "$prog/"
  echo ESP >"$esp/.windows-label"
  echo "$label" >"$pbr/.windows-label"
  for f in bootmgfw.efi bootmgr.efi memtest.efi BCD fonts/wgl4_boot.ttf resources/bootres.dll; do
    echo "$f" >"$esp/EFI/Microsoft/Boot/$f"
  done
  ln -s "$esp" "$WINEPREFIX/dosdevices/r:"
  ln -s "$pbr" "$WINEPREFIX/dosdevices/m:"
  "$WINE64" cmd /c attrib +h 'R:\EFI\Microsoft\Boot\BCD' >/dev/null 2>&1
  stub_script modifybcdtoPBR 7
  stub_script modifybcdtoWinRE 9
}

# stub_script NAME CODE: $prog/NAME.cmd records its two arguments in
# NAME.args beside itself, says "NAME ran with" them on its standard output
# and ends with CODE.
stub_script() {
  printf '@echo off\r\n>"%%~dp0%s.args" echo %%1 %%2\r\necho %s ran with %%1 %%2\r\nexit /b %s\r\n' \
    "$1" "$1" "$2" >"$prog/$1.cmd"
}

# tree_state DIR: every folder below DIR and the MD5 sum of every file, in a
# fixed order, to tell whether a tree is byte for byte what it was.
tree_state() {
  [ -d "$1" ] || { echo "(no folder $1)"; return; }
  (cd "$1" && find . -type d | LC_ALL=C sort &&
    find . -type f -print0 | LC_ALL=C sort -z | xargs -0 -r md5sum)
}

# presence_lines ESP VALUE...: the seven lines on what \EFI\OEM holds that
# end malvik's log, for the ESP letter ESP, with these seven values.
presence_lines() {
  local esp=$1 path
  shift
  for path in '' '\boot\BCD' '\boot\bootmgfw.efi' '\boot\bootmgr.efi' '\boot\memtest.efi' \
    '\boot\fonts' '\boot\resources'; do
    printf '%s\n' "$esp\\EFI\\OEM$path=$1"
    shift
  done
}

# expect_log_end TEXT: the log in $log ends with the lines of TEXT, each after
# its 24-character time stamp, taken literally.
expect_log_end() {
  local got
  got=$(tail -n "$(wc -l <<<"$1")" <<<"$log" | cut -c25-)
  [ "$got" = "$1" ] || fail "${case_name:+$case_name: }the log ends with:
$got
expected:
$1"
}

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
