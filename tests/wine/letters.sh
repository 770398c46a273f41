# Wine suite for malvik.exe's letter scans: folders mapped as drives, each
# with a volume label, and the lines the real program logs about them.
# Under Wine the inventory finds no fixed disk, so no partition is probed;
# the firmware probe answers legacy BIOS, so both scans run.
source "$(dirname "$0")/lib.sh"

exe="$BUILD/win64/malvik.exe"
[ -f "$exe" ] || fail "$exe is missing (build the win64 preset)"

# Wine's server is not on PATH here. A drive mapped, or a label changed,
# while a prefix's server runs stays unknown to it, so the server is ended
# before each run, and again when the suite ends.
WINESERVER=${WINESERVER:-/usr/lib/wine/wineserver}
end_server() { if [ -n "${WINEPREFIX:-}" ]; then "$WINESERVER" -k 2>/dev/null || true; fi; }
trap 'end_server; wine_cleanup' EXIT

wine_new_prefix
tools="$WINEPREFIX/drive_c/Tools"
mkdir -p "$tools"
cp "$exe" "$tools/"
volume="$WINE_TMP/volume-e"
mkdir -p "$volume"
ln -s "$volume" "$WINEPREFIX/dosdevices/e:"

# run_with_label LABEL: E: carries LABEL; runs malvik.exe with a fresh log
# and leaves the log's lines, CRs removed, in $text. Wine reads a label once,
# when its server starts, so the server is ended first.
run_with_label() {
  printf '%s\n' "$1" >"$volume/.windows-label"
  end_server
  "$WINESERVER" -w 2>/dev/null || true
  rm -rf "$tools/Log"
  "$WINE64" 'C:\Tools\malvik.exe' >/dev/null 2>&1 || fail "malvik.exe failed with E: labelled '$1'"
  [ -f "$tools/Log/Malvik.log" ] || fail "no log with E: labelled '$1'"
  text=$(tr -d '\r' <"$tools/Log/Malvik.log")
}

# expect_lines LINE...: the log's lines (message=value) from the first of
# them on are exactly these, followed by the letter summary.
expect_lines() {
  local got want
  got=$(sed -E 's/^.{24}//' <<<"$text" |
    awk -v first="$1" '$0 == first { on = 1 } on { print } on && /^RecoveryLetter:/ { exit }')
  want=$(printf '%s\n' "$@" 'RecoveryLetter:W:   ESPLetter:R:   PBRLetter:M:')
  [ "$got" = "$want" ] || fail "expected the lines
$want
but the log has
$text"
}

run_with_label 'System Reserved'
expect_lines 'ERROR_INVALID_FUNCTION=Boot system from Legacy BIOS' \
  '[1]AssignLetterToSYS=' '[1]No need to mount SYS=System Reserved'

run_with_label 'pqservice'
expect_lines 'ERROR_INVALID_FUNCTION=Boot system from Legacy BIOS' \
  '[1]AssignLetterToKSV=' '[1]No need to mount KSV=PQSERVICE'

run_with_label 'Push Button Reset'
expect_lines 'ERROR_INVALID_FUNCTION=Boot system from Legacy BIOS' \
  '[1]AssignLetterToPBR=' '[1]No need to mount PBR=PUSH BUTTON RESET'

# A label that only contains the wanted text is no match: no [1] line.
run_with_label 'MY PUSH BUTTON'
expect_lines 'ERROR_INVALID_FUNCTION=Boot system from Legacy BIOS'

echo "wine: letters: ok"
