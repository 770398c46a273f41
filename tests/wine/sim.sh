# Wine suite for malvik-sim.exe, the simulator on Windows: it answers as on
# Linux (the fleet check of examples\, every example's --json report byte for
# byte), loads a description from a path with a space and letters outside
# ASCII, and writes --out into a Windows folder, refusing a reparse point
# below it; --html replaces a page, refusing a link.
source "$(dirname "$0")/lib.sh"

exe="$BUILD/win64/malvik-sim.exe"
sim="$BUILD/native/malvik-sim"
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
[ -f "$exe" ] || fail "$exe is missing (build the win64 preset)"
[ -x "$sim" ] || fail "$sim is missing (build the native preset)"

check_win64_console_exe "$exe"

# The examples and the program in C:\sim, the folder every run starts in.
wine_new_prefix
work="$WINEPREFIX/drive_c/sim"
mkdir -p "$work"
cp "$exe" "$work/"
cp -r "$ROOT/examples" "$work/"
rm -r "$work/examples/expected"
cd "$work"
# Arguments outside ASCII reach Wine as UTF-8; colour would be on for a
# terminal, so only the redirection turns it off.
export LC_ALL=C.UTF-8 TERM=xterm
unset NO_COLOR

# run NAME ARG...: malvik-sim.exe with the arguments; its standard output in
# $out.NAME, standard error in $err.NAME, exit status in $status.
run() {
  local name=$1
  shift
  status=0
  "$WINE64" 'C:\sim\malvik-sim.exe' "$@" >"$WINE_TMP/out.$name" 2>"$WINE_TMP/err.$name" ||
    status=$?
}

# ---- 1. the fleet check, as the examples' expected file --------------------
# Given as examples/, the files are named as in check.txt; given as
# examples\, the way Windows writes a folder, with that separator.
expected="$ROOT/examples/expected/check.txt"
run check-slash check examples/
[ "$status" = 1 ] || fail "check examples/: exit status $status, expected 1"
cmp -s "$WINE_TMP/out.check-slash" "$expected" ||
  fail "check examples/ differs from examples/expected/check.txt:
$(diff "$expected" "$WINE_TMP/out.check-slash" | head -20)"
run check check 'examples\'
[ "$status" = 1 ] || fail "check examples\\: exit status $status, expected 1"
sed -E 's#^(passed|FAILED)  examples/#\1  examples\\#' "$expected" >"$WINE_TMP/expected-check"
cmp -s "$WINE_TMP/out.check" "$WINE_TMP/expected-check" ||
  fail "check examples\\ differs from examples/expected/check.txt (file names with \\):
$(diff "$WINE_TMP/expected-check" "$WINE_TMP/out.check" | head -20)"
[ ! -s "$WINE_TMP/err.check" ] ||
  fail "check examples\\ wrote to standard error: $(cat "$WINE_TMP/err.check")"
if grep -q $'\x1b' "$WINE_TMP/out.check"; then
  fail "check examples\\ used colour when redirected"
fi
echo "wine: check examples\\ equals examples/expected/check.txt (no colour when redirected)"

