#!/usr/bin/env bash
# The --html page as a user sees it: `malvik-sim check --html` on the
# examples and on a machine whose name and labels are markup, opened in a
# real headless browser (Debian's chromium), the rendered DOM dumped. Every
# machine is there with its verdict and its disks, failed ones first; the
# markup shows as text; the page loads nothing but itself and logs no
# console message. Usage: tests/browser/html-page.sh [BUILD_DIR]
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${1:-$ROOT/build/native}
sim="$BUILD/malvik-sim"
browser=${MALVIK_BROWSER:-/usr/bin/chromium}

fail() {
  printf 'html-page: FAILED: %s\n' "$*" >&2
  exit 1
}
[ -x "$sim" ] || fail "$sim is missing (build the native preset)"
[ -x "$browser" ] || fail "$browser is missing (apt-get install chromium)"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A machine whose name and labels a careless page would run as markup.
cat >"$work/markup.json" <<'EOF'
{"name": "<b>bold</b> & \"quoted\" 'name'", "firmware": "uefi",
 "disks": [{"partitions": [
   {"label": "ESP", "type": "GPT: System", "files": ["EFI/Microsoft/Boot/bootmgfw.efi"]},
   {"label": "<script>alert(1)</script>", "letter": "C:",
    "files": ["Tools/modifybcdtoPBR.cmd", "Tools/modifybcdtoWinRE.cmd"]}]}]}
EOF

status=0
"$sim" check "$ROOT/examples" "$work/markup.json" --html "$work/page.html" >/dev/null || status=$?
[ "$status" = 1 ] || fail "check exited $status, expected 1 (some examples fail by design)"

# Self-contained: nothing in the page names anything to load.
if grep -Eiq '<script|<link|<img|<iframe|src=|href=|url\(|@import' "$work/page.html"; then
  fail "the page refers to something outside itself: $(grep -Eio '<script|<link|<img|<iframe|src=|href=|url\(|@import' "$work/page.html" | head -3 | tr '\n' ' ')"
fi

# --v=1 logs every file the browser loads; console messages come as CONSOLE.
timeout 120 "$browser" --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
  --disable-background-networking --disable-component-update --disable-sync \
  --user-data-dir="$work/profile" --enable-logging=stderr --v=1 \
  --dump-dom "file://$work/page.html" >"$work/dom.html" 2>"$work/browser.log" ||
  fail "the browser did not end well (status $?): $(grep -v dbus "$work/browser.log" | tail -3)"

# The page's own messages only: the machine's D-Bus and the browser's own
# services speak on their own.
if grep -E 'CONSOLE|Refused to|Uncaught|Failed to load' "$work/browser.log" >"$work/page.log"; then
  fail "the browser logged for the page: $(head -3 "$work/page.log")"
fi
loaded=$(sed -n 's/.*FileURLLoader::Start: //p' "$work/browser.log" | sort -u)
[ "$loaded" = "file://$work/page.html" ] ||
  fail "the browser loaded other files than the page: $loaded"

dom="$work/dom.html"
# One section per machine: the eleven examples and the markup machine.
sections=$(grep -o '<section class="[a-z]*">' "$dom" | sed 's/.*="\(.*\)">/\1/')
[ "$(printf '%s\n' "$sections" | wc -l)" = 12 ] || fail "not 12 machine sections: $sections"
printf '%s\n' "$sections" | awk '$0 == "passed" { seen = 1 } $0 == "failed" && seen { exit 1 }' ||
  fail "a failed machine comes after a passed one: $sections"
# Every machine by its name, as the description has it (JSON's \\ is one \).
while IFS= read -r name; do
  grep -qF "<h2>$name</h2>" "$dom" || fail "no section for the machine \"$name\""
done < <(sed -n 's/^  "name": "\(.*\)",$/\1/p' "$ROOT"/examples/*.json | sed 's/\\\\/\\/g')
# Each section: a verdict, and a bar for each of its disks.
awk '/<section/ { n++ } { text[n] = text[n] $0 "\n" }
     END { for (i = 1; i <= n; i++) {
             if (text[i] !~ /class="result">(Passed|Failed)</) { print "no verdict in section " i; bad = 1 }
             if (text[i] !~ /class="bar"/) { print "no disk in section " i; bad = 1 } }
           exit bad }' "$dom" || fail "a section lacks its verdict or its disks"
grep -qF 'PUSH BUTTON RESET</b>' "$dom" || fail "the laptop's reset partition is not drawn"
grep -qF '<div class="letters">- &gt; R:' "$dom" || fail "no ESP letter before > after"
# The markup is text: no element made of it.
grep -qF '<h2>&lt;b&gt;bold&lt;/b&gt; &amp; "quoted" '"'"'name'"'"'</h2>' "$dom" ||
  fail "the markup machine's name is not shown as text: $(grep -o '<h2>[^/]*bold[^h]*' "$dom" | head -1)"
grep -qF '&lt;script&gt;alert(1)&lt;/script&gt;' "$dom" || fail "the markup label is not shown as text"
! grep -q '<script\|<b>bold' "$dom" || fail "the markup became elements of the page"

# explore's page: the built-in laptop, its verdict and disks, and the table
# of its variations, the one on a stick at M: failed with its reason.
status=0
"$sim" explore --html "$work/explore.html" >/dev/null || status=$?
[ "$status" = 3 ] || fail "explore exited $status, expected 3 (some variations break recovery)"
timeout 120 "$browser" --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
  --disable-background-networking --disable-component-update --disable-sync \
  --user-data-dir="$work/profile2" --enable-logging=stderr --v=1 \
  --dump-dom "file://$work/explore.html" >"$work/explore-dom.html" 2>"$work/browser2.log" ||
  fail "the browser did not end well on explore's page (status $?)"
if grep -E 'CONSOLE|Refused to|Uncaught|Failed to load' "$work/browser2.log" >"$work/page2.log"; then
  fail "the browser logged for explore's page: $(head -3 "$work/page2.log")"
fi
grep -q 'class="result">Passed<' "$work/explore-dom.html" || fail "explore's page lacks the machine's verdict"
grep -q 'class="bar"' "$work/explore-dom.html" || fail "explore's page lacks the disks"
grep -q '<td[^>]*>program-folder.on-stick-M</td><td><strong>FAILED</strong></td><td>[^<]' \
  "$work/explore-dom.html" || fail "explore's page lacks the failed variation program-folder.on-stick-M and its reason"
echo "html-page: the page shows all 12 machines, failed first, and loads nothing else; explore's page shows its variations"
