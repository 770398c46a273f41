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
# C:\Tools holds both programs and both boot-configuration scripts; C:\Work
# is an empty folder; R: is an ESP with an \EFI\Microsoft\Boot tree (BCD
# hidden), M: a reset volume with \Zeph2, S: a "System Reserved" volume.
malvik_machine Tools "PUSH BUTTON RESET" "$exe" "$malvik"
tools=$prog
work="$WINEPREFIX/drive_c/Work"
sys="$WINE_TMP/sys"
mkdir -p "$work" "$pbr/Zeph2" "$sys"
printf '@echo off\r\nexit /b 0\r\n' >"$tools/modifybcdtoPBR.cmd"
printf '@echo off\r\nexit /b 0\r\n' >"$tools/modifybcdtoWinRE.cmd"
echo "System Reserved" >"$sys/.windows-label"
echo "not looked at" >"$esp/unrelated.txt"
ln -s "$sys" "$WINEPREFIX/dosdevices/s:"
# Wine reads labels when its server starts.
"$WINESERVER" -k 2>/dev/null || true
"$WINESERVER" -w 2>/dev/null || true

# ---- 1. capture: it writes its output and changes nothing else ---------------
# What the programs print is kept in $console, outside the compared tree.
console="$WINE_TMP/console"
mkdir -p "$console"
# Every name, and every file's contents (md5) below the drive trees: the
# program's drive_c and the mapped volumes.
state() {
  (cd "$WINE_TMP" && find . -path ./prefix/drive_c/windows -prune -o -path ./prefix/drive_c/users \
    -prune -o -path ./prefix/dosdevices -prune -o -path ./console -prune -o -print | sort)
  (cd "$WINE_TMP" && find ./prefix/drive_c ./esp ./pbr ./sys -path ./prefix/drive_c/windows \
    -prune -o -path ./prefix/drive_c/users -prune -o -type f -exec md5sum {} + | sort -k 2)
  drive_letters
}
before=$(state)
"$WINE64" 'C:\Tools\malvik-capture.exe' --out 'C:\Tools\captured.json' >"$console/out.txt" \
  2>"$console/err.txt" || fail "malvik-capture.exe --out failed: $(cat "$console/err.txt")"
after=$(state)
changes=$(diff <(echo "$before") <(echo "$after") | grep -v '^[0-9,]*[acd][0-9,]*$' |
  grep -vE '^> ([0-9a-f]{32}  )?\./prefix/drive_c/Tools/captured\.json$' || true)
[ -z "$changes" ] || fail "the capture changed more than its output file: $changes"

# The summary goes to the console's standard error; standard output stays
# empty when the description goes to a file.
[ -s "$console/out.txt" ] && fail "the capture wrote to standard output: $(cat "$console/out.txt")"
summary=$(tr -d '\r' <"$console/err.txt" | grep -v 'Read access denied')
for line in 'malvik-capture: captured ' \
  '  program folder: C:\Tools, holding malvik.exe, modifybcdtoPBR.cmd, modifybcdtoWinRE.cmd' \
  '  - malvik will find none of these disks: ' '  description written to C:\Tools\captured.json'; do
  grep -Fq -- "$line" <<<"$summary" || fail "the summary lacks \"$line\":
$summary"
done
echo "wine: capture: the summary on the console:"
sed 's/^/wine: capture:   /' <<<"$summary"

# A relative --program is resolved against the current folder.
set +e
(cd "$work" && "$WINE64" 'C:\Tools\malvik-capture.exe' --program '..\Tools' --out rel.json \
  2>"$console/err.txt")
status=$?
set -e
[ "$status" = 0 ] ||
  fail "--program ..\\Tools from C:\\Work ended with $status: $(cat "$console/err.txt")"
grep -Fq '"program": "C:\\Tools\\malvik.exe"' "$work/rel.json" ||
  fail "--program ..\\Tools is not C:\\Tools: $(grep '"program"' "$work/rel.json")"
grep -Fq -- '--program ..\Tools is taken as C:\Tools (the current folder being C:\Work)' \
  "$console/err.txt" || fail "the summary does not say how ..\\Tools was resolved"
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
# The code pages malvik's log and batch file are written in: the ANSI one
# always; the console's where the capture has a console, which under Wine
# with its output redirected it has not, and a note then says so.
expect_json '"ansi_code_page": '
grep -Fq '"console_code_page": ' "$captured" ||
  grep -Fq 'The capture ran without a console, so the code page of the console malvik runs in is not known' \
    "$captured" || fail "the description holds no console code page and no note on why"
echo "wine: capture: notes of the description:"
python3 -c 'import json, sys
for note in json.load(open(sys.argv[1]))["notes"]: print("wine: capture:   " + note)' "$captured"

