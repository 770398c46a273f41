# Wine suite: the platform contract cases against the real Win32 platform.
# T: is mapped to an empty folder labelled "Contract T", the same situation
# the simulated machine builds for the native run of these cases. Q:, the
# cases' free letter, is left unmapped.
source "$(dirname "$0")/lib.sh"

exe="$BUILD/win64/contract-tests.exe"
[ -f "$exe" ] || fail "$exe is missing (build the win64 preset; it needs the googletest package)"

wine_new_prefix
mkdir -p "$WINE_TMP/t"
printf 'Contract T\n' >"$WINE_TMP/t/.windows-label"
ln -s "$WINE_TMP/t" "$WINEPREFIX/dosdevices/t:"
cp "$exe" "$WINEPREFIX/drive_c/"

set +e
"$WINE64" 'C:\contract-tests.exe' 2>&1 | tr -d '\r' >"$WINE_TMP/out.txt"
status=${PIPESTATUS[0]}
set -e
# Each case's outcome, each failure's detail, and the reason of each case
# skipped under Wine (the line after "Skipped").
awk '/^\[ +(OK|FAILED|SKIPPED) +\]|^\[  (PASSED|FAILED)  \]/ { print }
     /Failure|Expected|Which is|actual/ { print }
     skipped { print "  reason: " $0; skipped = 0 }
     /: Skipped$/ { skipped = 1 }' "$WINE_TMP/out.txt"
[ "$status" = 0 ] || fail "contract-tests.exe under Wine exited with $status"
echo "wine: contract suite passed"
