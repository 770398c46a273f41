# Wine suite for malvik.exe: the real program on Wine's own Win32, WMI,
# firmware probe and profile writer.
source "$(dirname "$0")/lib.sh"

exe="$BUILD/win64/malvik.exe"
[ -f "$exe" ] || fail "$exe is missing (build the win64 preset)"

# ---- the file: PE32+ x86-64 console program, system DLLs only -------------
check_win64_console_exe "$exe"

# ---- a request for help or the version: printed, nothing touched -----------
wine_new_prefix
tools="$WINEPREFIX/drive_c/Tools"
mkdir -p "$tools"
cp "$exe" "$tools/"
# Letters by name and target, and every file below C:\Tools.
letters() { (cd "$WINEPREFIX/dosdevices" && for l in *; do echo "$l -> $(readlink "$l")"; done); }
letters_before=$(letters)
tools_before=$(tree_state "$tools")
version=$(tr -d '\r\n' <"$(dirname "$0")/../../VERSION")
for arg in --version '/?' --help; do
  set +e
  out=$("$WINE64" 'C:\Tools\malvik.exe' "$arg" 2>/dev/null)
  status=$?
  set -e
  out=$(tr -d '\r' <<<"$out")
  [ "$status" = 0 ] || fail "malvik.exe $arg exited with $status"
  if [ "$arg" = --version ]; then
    [ "$out" = "malvik $version" ] || fail "malvik.exe --version said: $out"
  else
    grep -q '^malvik gives the special partitions' <<<"$out" || fail "malvik.exe $arg said: $out"
    grep -q -- '-h, a misspelt' <<<"$out" || fail "malvik.exe $arg does not say what is still a run"
  fi
  [ "$(tree_state "$tools")" = "$tools_before" ] || fail "malvik.exe $arg changed C:\\Tools:
$(tree_state "$tools")"
  [ "$(letters)" = "$letters_before" ] || fail "malvik.exe $arg changed the drive letters"
done
echo "wine: malvik: --version, /? and --help print and touch nothing: ok"

# ---- a default run ---------------------------------------------------------

set +e
out=$("$WINE64" 'C:\Tools\malvik.exe' 2>/dev/null)
status=$?
set -e
[ "$status" = 0 ] || fail "malvik.exe exited with $status"
# The program writes nothing of its own; what reaches the console is the
# batch file it runs, echoing its commands from the first one on.
if [ -n "$out" ]; then
  first=$(tr -d '\r' <<<"$out" | grep -v '^ *$' | head -n 1)
  grep -q '>mkdir ' <<<"$first" || fail "malvik.exe wrote to the console: $out"
fi

log="$tools/Log/Malvik.log"
[ -f "$log" ] || fail "no Log\\Malvik.log (the Log folder must be created by the program)"
text=$(tr -d '\r' <"$log")
expect_line() {  # a line that matches the regular expression, after the 24-character stamp
  grep -Eq "^[0-9]{4}/[ 0-9]{2}/[ 0-9]{2} [ 0-9]{2}:[ 0-9]{2}:[ 0-9]{2}:[ 0-9]{3} $1" <<<"$text" ||
    fail "the log has no line matching '$1':
$text"
}
count_lines() { grep -Ec "^.{24}$1" <<<"$text" || true; }

head -n 1 <<<"$text" | grep -qx '\[Malvik\]' || fail "the log does not start with [Malvik]"
expect_line 'Get Disk info=$'
expect_line 'm_DiskCount=$'
expect_line 'AssignLetterToEFI=$'
expect_line 'ERROR_INVALID_FUNCTION=Boot system from Legacy BIOS$'
expect_line 'RecoveryLetter:W:   ESPLetter:R:   PBRLetter:M:$'

# Wine's Win32_DiskDrive calls its disks "Fixed hard disk", which the query's
# "Fixed%hard%disk%media" does not match: every attempt finds no fixed disk.
attempts=$(count_lines 'Get Disk info=')
codes=$(grep -Eo 'Error Getting System Disk Info. Return Code:-?[0-9]+' <<<"$text" | sort | uniq -c)
echo "wine: malvik: $attempts inventory attempts; codes: $(echo $codes)"
[ "$attempts" -ge 1 ] && [ "$attempts" -le 20 ] || fail "$attempts inventory attempts"
if [ "$(count_lines '\[[0-9]+\]Error Getting')" != 0 ]; then
  [ "$attempts" = 20 ] || fail "failed attempts but only $attempts of them"
  for n in $(seq 0 19); do expect_line "\\[$n\\]Error Getting System Disk Info. Return Code:-?[0-9]+=\$"; done
fi

# A second run with letters adds its lines after the first run's.
before=$(grep -c '=' <<<"$text")
"$WINE64" 'C:\Tools\malvik.exe' x: y: z: >/dev/null 2>&1 || fail "second run failed"
text=$(tr -d '\r' <"$log")
expect_line 'RecoveryLetter:x:   ESPLetter:y:   PBRLetter:z:$'
[ "$(grep -c '=' <<<"$text")" -gt "$before" ] || fail "the second run added no lines"
[ "$(grep -c '^\[Malvik\]$' <<<"$text")" = 1 ] || fail "more than one [Malvik] section"

echo "wine: malvik: ok"
