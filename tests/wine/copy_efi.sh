# Wine suite for the EFI boot-file copy: the real malvik.exe writes the batch
# file, Wine's cmd and xcopy run it, and stub boot-configuration scripts
# record what they were handed. Under Wine the inventory finds no disk and the
# firmware probe answers legacy, so the letters are given on the command line.
source "$(dirname "$0")/lib.sh"

exe="$BUILD/win64/malvik.exe"
[ -f "$exe" ] || fail "$exe is missing (build the win64 preset)"

# ---- building a machine ----------------------------------------------------

# new_machine DIR: malvik_machine DIR (lib.sh), and an old \EFI\OEM on the ESP.
new_machine() {
  malvik_machine "$1"
  mkdir -p "$esp/EFI/OEM/Boot"
  echo "left from an earlier run" >"$esp/EFI/OEM/Boot/old.txt"
}

# need_locale NAME: glibc has the locale NAME (such as vi_VN.UTF-8), made
# with localedef where it is missing (root, package locales).
need_locale() {
  local lang=${1%%.*}
  [ "$lang" = C ] && return
  locale -a | grep -qix "$lang.utf-\?8" && return
  localedef -i "$lang" -f UTF-8 "$1" 2>/dev/null ||
    fail "locale $1 is missing; as root, with the package locales: localedef -i $lang -f UTF-8 $1"
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
  want=$(presence_lines R: "$@")
  [ "$got" = "$want" ] || fail "presence lines:
$got
expected:
$want"
}

