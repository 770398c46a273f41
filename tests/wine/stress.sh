# Wine suite for the real malvik.exe in hostile situations: no Log folder, a
# program folder nothing can be created in, missing boot-configuration
# scripts, an ESP letter that names no drive, no command interpreter to start
# the batch file, and a program folder whose path is over 260 characters. In
# every case the program exits 0 and its log says what happened. Under Wine
# the inventory finds no disk and the firmware probe answers legacy, so the
# letters are given on the command line.
source "$(dirname "$0")/lib.sh"

exe="$BUILD/win64/malvik.exe"
[ -f "$exe" ] || fail "$exe is missing (build the win64 preset)"

# new_machine DIR: malvik_machine DIR (lib.sh): the reset script ends with 7
# and the recovery script with 9.
new_machine() { malvik_machine "$1"; }

# old_oem DIR: an \EFI\OEM left from an earlier run at DIR (a Linux path),
# a few files in a few folders.
old_oem() {
  mkdir -p "$1/Boot/fonts"
  echo "old boot manager" >"$1/Boot/bootmgfw.efi"
  echo "old font" >"$1/Boot/fonts/old.ttf"
  printf 'left\r\nfrom an earlier run\r\n' >"$1/readme.txt"
}

# run_malvik ARG...: runs it from its own folder; it must exit 0.
run_malvik() {
  local code=0
  "$WINE64" "$progwin\\malvik.exe" "$@" >"$WINE_TMP/console.txt" 2>&1 || code=$?
  [ "$code" = 0 ] || fail "$case_name: malvik.exe exited $code: $(tail -5 "$WINE_TMP/console.txt")"
  [ -f "$prog/Log/Malvik.log" ] || fail "$case_name: no log"
  log=$(tr -d '\r' <"$prog/Log/Malvik.log")
}

# expect_log REGEX: a log line matches, after its 24-character stamp.
expect_log() {
  grep -Eq "^.{24}$1\$" <<<"$log" || fail "$case_name: no log line matching '$1':
$log"
}

# ---- no Log folder: the first line creates it, the batch file needs no mkdir ----
case_name="no Log folder"
new_machine Tools
[ ! -e "$prog/Log" ] || fail "$case_name: Log exists before the run"
run_malvik W: R: M:
[ "$(sed -n 2p <<<"$log" | cut -c25-)" = "Get Disk info=" ] || fail "$case_name: first line: $(sed -n 2p <<<"$log")"
expect_log 'ExitCode:0x9='
expect_log 'R:\\EFI\\OEM\\boot\\bootmgfw.efi=true'
grep -q '^modifybcdtoWinRE ran with R: W:' "$prog/Log/modifybcdLog.log" || fail "$case_name: modifybcdLog.log"
echo "wine: stress: $case_name: ok"

# ---- nothing can be created in the program folder --------------------------
# Root writes into a read-only folder under Wine, so the folder is made
# immutable where Linux allows that (root with CAP_LINUX_IMMUTABLE); the Log
# folder inside it stays writable. Otherwise a folder takes the name the
# batch file is first written under. An older batch file must not run, and
# the old \EFI\OEM stays byte for byte as it was.
case_name="read-only program folder"
new_machine Tools
mkdir "$prog/Log"
old_oem "$esp/EFI/OEM"
before=$(tree_state "$esp/EFI/OEM")
printf '@echo off\r\necho stale >"%%~dp0Log\\stale-ran.txt"\r\n' >"$prog/CopyEFI_byOEM.cmd"
"$WINE64" cmd /c attrib +r 'C:\Tools' >/dev/null 2>&1
if chattr +i "$prog" 2>/dev/null; then
  trap 'chattr -i "$prog" 2>/dev/null || true; wine_cleanup' EXIT
  how="immutable"
else
  mkdir "$prog/CopyEFI_byOEM.cmd.new"
  how="temporary name taken by a folder; chattr +i not permitted here"
fi
run_malvik W: R: M:
chattr -i "$prog" 2>/dev/null || true
[ ! -e "$prog/Log/stale-ran.txt" ] || fail "$case_name: the older batch file ran"
[ "$(tree_state "$esp/EFI/OEM")" = "$before" ] || fail "$case_name: the old \\EFI\\OEM changed:
$(tree_state "$esp/EFI/OEM")"
expect_log_end "Error Writing Batch File, not run=C:\\Tools\\CopyEFI_byOEM.cmd
ExitCode:0xffffffff=
$(presence_lines R: true false true false false true false)"
echo "wine: stress: $case_name ($how): ok"

