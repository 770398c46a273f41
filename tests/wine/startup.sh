#!/usr/bin/env bash
# malvik.exe's start-up on the real API: it adds SEM_FAILCRITICALERRORS and
# SEM_NOOPENFILEERRORBOX (0x8001) to the process error mode, keeping the bits
# already set, as a relay trace of its calls into KERNEL32 shows. Where this
# Wine traces no calls, that is reported as "not observable" and is not a
# failure.
source "$(dirname "$0")/lib.sh"

exe="$BUILD/win64/malvik.exe"
[ -f "$exe" ] || fail "startup: $exe is missing (build the win64 preset)"

wine_new_prefix
mkdir -p "$WINEPREFIX/drive_c/Tools"
cp "$exe" "$WINEPREFIX/drive_c/Tools/"

set +e
WINEDEBUG=+relay "$WINE64" 'C:\Tools\malvik.exe' 2>&1 >/dev/null |
  awk -v count="$WINE_TMP/count" '
    /:Call / { n++ }
    /:(Call|Ret)  ?KERNEL32\.(Get|Set)ErrorMode\(/ { print }
    END { print n + 0 > count }' >"$WINE_TMP/calls"
status=${PIPESTATUS[0]}
set -e
[ "$status" = 0 ] || fail "startup: malvik.exe exited with $status under the relay trace"
if [ "$(cat "$WINE_TMP/count")" = 0 ]; then
  echo "wine: startup: error mode: not observable (this Wine traced no calls)"
  exit 0
fi

# The first calls: GetErrorMode, its result, then SetErrorMode with that
# result and the two bits.
first=$(sed -E 's/^[0-9a-f]+://; s/ ret=[0-9a-f]+$//' "$WINE_TMP/calls" | head -n 3)
old=$(sed -n 's/^Ret  KERNEL32\.GetErrorMode() retval=\([0-9a-f]*\)$/\1/p' <<<"$first")
[ -n "$old" ] || fail "startup: the error mode was not read first; calls:"$'\n'"$first"
want=$(printf '%08x' $((0x$old | 0x8001)))
[ "$(sed -n 3p <<<"$first")" = "Call KERNEL32.SetErrorMode($want)" ] ||
  fail "startup: want SetErrorMode($want) after GetErrorMode() gave $old; calls:"$'\n'"$first"
echo "wine: startup: error mode $old became $want"
