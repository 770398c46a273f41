# Wine suite for malvik-capture.exe: the round trip of a field report. On a
# prefix with mapped, labelled drives, the capture describes the machine,
# the real malvik.exe runs, and malvik-sim replays the description and
# compares its log with the one malvik.exe wrote, line for line.
source "$(dirname "$0")/lib.sh"

exe="$BUILD/win64/malvik-capture.exe"
malvik="$BUILD/win64/malvik.exe"
sim="$BUILD/native/malvik-sim"
for f in "$exe" "$malvik"; do [ -f "$f" ] || fail "$f is missing (build the win64 preset)"; done
[ -x "$sim" ] || fail "$sim is missing (build the native preset)"

# ---- the file: PE32+ x86-64 console program, system DLLs only -------------
check_win64_console_exe "$exe"

# ---- the machine ------------------------------------------------------------
# C:\Tools holds both programs and a reset script; R: is an ESP with an
# \EFI\Microsoft\Boot tree (BCD hidden), M: a reset volume with \Zeph2, S: a
# "System Reserved" volume.
wine_new_prefix
tools="$WINEPREFIX/drive_c/Tools"
esp="$WINE_TMP/esp"
pbr="$WINE_TMP/pbr"
sys="$WINE_TMP/sys"
mkdir -p "$tools" "$esp/EFI/Microsoft/Boot/fonts" "$esp/EFI/Microsoft/Boot/resources" \
  "$pbr/Zeph2" "$sys"
cp "$exe" "$malvik" "$tools/"
printf '@echo off\r\nexit /b 0\r\n' >"$tools/modifybcdtoPBR.cmd"
echo ESP >"$esp/.windows-label"
echo "PUSH BUTTON RESET" >"$pbr/.windows-label"
echo "System Reserved" >"$sys/.windows-label"
for f in bootmgfw.efi bootmgr.efi memtest.efi BCD fonts/wgl4_boot.ttf resources/bootres.dll; do
  echo "$f" >"$esp/EFI/Microsoft/Boot/$f"
done
echo "not looked at" >"$esp/unrelated.txt"
ln -s "$esp" "$WINEPREFIX/dosdevices/r:"
ln -s "$pbr" "$WINEPREFIX/dosdevices/m:"
ln -s "$sys" "$WINEPREFIX/dosdevices/s:"
"$WINE64" cmd /c attrib +h 'R:\EFI\Microsoft\Boot\BCD' >/dev/null 2>&1
# Wine reads labels when its server starts.
"$WINESERVER" -k 2>/dev/null || true
"$WINESERVER" -w 2>/dev/null || true

# ---- 1. capture: it writes its output and changes nothing else ---------------
state() {
  (cd "$WINE_TMP" && find . -path ./prefix/drive_c/windows -prune -o -path ./prefix/drive_c/users \
    -prune -o -path ./prefix/dosdevices -prune -o -print | sort)
  ls -l "$WINEPREFIX/dosdevices"
}
before=$(state)
"$WINE64" 'C:\Tools\malvik-capture.exe' --out 'C:\Tools\captured.json' >/dev/null 2>&1 ||
  fail "malvik-capture.exe --out failed"
after=$(state)
diff <(echo "$before") <(echo "$after") | grep -v '^[0-9,]*[acd][0-9,]*$' |
  grep -vx '> ./prefix/drive_c/Tools/captured.json' | grep . &&
  fail "the capture changed more than its output file"
"$WINE64" 'C:\Tools\malvik-capture.exe' 2>/dev/null >"$WINE_TMP/stdout.json" ||
  fail "malvik-capture.exe to standard output failed"
"$sim" --machine "$WINE_TMP/stdout.json" >/dev/null ||
  fail "the description on standard output does not load"
set +e
"$WINE64" 'C:\Tools\malvik-capture.exe' --bogus >/dev/null 2>&1
[ $? = 2 ] || fail "an unknown argument is not refused with status 2"
set -e

captured="$tools/captured.json"
expect_json() {  # a line of the description, as written
  grep -Fq -- "$1" "$captured" || fail "the description lacks $1:
$(cat "$captured")"
}
expect_json '"firmware": "legacy"'
expect_json '"label": "ESP"'
expect_json '"path": "EFI/Microsoft/Boot/BCD",'
expect_json '"EFI/Microsoft/Boot/fonts/"'
expect_json '"Zeph2/"'
expect_json '"label": "System Reserved"'
expect_json '"Tools/modifybcdtoPBR.cmd"'
grep -q unrelated "$captured" && fail "the capture listed a path malvik never looks at"
echo "wine: capture: notes of the description:"
python3 -c 'import json, sys
for note in json.load(open(sys.argv[1]))["notes"]: print("wine: capture:   " + note)' "$captured"

# Wine lists one volume per mapped letter, each naming a partition of disk 0
# and each reached by its letter, so no partition there is reached by its
# volume path alone; the line says what the list gave this time.
volumes=$(python3 -c 'import json, sys
print("".join(n for n in json.load(open(sys.argv[1]))["notes"] if n.startswith("The volume list")))' \
  "$captured")
[ -n "$volumes" ] || fail "the description does not say what the volume list gave"
echo "wine: capture: volumes under Wine: $volumes"

# ---- 2. the field run -----------------------------------------------------
"$WINE64" 'C:\Tools\malvik.exe' >/dev/null 2>&1 || fail "malvik.exe failed"
log="$tools/Log/Malvik.log"
[ -f "$log" ] || fail "malvik.exe wrote no log"

# ---- 3. the replay: every line agrees ---------------------------------------
# Wine's answers that the capture cannot give faithfully (its disks have no
# Caption or Partitions, its volumes name other partition numbers than its
# WMI does) concern disks the inventory never finds: Wine's disks are
# "Fixed hard disk", which malvik's fixed-disk query does not match, so no
# line of the log depends on them. No line is excused.
set +e
replay=$("$sim" --machine "$captured" --compare-log "$log" 2>&1)
status=$?
set -e
comparison=$(grep '^Log comparison' -A8 <<<"$replay")
[ "$status" = 0 ] || fail "the replay does not agree with the field log (status $status):
$comparison
field log:
$(tr -d '\r' <"$log")"
echo "wine: capture: $comparison"
echo "wine: capture: ok"