# ---- the boot-configuration scripts are missing -------------------------------
case_name="missing boot-configuration script"
new_machine Tools
rm "$prog/modifybcdtoPBR.cmd" "$prog/modifybcdtoWinRE.cmd"
run_malvik W: R: M:
# The copy is done; the hand-over fails, and its exit code is logged.
expect_log 'R:\\EFI\\OEM\\boot\\bootmgfw.efi=true'
grep -Eq '^.{24}ExitCode:0x[1-9a-f][0-9a-f]*=$' <<<"$log" ||
  fail "$case_name: exit code: $(grep ExitCode <<<"$log")"
echo "wine: stress: $case_name ($(grep -o 'ExitCode:0x[0-9a-f]*' <<<"$log")): ok"

# ---- an ESP letter that names no drive ---------------------------------------
case_name="ESP letter naming no drive"
new_machine Tools
run_malvik W: Q: M:
expect_log 'RecoveryLetter:W:   ESPLetter:Q:   PBRLetter:M:'
expect_log 'ExitCode:0x9='
for p in '' '\\boot\\BCD' '\\boot\\bootmgfw.efi' '\\boot\\bootmgr.efi' '\\boot\\memtest.efi' \
  '\\boot\\fonts' '\\boot\\resources'; do
  expect_log "Q:\\\\EFI\\\\OEM$p=false"
done
[ ! -e "$esp/EFI/OEM" ] || fail "$case_name: R: was written to"
echo "wine: stress: $case_name: ok"

# Anything but one letter and its colon names no drive at all: nothing is
# deleted and no batch file is written. Run from the program folder, "" makes
# \EFI\OEM the root of drive C: and "esp" makes it esp\EFI\OEM below the
# program folder; an old one there stays as it was.
for given in "" esp; do
  case_name="ESP letter '$given', no drive"
  new_machine Tools
  if [ -z "$given" ]; then oem="$WINEPREFIX/drive_c/EFI/OEM"; else oem="$prog/$given/EFI/OEM"; fi
  old_oem "$oem"
  before=$(tree_state "$oem")
  cd "$prog"
  run_malvik W: "$given" M:
  cd "$OLDPWD"
  [ "$(tree_state "$oem")" = "$before" ] || fail "$case_name: the old \\EFI\\OEM changed:
$(tree_state "$oem")"
  [ ! -e "$prog/CopyEFI_byOEM.cmd" ] && [ ! -e "$prog/CopyEFI_byOEM.cmd.new" ] ||
    fail "$case_name: a batch file was written"
  expect_log_end "Error ESP Letter Is Not A Drive, not run=$given
ExitCode:0xffffffff=
$(presence_lines "$given" true false true false false true false)"
  echo "wine: stress: $case_name: ok"
done

# ---- the batch file cannot be started ----------------------------------------
# Without cmd.exe in system32 Wine refuses to start a .cmd file (error 2). The
# batch file stands written by then, and the old \EFI\OEM has been deleted
# to make room for the copy; the message box returns at once under Wine.
case_name="no command interpreter"
new_machine Tools
old_oem "$esp/EFI/OEM"
rm "$WINEPREFIX/drive_c/windows/system32/cmd.exe"
run_malvik W: R: M:
[ -s "$prog/CopyEFI_byOEM.cmd" ] || fail "$case_name: no batch file"
[ ! -e "$esp/EFI/OEM" ] || fail "$case_name: the old \\EFI\\OEM is still there"
expect_log_end "Error Starting Batch File, not run=err=2
ExitCode:0xffffffff=
$(presence_lines R: false false false false false false false)"
echo "wine: stress: $case_name: ok"

# ---- a program folder whose path is over 260 characters ---------------------
case_name="program folder over 260 characters"
long=""
for i in 1 2 3 4 5 6; do long="$long/folder-$i-$(printf 'x%.0s' $(seq 40))"; done
long=${long#/}
new_machine "$long"
[ "${#progwin}" -gt 260 ] || fail "$case_name: the path is only ${#progwin} characters"
run_malvik W: R: M:
# The log is written through the short form of the Log folder. Wine 8 does
# not start a batch file at this length (CreateProcessW answers 2), so the
# run logs "Error Starting Batch File, not run=err=2", the not-run exit code
# and what \EFI\OEM holds.
expect_log 'RecoveryLetter:W:   ESPLetter:R:   PBRLetter:M:'
expect_log 'ExitCode:0x[0-9a-f]+='
expect_log 'R:\\EFI\\OEM\\boot\\resources=(true|false)'
echo "wine: stress: $case_name (${#progwin} characters, $(grep -o 'ExitCode:0x[0-9a-f]*' <<<"$log")): ok"

echo "wine: stress: ok"