# ---- 2. every example's --json report, byte for byte -------------------------
count=0
for file in "$ROOT"/examples/*.json; do
  name=$(basename "$file" .json)
  run "$name" --json --machine "examples\\$name.json"
  [ "$status" -le 1 ] || fail "--json --machine examples\\$name.json: exit status $status"
  cmp -s "$WINE_TMP/out.$name" "$ROOT/examples/expected/$name.json" ||
    fail "--json of examples\\$name.json differs from examples/expected/$name.json:
$(diff "$ROOT/examples/expected/$name.json" "$WINE_TMP/out.$name" | head -20)"
  count=$((count + 1))
done
echo "wine: --json of all $count examples equals examples/expected byte for byte"

# ---- 3. a description path with a space and letters outside ASCII ------------
folder='Prüfung Maschinen ä'
mkdir -p "$WINEPREFIX/drive_c/$folder"
cp "$ROOT/examples/uefi-data-volume-emoji.json" "$WINEPREFIX/drive_c/$folder/Gerät 😀.json"
run unicode --json --machine "C:\\$folder\\Gerät 😀.json"
[ "$status" = 0 ] ||
  fail "--machine 'C:\\$folder\\Gerät 😀.json': status $status: $(cat "$WINE_TMP/err.unicode")"
cmp -s "$WINE_TMP/out.unicode" "$ROOT/examples/expected/uefi-data-volume-emoji.json" ||
  fail "the description from 'C:\\$folder\\Gerät 😀.json' gave another report"
# A file that is not there is named in UTF-8, as it was given.
run missing --machine "C:\\$folder\\Ölwanne.json"
[ "$status" = 2 ] || fail "a missing description: exit status $status, expected 2"
grep -q "^C:\\\\$folder\\\\Ölwanne.json: cannot read the file: " "$WINE_TMP/err.missing" ||
  fail "a missing description: standard error was: $(cat "$WINE_TMP/err.missing")"
echo "wine: a description in 'C:\\$folder\\Gerät 😀.json' loads; a missing one is named as given"

# cmd's trap: "NAME\" passes NAME" (the backslash escapes the quote); the
# message says what the name was read as and why. The line is cmd's own, in
# a batch file, so that nothing quotes it again on the way.
printf 'C:\\sim\\malvik-sim.exe check "Mes outils\\"\r\n' >"$work/trap.cmd"
status=0
"$WINE64" cmd /c 'C:\sim\trap.cmd' >"$WINE_TMP/out.trap" 2>&1 || status=$?
[ "$status" = 1 ] || fail "check \"Mes outils\\\": exit status $status, expected 1"
grep -Fq 'FAILED  Mes outils": cannot read the file: ' "$WINE_TMP/out.trap" &&
  grep -Fq 'the name was read as [Mes outils"], ending in a double quote' "$WINE_TMP/out.trap" ||
  fail "check \"Mes outils\\\" was answered: $(cat "$WINE_TMP/out.trap")"
echo "wine: check \"Mes outils\\\" says the name was read as Mes outils\" and why"

# A field log saved as UTF-8 without a byte-order mark, with CR line ends:
# read as UTF-8, which the outcome says, its lines taken apart.
python3 - "$ROOT/examples/expected/uefi-laptop.json" "$work/utf8-cr.log" <<'PY'
import json, sys
log = json.load(open(sys.argv[1]))["log_file"].replace("=ESP\r\n", "=ESP\u00e9\r\n")
open(sys.argv[2], "wb").write(log.replace("\r\n", "\r").encode("utf-8"))
PY
run utf8 --machine 'examples\uefi-laptop.json' --compare-log 'C:\sim\utf8-cr.log'
[ "$status" = 1 ] || fail "--compare-log of a UTF-8 log: exit status $status, expected 1"
grep -Fq '(log holds 1 run; compared run 1, from file line 2; read as UTF-8 without a byte-order mark' \
  "$WINE_TMP/out.utf8" && grep -Fq '  field     ' "$WINE_TMP/out.utf8" &&
  grep -q '  field .*= ESPé$' "$WINE_TMP/out.utf8" ||
  fail "--compare-log of a UTF-8 log with CR line ends: $(grep -A6 '^Log comparison' "$WINE_TMP/out.utf8")"
echo "wine: --compare-log reads a UTF-8 log without a mark, with CR line ends, and says so"

# ---- 4. --out into a Windows folder ------------------------------------------
run out --out 'C:\sim\out' --machine 'examples\uefi-data-volume-emoji.json'
[ "$status" = 0 ] || fail "--out C:\\sim\\out: exit status $status: $(cat "$WINE_TMP/err.out")"
"$sim" --out "$WINE_TMP/native-out" --machine "$ROOT/examples/uefi-data-volume-emoji.json" \
  >/dev/null
diff -r "$WINE_TMP/native-out" "$work/out" >"$WINE_TMP/out-diff" ||
  fail "--out wrote another tree than malvik-sim on Linux: $(head -20 "$WINE_TMP/out-diff")"
[ -f "$work/out/D/Photos/Holiday 😀.jpg" ] || fail "--out did not write D\\Photos\\Holiday 😀.jpg"
echo "wine: --out C:\\sim\\out writes the same files as on Linux, names outside ASCII included"

# ---- 5. --out refuses a reparse point below its folder -----------------------
# A junction, made through FSCTL_SET_REPARSE_POINT where Wine can; Wine 8
# cannot (its cmd's mklink /J makes nothing either), so a symbolic link
# stands in then: Wine shows one as a reparse point too.
mkdir -p "$work/refused" "$work/elsewhere"
x86_64-w64-mingw32-g++ -std=c++20 -O2 -Wall -Wextra -Werror -municode \
  -static -static-libgcc -static-libstdc++ "$HERE/junction.cpp" -o "$WINE_TMP/junction.exe" ||
  fail "sim: cannot build junction.exe"
cp "$WINE_TMP/junction.exe" "$work/"
if "$WINE64" 'C:\sim\junction.exe' 'C:\sim\refused\C' 'C:\sim\elsewhere' \
  2>"$WINE_TMP/junction-err"; then
  kind="a junction"
else
  echo "wine: NOTE: NO JUNCTION TESTED: this Wine cannot make one:"
  echo "wine: NOTE: $(cat "$WINE_TMP/junction-err");"
  echo "wine: NOTE: a symbolic link, which Wine shows as a reparse point, stands in for it"
  kind="a symbolic link"
  ln -s ../elsewhere "$work/refused/C"
fi
run refused --out 'C:\sim\refused'
[ "$status" = 2 ] || fail "--out into a folder holding $kind: exit status $status, expected 2"
[ ! -s "$WINE_TMP/out.refused" ] || fail "--out refused: the report was written all the same"
want='malvik-sim: --out: C:\sim\refused\C: refused: a symbolic link, junction or other '
want+='reparse point, which --out never follows'
[ "$(tr -d '\r' <"$WINE_TMP/err.refused")" = "$want" ] ||
  fail "--out into a folder holding $kind: standard error was: $(cat "$WINE_TMP/err.refused")"
[ -z "$(ls -A "$work/elsewhere")" ] || fail "--out wrote through $kind"
echo "wine: --out refuses $kind below its folder and writes nothing through it"

# ---- 5b. --html: a page replaced whole, never written through a link ---------
echo "an earlier page" >"$work/page.html"
run html --machine 'examples\uefi-laptop.json' --html 'C:\sim\page.html'
[ "$status" = 0 ] || fail "--html C:\sim\page.html: exit status $status: $(cat "$WINE_TMP/err.html")"
head -c 15 "$work/page.html" | grep -q '^<!DOCTYPE html>' ||
  fail "--html did not replace the earlier page: $(head -c 80 "$work/page.html")"
grep -q '<h2>UEFI laptop, one NVMe disk (built-in example)</h2>' "$work/page.html" ||
  fail "--html: the page lacks the machine's section"
[ -z "$(ls "$work" | grep '\.tmp')" ] || fail "--html left a file of its own: $(ls "$work")"
# Wine shows a symbolic link to a folder as a reparse point, but one to a
# file as the file: that one is not refused here, yet the rename replaces
# the link, never the file it points to.
echo "not a page" >"$work/elsewhere/kept.html"
ln -s elsewhere/kept.html "$work/link.html"
run html-file-link --html 'C:\sim\link.html'
[ "$(cat "$work/elsewhere/kept.html")" = "not a page" ] || fail "--html wrote through a link"
ln -s elsewhere "$work/link-folder.html"
run html-link --html 'C:\sim\link-folder.html'
[ "$status" = 2 ] || fail "--html at a symbolic link: exit status $status, expected 2"
[ ! -s "$WINE_TMP/out.html-link" ] || fail "--html refused: the report was written all the same"
want='malvik-sim: --html C:\sim\link-folder.html: refused: a symbolic link, junction or other '
want+='reparse point stands there, which --html never writes through'
[ "$(tr -d '\r' <"$WINE_TMP/err.html-link")" = "$want" ] ||
  fail "--html at a symbolic link: standard error was: $(cat "$WINE_TMP/err.html-link")"
[ -L "$work/link-folder.html" ] || fail "--html replaced the link it refused"
echo "wine: --html replaces an earlier page whole and refuses a symbolic link"

# ---- 6. a console ----------------------------------------------------------
# Under `script`, Wine gives the program a console on a terminal. Text
# reaches it as the console's own characters (bytes would be read in the
# console's code page, 437 here); its virtual-terminal processing is off,
# so there is no colour although TERM names a colour terminal.
in_console() {
  local line="'$WINE64' 'C:\\sim\\malvik-sim.exe'" arg
  for arg in "$@"; do line+=" '$arg'"; done
  status=0
  script -qec "$line" /dev/null >"$WINE_TMP/console" || status=$?
}
in_console --machine 'C:\Ölwanne.json'
[ "$status" = 2 ] || fail "in a console, a missing description: exit status $status, expected 2"
grep -aq 'C:\\Ölwanne.json: cannot read the file: ' "$WINE_TMP/console" ||
  fail "in a console, the missing description was shown as: $(cat -v "$WINE_TMP/console")"
in_console check examples/
[ "$status" = 1 ] || fail "in a console, check examples/: exit status $status, expected 1"
grep -aq '^passed  examples/uefi-laptop.json' "$WINE_TMP/console" ||
  fail "in a console, check examples/ showed: $(head -c 300 "$WINE_TMP/console" | cat -v)"
if grep -aq $'\x1b\[\(32\|1;31\)m' "$WINE_TMP/console"; then
  fail "check examples/ used colour in a console without virtual-terminal processing"
fi
echo "wine: in a console: text outside ASCII shown as such, no colour without VT processing"

echo "wine: sim suite passed"
