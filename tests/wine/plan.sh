# Wine suite for malvik-sim.exe plan: from malvik's folder on a prepared
# prefix it runs malvik-capture.exe beside it, changes nothing on the
# machine, and shows the log the real malvik.exe then writes there. Under
# Wine the inventory finds no fixed disk, so the verdict fails (status 1);
# the plan's steps on a full machine are checked natively.
source "$(dirname "$0")/lib.sh"

simexe="$BUILD/win64/malvik-sim.exe"
capture="$BUILD/win64/malvik-capture.exe"
malvik="$BUILD/win64/malvik.exe"
sim="$BUILD/native/malvik-sim"
for f in "$simexe" "$capture" "$malvik"; do
  [ -f "$f" ] || fail "$f is missing (build the win64 preset)"
done
[ -x "$sim" ] || fail "$sim is missing (build the native preset)"

# ---- the machine ------------------------------------------------------------
# C:\Tools holds malvik.exe, both scripts, malvik-capture.exe and
# malvik-sim.exe; R: is an ESP with \EFI\Microsoft\Boot (BCD hidden), M: a
# reset volume with \Zeph2. C:\Other holds the two tools without malvik.
malvik_machine Tools "PUSH BUTTON RESET" "$simexe" "$capture" "$malvik"
tools=$prog
other="$WINEPREFIX/drive_c/Other"
mkdir -p "$other" "$pbr/Zeph2"
cp "$simexe" "$capture" "$other/"
# The scripts do what a plan assumes of them: rebuild the boot store on the
# volume of their first argument (hidden) and exit 0.
for script in modifybcdtoPBR.cmd modifybcdtoWinRE.cmd; do
  printf '@echo off\r\necho BCD>%%1\\EFI\\OEM\\boot\\BCD\r\nattrib +h %%1\\EFI\\OEM\\boot\\BCD\r\nexit /b 0\r\n' \
    >"$tools/$script"
done
# Wine reads labels when its server starts.
"$WINESERVER" -k 2>/dev/null || true
"$WINESERVER" -w 2>/dev/null || true

console="$WINE_TMP/console"
mkdir -p "$console"
# Names outside ASCII reach Wine as UTF-8.
export LC_ALL=C.UTF-8
# Every name, and every file's contents (md5) below the drive trees, and the
# drive letters.
state() {
  (cd "$WINE_TMP" && find . -path ./prefix/drive_c/windows -prune -o -path ./prefix/drive_c/users \
    -prune -o -path ./prefix/dosdevices -prune -o -path ./console -prune -o -print | sort)
  (cd "$WINE_TMP" && find ./prefix/drive_c ./esp ./pbr -path ./prefix/drive_c/windows \
    -prune -o -path ./prefix/drive_c/users -prune -o -type f -exec md5sum {} + | sort -k 2)
  drive_letters
}

# plan NAME FOLDER ARG...: malvik-sim.exe plan from FOLDER (a folder below
# drive_c, also the current one); output in $console/NAME.out and .err, its
# status in $status.
plan() {
  local name=$1 folder=$2
  shift 2
  status=0
  (cd "$WINEPREFIX/drive_c/$folder" &&
    "$WINE64" "C:\\$folder\\malvik-sim.exe" plan "$@" >"$console/$name.out" \
      2>"$console/$name.err") || status=$?
}

# ---- 1. the plan: the report and the capture's notes, nothing changed -------
before=$(state)
plan json Tools --json --out 'C:\Tools\plan.json'
after=$(state)
changes=$(diff <(echo "$before") <(echo "$after") | grep -v '^[0-9,]*[acd][0-9,]*$' |
  grep -vE '^> ([0-9a-f]{32}  )?\./prefix/drive_c/Tools/plan\.json$' || true)
[ -z "$changes" ] || fail "the plan changed more than its --out file: $changes"
[ "$status" = 1 ] || fail "the plan under Wine (no fixed disk found) ended with $status, not 1:
$(cat "$console/json.err")"
for line in 'malvik-sim plan: captured ' '  malvik starts in: C:\Tools' \
  "  notes (" '): in the report'"'"'s "notes"' '  description written to C:\Tools\plan.json'; do
  grep -Fq -- "$line" "$console/json.err" || fail "the plan does not show \"$line\":
$(cat "$console/json.err")"
done
# Each note once, in the report; every line of the plan and of the
# description ends in LF alone.
grep -Fq -- '  - malvik will find none of these disks: ' "$console/json.err" &&
  fail "the plan shows the notes on standard error as well as in the report"
