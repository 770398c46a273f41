# Wine suite for the EFI boot-file copy: the real malvik.exe writes the batch
# file, Wine's cmd and xcopy run it, and stub boot-configuration scripts
# record what they were handed. Under Wine the inventory finds no disk and the
# firmware probe answers legacy, so the letters are given on the command line.
source "$(dirname "$0")/lib.sh"

exe="$BUILD/win64/malvik.exe"
[ -f "$exe" ] || fail "$exe is missing (build the win64 preset)"

# ---- building a machine ----------------------------------------------------

# new_machine DIR: a fresh prefix with the program in C:\DIR (a path below
# drive_c, may hold spaces), an ESP on R: holding \EFI\Microsoft\Boot (BCD
# hidden) and an old \EFI\OEM, a reset volume on M: and two stub scripts.
new_machine() {
  wine_new_prefix
  prog="$WINEPREFIX/drive_c/$1"
  progwin="C:\\${1//\//\\}"
  esp="$WINE_TMP/esp"
  pbr="$WINE_TMP/pbr"
  mkdir -p "$prog" "$esp/EFI/Microsoft/Boot/fonts" "$esp/EFI/Microsoft/Boot/resources" \
    "$esp/EFI/OEM/Boot" "$pbr"
  cp "$exe" "$prog/"
  echo ESP >"$esp/.windows-label"
  echo "PUSH BUTTON" >"$pbr/.windows-label"
  for f in bootmgfw.efi bootmgr.efi memtest.efi BCD fonts/wgl4_boot.ttf resources/bootres.dll; do
    echo "$f" >"$esp/EFI/Microsoft/Boot/$f"
  done
  echo "left from an earlier run" >"$esp/EFI/OEM/Boot/old.txt"
  ln -s "$esp" "$WINEPREFIX/dosdevices/r:"
  ln -s "$pbr" "$WINEPREFIX/dosdevices/m:"
  "$WINE64" cmd /c attrib +h 'R:\EFI\Microsoft\Boot\BCD' >/dev/null 2>&1
  # Each stub records its arguments beside itself, says one line on its
  # standard output and ends with its own exit code.
  stub modifybcdtoPBR 7
  stub modifybcdtoWinRE 9
}

stub() {
  printf '@echo off\r\n>"%%~dp0%s.args" echo %%1 %%2\r\necho %s ran with %%1 %%2\r\nexit /b %s\r\n' \
    "$1" "$1" "$2" >"$prog/$1.cmd"
}

run_malvik() {
  "$WINE64" "$progwin\\malvik.exe" W: R: M: >/dev/null 2>&1 || fail "malvik.exe failed"
  log=$(tr -d '\r' <"$prog/Log/Malvik.log")
}

# expect_log REGEX: a log line matches, after its 24-character stamp.
expect_log() {
  grep -Eq "^.{24}$1\$" <<<"$log" || fail "no log line matching '$1':
$log"
}

# expect_presence VALUE...: the seven presence lines, in order, with these values.
expect_presence() {
  local got want
  got=$(grep -E '^.{24}R:\\EFI\\OEM' <<<"$log" | cut -c25-)
  want="R:\\EFI\\OEM=$1
R:\\EFI\\OEM\\boot\\BCD=$2
R:\\EFI\\OEM\\boot\\bootmgfw.efi=$3
R:\\EFI\\OEM\\boot\\bootmgr.efi=$4
R:\\EFI\\OEM\\boot\\memtest.efi=$5
R:\\EFI\\OEM\\boot\\fonts=$6
R:\\EFI\\OEM\\boot\\resources=$7"
  [ "$got" = "$want" ] || fail "presence lines:
$got
expected:
$want"
}

# expect_batch TEXT: the batch file holds exactly TEXT with CR LF line ends
# and no line end after the last line.
expect_batch() {
  printf '%s' "$1" | sed 's/$/\r/' | head -c -1 >"$WINE_TMP/batch.want"
  cmp -s "$WINE_TMP/batch.want" "$prog/CopyEFI_byOEM.cmd" || fail "batch file:
$(od -c "$prog/CopyEFI_byOEM.cmd" | head -20)
expected:
$(od -c "$WINE_TMP/batch.want" | head -20)"
}

# expect_oem_tree: \EFI\OEM is the copy of \EFI\Microsoft without BCD, and
# nothing of the old \EFI\OEM is left.
expect_oem_tree() {
  local got
  got=$(cd "$esp/EFI/OEM" && find . | sort | tr '\n' ' ')
  [ "$got" = ". ./Boot ./Boot/bootmgfw.efi ./Boot/bootmgr.efi ./Boot/fonts ./Boot/fonts/wgl4_boot.ttf ./Boot/memtest.efi ./Boot/resources ./Boot/resources/bootres.dll " ] ||
    fail "\\EFI\\OEM holds: $got"
}