# volume_note FILE: the note of the description in FILE on what the volume
# list gave.
volume_note() {
  python3 -c 'import json, sys
notes = json.load(open(sys.argv[1]))["notes"]
print("".join(n for n in notes if n.startswith("The volume list")))' "$1"
}
# Wine lists one volume per mapped letter, each naming a partition of disk 0
# and each reached by its letter, so no partition there is reached by its
# volume path alone; the line says what the list gave this time.
volumes=$(volume_note "$captured")
[ -n "$volumes" ] || fail "the description does not say what the volume list gave"
echo "wine: capture: volumes under Wine: $volumes"
# Wine answers no disk's partition table: the capture numbers the
# partitions by WMI's order instead, and one note says so, naming every disk.
table=$(python3 -c 'import json, sys
notes = json.load(open(sys.argv[1]))["notes"]
print("\n".join(n for n in notes if n.startswith("The partition table of ")))' "$captured")
[ "$(grep -c . <<<"$table")" = 1 ] || fail "not one note on the unread partition tables: $table"
grep -Eq '^The partition table of disks? 0[ ,]' <<<"$table" ||
  fail "the partition-table note does not name disk 0: $table"
grep -Fq "could not be read: partitions WMI does not list (an MSR partition) are left out, \
and a partition without a drive letter is numbered by its WMI position" <<<"$table" ||
  fail "the partition-table note does not say what is left unknown: $table"
echo "wine: capture: $table"

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

# ---- 3b. two more runs, captured between them --------------------------------
# The first of them fails in its script (exit code 7); the capture comes
# after it, from malvik's folder, and the second runs with the scripts
# mended. The log now holds three runs: its last replays as it is, and the
# one before it once the description gives the script's exit code.
printf '@echo off\r\nexit /b 7\r\n' | tee "$tools/modifybcdtoPBR.cmd" >"$tools/modifybcdtoWinRE.cmd"
(cd "$tools" && "$WINE64" 'C:\Tools\malvik.exe' >/dev/null 2>&1) || fail "malvik.exe failed again"
between="$tools/between.json"
(cd "$tools" && "$WINE64" 'C:\Tools\malvik-capture.exe' --current-directory . \
  --out 'C:\Tools\between.json' 2>"$console/err.txt") ||
  fail "the capture between the runs failed: $(cat "$console/err.txt")"
grep -Fq '"current_directory": "C:\\Tools"' "$between" ||
  fail "--current-directory . from C:\Tools is not recorded: $(grep -c current "$between")"
printf '@echo off\r\nexit /b 0\r\n' | tee "$tools/modifybcdtoPBR.cmd" >"$tools/modifybcdtoWinRE.cmd"
(cd "$tools" && "$WINE64" 'C:\Tools\malvik.exe' >/dev/null 2>&1) ||
  fail "malvik.exe failed a third time"
# replay_of RUN [MACHINE]: the replay against run RUN of the log; its status.
replay_of() {
  set +e
  replay=$("$sim" --machine "${2:-$between}" --compare-log "$log" --log-run "$1" 2>&1)
  status=$?
  set -e
  comparison=$(grep '^Log comparison' -A10 <<<"$replay")
}
replay_of 3
[ "$status" = 0 ] || fail "the replay of the last run does not agree (status $status):
$comparison"
grep -Fq 'log holds 3 runs; compared run 3, from file line ' <<<"$comparison" ||
  fail "the comparison does not say which run: $comparison"
echo "wine: capture: second run: $comparison"
replay_of 2
[ "$status" = 1 ] ||
  fail "the run whose script failed replays without its exit code (status $status)"
grep -Fq '  field     ' <<<"$comparison" && grep -Fq 'ExitCode:0x7' <<<"$comparison" &&
  grep -Fq "the scripts' exit codes, which a capture cannot know" <<<"$comparison" ||
  fail "the difference does not point at the script's exit code: $comparison"
python3 - "$between" "$tools/between-7.json" <<'PY'
import json, sys
machine = json.load(open(sys.argv[1]))
scripts = ("modifybcdtoPBR.cmd", "modifybcdtoWinRE.cmd")
machine["scripts"] = {name: {"exit_code": 7} for name in scripts}
json.dump(machine, open(sys.argv[2], "w"), indent=2)
PY
replay_of 2 "$tools/between-7.json"
[ "$status" = 0 ] || fail "the run whose script failed does not replay with its exit code:
$comparison"
echo "wine: capture: first run, its exit code supplied: $comparison"

# ---- 4. evidence is kept --------------------------------------------------
# The field log is not overwritten without --force.
log_before=$(md5sum <"$log")
set +e
"$WINE64" 'C:\Tools\malvik-capture.exe' --out 'C:\Tools\Log\Malvik.log' 2>"$console/err.txt"
status=$?
set -e
[ "$status" = 4 ] || fail "an existing --out file is not refused with status 4 (status $status)"
[ "$(md5sum <"$log")" = "$log_before" ] || fail "the capture changed the field log"
grep -Fq 'malvik-capture: C:\Tools\Log\Malvik.log exists and is kept; name another file, or add --force to replace it' \
  "$console/err.txt" || fail "the refusal does not say why: $(cat "$console/err.txt")"

# ---- 5. a folder that is not malvik's -----------------------------------------
# Named by --program, or the capture's own folder on a stick: status 3 and
# nothing written.
# (Y:, mapped to /, is for the next case.)
mkdir -p "$WINE_TMP/stick/tools"
cp "$exe" "$WINE_TMP/stick/tools/"
ln -s "$WINE_TMP/stick" "$WINEPREFIX/dosdevices/e:"
ln -s / "$WINEPREFIX/dosdevices/y:"
# Wine lists the drives it found when its server started.
"$WINESERVER" -k 2>/dev/null || true
"$WINESERVER" -w 2>/dev/null || true
expect_incomplete() {  # PROGRAM OUT MESSAGE ARG...
  local program=$1 out=$2 message=$3 status
  shift 3
  set +e
  "$WINE64" "$program" --out "$out" "$@" >/dev/null 2>"$console/err.txt"
  status=$?
  set -e
  [ "$status" = 3 ] || fail "$program $* ended with $status, not 3"
  grep -Fq -- "$message" "$console/err.txt" || fail "$program $* does not say \"$message\":
$(cat "$console/err.txt")"
}
expect_incomplete 'C:\Tools\malvik-capture.exe' 'C:\Work\none.json' \
  'The program folder C:\Work holds no malvik.exe and no modifybcdtoPBR.cmd and no modifybcdtoWinRE.cmd' \
  --program 'C:\Work'
[ -e "$work/none.json" ] && fail "the capture of C:\\Work wrote its output"
expect_incomplete 'E:\tools\malvik-capture.exe' 'E:\c2.json' \
  "The program folder E:\tools (the capture's own folder, as no --program was given) holds no malvik.exe"
[ -e "$WINE_TMP/stick/c2.json" ] && fail "the capture from the stick wrote its output"

# ---- 6. a letter whose place cannot be read ------------------------------------
# A letter mapped to / answers error 5 to the place query through the letter
# (not through its volume path): the note names the letter and the error
# instead of counting its volume as one without a letter.
"$WINE64" 'C:\Tools\malvik-capture.exe' 2>/dev/null >"$console/y.json" ||
  fail "the capture with Y: mapped to / failed"
volumes=$(volume_note "$console/y.json")
grep -Fq 'Letters not placed on a partition: Y: (error 5' <<<"$volumes" ||
  fail "the volume note does not name Y:: $volumes"
echo "wine: capture: with Y: mapped to /: $volumes"
# Whether the capture ran elevated is said, either way (Wine's answer is
# Wine's own).
elevation=$(python3 -c 'import json, sys
notes = json.load(open(sys.argv[1]))["notes"]
print("".join(n for n in notes if "ran elevated" in n or "without elevation" in n))' "$console/y.json")
[ -n "$elevation" ] || fail "the description does not say whether the capture ran elevated"
echo "wine: capture: $elevation"

# ---- 7. the output file: a new name, and nothing replaced ---------------------
# A temporary name that is taken (a capture cut short left it) is passed
# over, not overwritten.
printf 'stale' >"$tools/next.json.tmp"
"$WINE64" 'C:\Tools\malvik-capture.exe' --out 'C:\Tools\next.json' 2>"$console/err.txt" ||
  fail "the capture beside a stale temporary file failed: $(cat "$console/err.txt")"
[ "$(cat "$tools/next.json.tmp")" = stale ] || fail "the stale temporary file was overwritten"
[ -e "$tools/next.json.2.tmp" ] && fail "the second temporary name was left behind"
"$sim" --machine "$tools/next.json" >/dev/null || fail "the description written beside it does not load"
# With --force, a file another program holds open cannot be replaced (Wine,
# like Windows, refuses to rename over it): the finished description is
# kept under its temporary name, which the error gives, and the file is as
# it was. cmd holds the file open while ping runs; it is open once a
# process of the machine (cmd, or Wine's server for it) has it among its
# file descriptors.
printf 'held\r\n' >"$tools/held.json"
"$WINE64" cmd /c 'ping -n 60 127.0.0.1 >>C:\Tools\held.json' >/dev/null 2>&1 &
holder=$!
held_open() { { find /proc/[0-9]*/fd -lname "$tools/held.json" 2>/dev/null || true; } | grep -q .; }
for _ in $(seq 1 150); do held_open && break; sleep 0.2; done
held_open || fail "cmd did not open C:\Tools\held.json"
set +e
"$WINE64" 'C:\Tools\malvik-capture.exe' --out 'C:\Tools\held.json' --force 2>"$console/err.txt"
status=$?
set -e
# Ends cmd and ping: they belong to this prefix's server.
"$WINESERVER" -k 2>/dev/null || true
wait "$holder" 2>/dev/null || true
[ "$status" = 4 ] || fail "a rename over a file held open did not end with status 4 (status $status)"
grep -Fq 'malvik-capture: cannot write C:\Tools\held.json (error 5' "$console/err.txt" &&
  grep -Fq '; the description is kept in C:\Tools\held.json.tmp' "$console/err.txt" ||
  fail "the error does not name the kept description: $(cat "$console/err.txt")"
head -c 4 "$tools/held.json" | grep -q held || fail "the file held open was replaced"
"$sim" --machine "$tools/held.json.tmp" >/dev/null || fail "the kept description does not load"
echo "wine: capture: over a file held open: $(tr -d '\r' <"$console/err.txt" | grep 'cannot write')"
echo "wine: capture: ok"
