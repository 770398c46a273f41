# The release under Wine: dist/malvik-VERSION-win64.zip (scripts/package)
# unpacked into a fresh prefix as C:\malvik-VERSION, its sums checked, and
# its programs run from there: malvik-sim.exe checks the examples it ships,
# malvik-capture.exe says its version and describes the prefix, and
# malvik-sim.exe loads that description. Not one of tests/wine/, which need
# no package: scripts/test runs it after scripts/package.
source "$(dirname "$0")/../wine/lib.sh"
root="$(cd "$(dirname "$0")/../.." && pwd)"
version="$(head -n 1 "$root/VERSION")"
zip="$root/dist/malvik-$version-win64.zip"
[ -f "$zip" ] || fail "$zip is missing (scripts/package)"

wine_new_prefix
python3 -m zipfile -e "$zip" "$WINEPREFIX/drive_c/" || fail "cannot unpack $zip"
dir="$WINEPREFIX/drive_c/malvik-$version"
[ -d "$dir" ] || fail "$zip holds no folder malvik-$version"

# ---- the sums: every file listed, every sum right -----------------------------
listed="$(cut -c67- "$dir/SHA256SUMS")"
present="$(cd "$dir" && find . -type f ! -name SHA256SUMS -printf '%P\n' | LC_ALL=C sort)"
[ "$listed" = "$present" ] ||
  fail "SHA256SUMS does not list exactly the files unpacked:
$(diff <(echo "$listed") <(echo "$present"))"
(cd "$dir" && sha256sum --quiet -c SHA256SUMS) || fail "a file differs from its sum in SHA256SUMS"
for exe in malvik malvik-capture malvik-sim quenby; do
  [ -f "$dir/$exe.exe" ] || fail "the package holds no $exe.exe"
done
"$root/tests/winpe/check-imports" "$dir"/*.exe || fail "a packaged program imports outside the list"
"$root/tests/release/check-version-resource" "$dir"/*.exe || fail "a packaged version resource"

# ---- malvik-sim.exe check examples\, from the unpacked folder -------------------
cd "$dir"
out="$WINE_TMP/check.txt"
status=0
NO_COLOR=1 "$WINE64" malvik-sim.exe check 'examples\' >"$out" 2>"$WINE_TMP/check.err" || status=$?
want=1
tail -n 1 "$root/examples/expected/check.txt" | grep -q ' 0 failed$' && want=0
[ "$status" = "$want" ] ||
  fail "malvik-sim.exe check examples\\ exited $status, expected $want:
$(cat "$WINE_TMP/check.err")"
# Given as examples\, the files are named with a backslash.
expected="$WINE_TMP/expected-check.txt"
sed -E 's#^(passed|FAILED)  examples/#\1  examples\\#' "$root/examples/expected/check.txt" \
  >"$expected"
diff -u "$expected" <(tr -d '\r' <"$out") ||
  fail "malvik-sim.exe check examples\\ differs from examples/expected/check.txt"

# ---- malvik-capture.exe: its version, and a description of this prefix ----------
said="$("$WINE64" malvik-capture.exe --version | tr -d '\r')" ||
  fail "malvik-capture.exe --version failed"
[ "$said" = "malvik-capture $version" ] || fail "malvik-capture.exe --version said '$said'"
# The folder holds no boot-configuration scripts, so --allow-incomplete.
"$WINE64" malvik-capture.exe --allow-incomplete --out 'C:\captured.json' \
  2>"$WINE_TMP/capture.err" >/dev/null ||
  fail "malvik-capture.exe --allow-incomplete failed: $(cat "$WINE_TMP/capture.err")"
captured="$WINEPREFIX/drive_c/captured.json"
grep -qF "\"program\": \"C:\\\\malvik-$version\\\\malvik.exe\"" "$captured" ||
  fail "the description names another program: $(grep '"program"' "$captured")"
NO_COLOR=1 "$WINE64" malvik-sim.exe --machine 'C:\captured.json' --json >"$WINE_TMP/run.json" \
  2>"$WINE_TMP/run.err" || fail "malvik-sim.exe cannot run the capture: $(cat "$WINE_TMP/run.err")"
echo "wine: package: unpacked, summed, check examples\\, --version and a capture: all as expected"