# ---- 5a: a \Zeph2 folder on the reset volume hands over to the reset script ----
new_machine Tools
mkdir "$pbr/Zeph2"
run_malvik
expect_batch 'mkdir R:\EFI\OEM 
XCOPY /c /e /f /y /h R:\EFI\Microsoft\* R:\EFI\OEM\
Del /Q /A:H R:\EFI\OEM\Boot\BCD
C:\Tools\modifybcdtoPBR.cmd R: M: >> C:\Tools\Log\modifybcdLog.log'
expect_oem_tree
[ "$(tr -d '\r ' <"$prog/modifybcdtoPBR.args")" = "R:M:" ] || fail "PBR stub got: $(cat "$prog/modifybcdtoPBR.args")"
[ ! -e "$prog/modifybcdtoWinRE.args" ] || fail "the WinRE stub ran too"
grep -q '^modifybcdtoPBR ran with R: M:' "$prog/Log/modifybcdLog.log" || fail "modifybcdLog.log: $(cat "$prog/Log/modifybcdLog.log")"
expect_log 'ExitCode:0x7='
expect_presence true false true true true true true
# A second run appends to modifybcdLog.log.
run_malvik
[ "$(grep -c 'modifybcdtoPBR ran' "$prog/Log/modifybcdLog.log")" = 2 ] || fail "modifybcdLog.log was not appended to"
echo "wine: copy_efi: 5a ok"

# ---- 5b: no recovery folder hands over to the WinRE script with W: ----------
new_machine Tools
run_malvik
expect_batch 'mkdir R:\EFI\OEM 
XCOPY /c /e /f /y /h R:\EFI\Microsoft\* R:\EFI\OEM\
Del /Q /A:H R:\EFI\OEM\Boot\BCD
C:\Tools\modifybcdtoWinRE.cmd R: W: >> C:\Tools\Log\modifybcdLog.log'
expect_oem_tree
[ "$(tr -d '\r ' <"$prog/modifybcdtoWinRE.args")" = "R:W:" ] || fail "WinRE stub got: $(cat "$prog/modifybcdtoWinRE.args")"
grep -q '^modifybcdtoWinRE ran with R: W:' "$prog/Log/modifybcdLog.log" || fail "modifybcdLog.log: $(cat "$prog/Log/modifybcdLog.log")"
expect_log 'ExitCode:0x9='
expect_presence true false true true true true true
echo "wine: copy_efi: 5b ok"

# ---- a program folder whose path has a space --------------------------------
new_machine "Program Files/OEM"
mkdir "$pbr/Zeph_WIN8"
# Unquoted, the interpreter would start C:\Program with "Files\OEM\..." as arguments.
printf '@echo off\r\n>"%%~dp0Program.args" echo %%*\r\n' >"$WINEPREFIX/drive_c/Program.cmd"
run_malvik
expect_batch 'mkdir R:\EFI\OEM 
XCOPY /c /e /f /y /h R:\EFI\Microsoft\* R:\EFI\OEM\
Del /Q /A:H R:\EFI\OEM\Boot\BCD
"C:\Program Files\OEM\modifybcdtoPBR.cmd" R: M: >> "C:\Program Files\OEM\Log\modifybcdLog.log"'
expect_oem_tree
[ "$(tr -d '\r ' <"$prog/modifybcdtoPBR.args")" = "R:M:" ] || fail "PBR stub did not run from a folder with a space"
[ ! -e "$WINEPREFIX/drive_c/Program.args" ] || fail "C:\\Program.cmd ran"
grep -q '^modifybcdtoPBR ran with R: M:' "$prog/Log/modifybcdLog.log" || fail "modifybcdLog.log: $(cat "$prog/Log/modifybcdLog.log" 2>&1)"
expect_log 'ExitCode:0x7='
expect_presence true false true true true true true
echo "wine: copy_efi: program folder with a space ok"

# ---- a batch file left from an earlier run that cannot be replaced ----------
new_machine Tools
stale='@echo off\r\necho stale >"%%~dp0stale-ran.txt"\r\nexit /b 3\r\n'
printf "$stale" >"$prog/CopyEFI_byOEM.cmd"
# Windows refuses to replace a read-only file; Wine replaces it all the same,
# so the file is also made immutable where Linux allows that (root with
# CAP_LINUX_IMMUTABLE); otherwise a folder takes the name the new batch file
# is first written under, so that writing fails instead.
"$WINE64" cmd /c attrib +r 'C:\Tools\CopyEFI_byOEM.cmd' >/dev/null 2>&1
immutable=0
if chattr +i "$prog/CopyEFI_byOEM.cmd" 2>/dev/null; then
  immutable=1
  trap 'chattr -i "$prog/CopyEFI_byOEM.cmd" 2>/dev/null || true; wine_cleanup' EXIT
  how="read-only and immutable"
else
  mkdir "$prog/CopyEFI_byOEM.cmd.new"
  how="read-only, with its temporary name taken by a folder (chattr +i not permitted here)"
fi
run_malvik
[ "$immutable" = 0 ] || chattr -i "$prog/CopyEFI_byOEM.cmd"
[ ! -e "$prog/stale-ran.txt" ] || fail "the stale batch file was run"
cmp -s <(printf "$stale") "$prog/CopyEFI_byOEM.cmd" || fail "the stale batch file was changed"
[ ! -e "$prog/modifybcdtoPBR.args" ] && [ ! -e "$prog/modifybcdtoWinRE.args" ] || fail "a script ran"
expect_log 'Error Writing Batch File, not run=C:\\Tools\\CopyEFI_byOEM.cmd'
expect_log 'ExitCode:0xffffffff='
# The old \EFI\OEM was deleted before the batch file was written.
[ ! -e "$esp/EFI/OEM" ] || fail "the old \\EFI\\OEM is still there"
expect_presence false false false false false false false
echo "wine: copy_efi: stale batch file ($how) not run: ok"

echo "wine: copy_efi: ok"