# expect_batch TEXT: the batch file holds exactly TEXT with CR LF line ends
# and no line end after the last line.
expect_batch() {
  printf '%s' "$1" | LC_ALL=C sed 's/$/\r/' | head -c -1 >"$WINE_TMP/batch.want"
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
before=$(tree_state "$esp/EFI/OEM")
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
# The old \EFI\OEM goes only once a batch file stands written to copy anew.
[ "$(tree_state "$esp/EFI/OEM")" = "$before" ] || fail "the old \\EFI\\OEM changed:
$(tree_state "$esp/EFI/OEM")"
expect_log_end "Error Writing Batch File, not run=C:\\Tools\\CopyEFI_byOEM.cmd
ExitCode:0xffffffff=
$(presence_lines R: true false false false false false false)"
echo "wine: copy_efi: stale batch file ($how) not run: ok"

# ---- a program folder beyond ASCII --------------------------------------------
# Wine 8's cmd reads a batch file in the OEM code page, which Wine derives
# from the locale. malvik has a console only when its standard input is a
# terminal, and Wine starts that console in the OEM code page too, so malvik
# writes in it either way. Wine maps file names beyond ASCII only under a
# UTF-8 locale that glibc has. "é" is 0x82 in code page 437 (C.UTF-8) and
# 0xE9 in 1258 (vi_VN.UTF-8). Code page 932 (ja_JP.UTF-8) has no "é", only
# "e" as a best fit, which would name another folder: there nothing is
# written and the old \EFI\OEM stays.
for row in "C.UTF-8 437 \x82" "vi_VN.UTF-8 1258 \xe9" "ja_JP.UTF-8 932 -"; do
  read -r loc codepage byte <<<"$row"
  need_locale "$loc"
  new_machine "Outils é"
  before=$(tree_state "$esp/EFI/OEM")
  LC_ALL=$loc run_malvik
  if [ "$byte" = - ]; then
    [ ! -e "$prog/CopyEFI_byOEM.cmd" ] && [ ! -e "$prog/CopyEFI_byOEM.cmd.new" ] ||
      fail "code page $codepage: a batch file was written"
    [ "$(tree_state "$esp/EFI/OEM")" = "$before" ] ||
      fail "code page $codepage: the old \\EFI\\OEM changed"
    # The log itself is ANSI text, where Wine writes "é" as its best fit.
    expect_log 'Error Batch File Cannot Hold Path, not run=C:\\Outils .\\'
    expect_log_end "ExitCode:0xffffffff=
$(presence_lines R: true false false false false false false)"
  else
    last=$(printf '"C:\\Outils %b\\modifybcdtoWinRE.cmd" R: W: >> "C:\\Outils %b\\Log\\%s"' \
      "$byte" "$byte" modifybcdLog.log)
    expect_batch 'mkdir R:\EFI\OEM 
XCOPY /c /e /f /y /h R:\EFI\Microsoft\* R:\EFI\OEM\
Del /Q /A:H R:\EFI\OEM\Boot\BCD
'"$last"
    expect_oem_tree
    [ "$(tr -d '\r ' <"$prog/modifybcdtoWinRE.args")" = "R:W:" ] ||
      fail "code page $codepage: WinRE stub got: $(cat "$prog/modifybcdtoWinRE.args" 2>&1)"
    grep -q '^modifybcdtoWinRE ran with R: W:' "$prog/Log/modifybcdLog.log" ||
      fail "code page $codepage: modifybcdLog.log: $(cat "$prog/Log/modifybcdLog.log" 2>&1)"
    expect_log 'ExitCode:0x9='
    expect_presence true false true true true true true
  fi
  echo "wine: copy_efi: program folder C:\\Outils é\\ under code page $codepage ($loc): ok"
done

# ---- a program folder with a percent sign --------------------------------------
# cmd expands %OS% in the command line that starts the batch file, whatever
# the batch file says, so such a folder is refused before anything changes.
new_machine "T%OS%x"
before=$(tree_state "$esp/EFI/OEM")
run_malvik
[ ! -e "$prog/CopyEFI_byOEM.cmd" ] && [ ! -e "$prog/CopyEFI_byOEM.cmd.new" ] ||
  fail "a batch file was written for C:\\T%OS%x\\"
[ "$(tree_state "$esp/EFI/OEM")" = "$before" ] || fail "the old \\EFI\\OEM changed"
expect_log_end "Error Batch File Cannot Hold Path, not run=C:\\T%OS%x\\
ExitCode:0xffffffff=
$(presence_lines R: true false false false false false false)"
echo "wine: copy_efi: program folder with a percent sign refused: ok"

# ---- refused before anything is deleted ----------------------------------------

# oem_state: the old \EFI\OEM byte for byte, but the log folder a program
# inside it writes.
oem_state() { tree_state "$esp/EFI/OEM" | grep -v '^\./Tools/Log\b' | grep -v ' \./Tools/Log/'; }

# expect_refused LETTER WHY: no batch file was written, no script ran, the old
# \EFI\OEM is as it was ($before), and the log ends with WHY, the not-run
# exit code and the presence lines for LETTER. $log must be read first.
expect_refused() {
  [ ! -e "$prog/CopyEFI_byOEM.cmd" ] && [ ! -e "$prog/CopyEFI_byOEM.cmd.new" ] ||
    fail "$case_name: a batch file was written"
  [ ! -e "$prog/modifybcdtoPBR.args" ] && [ ! -e "$prog/modifybcdtoWinRE.args" ] ||
    fail "$case_name: a script ran"
  [ "$(oem_state)" = "$before" ] || fail "$case_name: the old \\EFI\\OEM changed:
$(oem_state)"
  expect_log_end "$2
ExitCode:0xffffffff=
$(presence_lines "$1" true false false false false false false)"
}

# The program folder inside \EFI\OEM on the ESP's letter. Deleting \EFI\OEM
# would take the program, its scripts and its log with it. Wine makes up a
# volume of its own for every drive letter (\\?\Volume{...0052} for R:,
# \Device\HarddiskVolumeN), so a second letter linked to the same folder is
# another volume there, unlike a second letter Windows' mountvol gives the
# ESP: that case (S: and R:) is checked on the simulated machine.
echo "wine: NOTE: copy_efi: a second letter for the ESP is another volume under Wine; not checked here"
for letter in R; do
  case_name="program folder $letter:\\EFI\\OEM\\Tools"
  new_machine Tools
  prog="$esp/EFI/OEM/Tools"
  mkdir -p "$prog"
  cp "$exe" "$prog/"
  stub_script modifybcdtoPBR 7
  stub_script modifybcdtoWinRE 9
  before=$(oem_state)
  "$WINE64" "$letter:\\EFI\\OEM\\Tools\\malvik.exe" W: R: M: >/dev/null 2>&1 || fail "$case_name: malvik.exe failed"
  log=$(tr -d '\r' <"$prog/Log/Malvik.log")
  expect_refused R: "Error Program Folder Lies In \\EFI\\OEM, not run=$letter:\\EFI\\OEM\\Tools\\"
  echo "wine: copy_efi: $case_name refused, old \\EFI\\OEM kept: ok"
done

# An ESP letter that names the volume of the running Windows: C: typed on a
# factory line. Its \EFI\OEM is whatever C: holds.
case_name="ESP letter C:"
new_machine Tools
mkdir -p "$WINEPREFIX/drive_c/EFI/OEM/Boot" "$WINEPREFIX/drive_c/EFI/Microsoft/Boot"
echo "C: keeps this" >"$WINEPREFIX/drive_c/EFI/OEM/Boot/keep.txt"
echo "x" >"$WINEPREFIX/drive_c/EFI/Microsoft/Boot/bootmgfw.efi"
c_before=$(tree_state "$WINEPREFIX/drive_c/EFI")
before=$(oem_state)
"$WINE64" 'C:\Tools\malvik.exe' W: C: M: >/dev/null 2>&1 || fail "$case_name: malvik.exe failed"
log=$(tr -d '\r' <"$prog/Log/Malvik.log")
[ "$(tree_state "$WINEPREFIX/drive_c/EFI")" = "$c_before" ] || fail "$case_name: C:\\EFI changed"
expect_refused C: "Error ESP Letter Names The Windows Volume, not run=C:"
echo "wine: copy_efi: ESP letter of the Windows volume refused: ok"

# An ESP without \EFI\Microsoft: nothing to copy, so the old \EFI\OEM stays
# and the batch file runs on.
case_name="no \\EFI\\Microsoft"
new_machine Tools
rm -rf "$esp/EFI/Microsoft"
before=$(oem_state)
run_malvik
[ "$(oem_state)" = "$before" ] || fail "$case_name: the old \\EFI\\OEM changed:
$(oem_state)"
[ "$(tr -d '\r ' <"$prog/modifybcdtoWinRE.args")" = "R:W:" ] || fail "$case_name: the WinRE stub did not run"
expect_log_end "Warning ESP Has No \\EFI\\Microsoft, old \\EFI\\OEM kept=R:
ExitCode:0x9=
$(presence_lines R: true false false false false false false)"
echo "wine: copy_efi: no \\EFI\\Microsoft, old \\EFI\\OEM kept, batch file run: ok"

# A batch file path of 259 characters starts; one of 260 the process call
# does not find (error 2), so it is refused before anything is deleted.
for total in 259 260; do
  case_name="batch file path of $total characters"
  folder=$(printf 'd%.0s' $(seq 1 $((total - 21))))  # C:\ folder \ CopyEFI_byOEM.cmd
  new_machine "$folder"
  before=$(oem_state)
  run_malvik
  if [ "$total" = 259 ]; then
    expect_oem_tree
    expect_log 'ExitCode:0x9='
  else
    expect_refused R: "Error Batch File Path Too Long To Start, not run=C:\\$folder\\CopyEFI_byOEM.cmd"
  fi
  echo "wine: copy_efi: $case_name: ok"
done

echo "wine: copy_efi: ok"