python3 -c 'import json, sys
report = json.load(open(sys.argv[1]))
assert report["verdict"]["passed"] is False, report["verdict"]
assert any(n.startswith("malvik will find none of these disks: ") for n in report["notes"])' \
  "$console/json.out" ||
  fail "the plan's --json report does not hold the failed verdict and the notes"
for file in "$console/json.err" "$console/json.out" "$tools/plan.json"; do
  if grep -q $'\r' "$file"; then fail "$file holds a CR: line ends are LF alone"; fi
done
# The plan is malvik's run on the description it kept, the rebuilt boot
# store assumed: the same report, byte for byte, as the simulator gives.
"$sim" --machine "$tools/plan.json" --assume-rebuilt-bcd --json >"$console/replay.json" || true
cmp -s "$console/json.out" "$console/replay.json" ||
  fail "the plan's report is not the simulator's on its description:
$(diff "$console/json.out" "$console/replay.json" | head -20)"
echo "wine: plan: the capture's summary, in plan's words:"
tr -d '\r' <"$console/json.err" | sed 's/^/wine: plan:   /'

# The report as text, with its verdict, in the same run without --out.
plan text Tools
[ "$status" = 1 ] || fail "plan without --json ended with $status, not 1"
grep -q '^Verdict' "$console/text.out" || fail "the plan's report has no verdict:
$(head -20 "$console/text.out")"

# ---- 2. the real run agrees with the plan -----------------------------------
(cd "$tools" && "$WINE64" 'C:\Tools\malvik.exe' >/dev/null 2>&1) || fail "malvik.exe failed"
log="$tools/Log/Malvik.log"
[ -f "$log" ] || fail "malvik.exe wrote no log"
set +e
replay=$("$sim" --machine "$tools/plan.json" --assume-rebuilt-bcd --compare-log "$log" 2>&1)
status=$?
set -e
comparison=$(grep '^Log comparison' -A8 <<<"$replay")
[ "$status" = 0 ] || fail "malvik.exe's log differs from the plan's (status $status):
$comparison"
echo "wine: plan: $comparison"

# ---- 3. statuses: the capture's refusals reach the plan's own ---------------
md5=$(md5sum <"$tools/plan.json")
plan kept Tools --out 'C:\Tools\plan.json'
[ "$status" = 4 ] || fail "an existing --out file is not refused with status 4 ($status)"
[ "$(md5sum <"$tools/plan.json")" = "$md5" ] || fail "the plan changed an existing --out file"
grep -Fxq 'malvik-sim plan: C:\Tools\plan.json exists and is kept; name another file' \
  "$console/kept.err" || fail "the refusal does not say why in plan's terms: $(cat "$console/kept.err")"
[ -s "$console/kept.out" ] && fail "a refused plan printed a report"
plan other Other
[ "$status" = 3 ] || fail "a plan from a folder without malvik.exe ended with $status, not 3"
grep -Fq 'The program folder C:\Other (the capture' "$console/other.err" ||
  fail "the plan from C:\\Other does not say why: $(cat "$console/other.err")"
grep -Eq 'allow-incomplete|malvik-capture:' "$console/other.err" &&
  fail "the plan from C:\\Other names an option or a program plan does not take:
$(cat "$console/other.err")"
# A folder named with a space, a letter outside ASCII and a trailing
# backslash reaches the capture as given (the command line quoted by
# Windows' rules), and the capture's lines come back as UTF-8.
named="$WINEPREFIX/drive_c/Mes outils é"
mkdir -p "$named"
cp "$malvik" "$tools/modifybcdtoPBR.cmd" "$tools/modifybcdtoWinRE.cmd" "$named/"
plan named Other --program 'C:\Mes outils é\'
[ "$status" = 1 ] || fail "plan --program 'C:\\Mes outils é\\' ended with $status, not 1:
$(cat "$console/named.err")"
grep -Fq '  program folder: C:\Mes outils é, holding malvik.exe' "$console/named.err" ||
  fail "the capture did not take the folder named: $(cat "$console/named.err")"
# The capture alone: its description on standard output has the bytes of
# its --out file, the capture's clock aside.
(cd "$tools" && "$WINE64" 'C:\Tools\malvik-capture.exe' >"$console/stdout.json" 2>/dev/null &&
  "$WINE64" 'C:\Tools\malvik-capture.exe' --out 'C:\Tools\out.json' >/dev/null 2>&1) ||
  fail "malvik-capture.exe failed"
cmp -s <(grep -v '"clock"' "$console/stdout.json") <(grep -v '"clock"' "$tools/out.json") ||
  fail "the description on standard output differs from the --out file:
$(diff <(grep -v '"clock"' "$console/stdout.json") <(grep -v '"clock"' "$tools/out.json") | cat -A | head)"
echo "wine: plan: ok"
