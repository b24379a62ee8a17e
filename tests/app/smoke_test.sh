#!/usr/bin/env bash
# The built program on a private X server, driven from outside as a person
# would: type the sample report's path, Alt+P, wait for the PDF, Alt+Q.
# Usage: smoke_test.sh PROGRAM EXAMPLES_FOLDER [SCREENSHOT.png]
set -euo pipefail

program="$1"
examples="$2"
screenshot="${3:-}"
caption='^pelm Print and Preview Watermark Demo$'

for tool in Xvfb xdotool pdfinfo; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed"; exit 1; }
done

work="$(mktemp -d)"
xvfb_pid=""
app_pid=""
cleanup() {
    if [ -n "$app_pid" ]; then kill "$app_pid" 2>/dev/null || true; fi
    if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*"
    exit 1
}

milliseconds() { date +%s%3N; }

# shellcheck source=tests/x_session.sh
source "$(dirname "$0")/../x_session.sh"
x_session_start "$work"

cp -r "$examples" "$work/examples"
mkdir "$work/out"
report="$work/examples/sample-report.txt"

started=$(milliseconds)
# Arguments are ignored by the program; some are given to show it.
(cd "$work/examples" && PELM32_PREVIEW=0 PELM32_OUTPUT_DIR="$work/out" \
    exec "$program" --ignored "an argument") >"$work/program.log" 2>&1 &
app_pid=$!

# Polled here rather than with --sync, whose half-second steps would hide
# the start-up time.
wid=""
for _ in $(seq 1500); do
    wid=$(xdotool search --onlyvisible --name "$caption" 2>/dev/null | head -n1) || true
    [ -n "$wid" ] && break
    kill -0 "$app_pid" 2>/dev/null || fail "the program ended early: $(cat "$work/program.log")"
    sleep 0.02
done
[ -n "$wid" ] || fail "the main dialog did not show: $(cat "$work/program.log")"
shown=$(milliseconds)
echo "start-up to a visible dialog: $((shown - started)) ms"

# The frame follows the dialog's style: a caption, a system menu and no
# thick frame: a close button only, and a fixed size; and the program's icon.
hints=$(xprop -id "$wid" _MOTIF_WM_HINTS | sed 's/.*= //')
IFS=', ' read -r _ functions decorations _ <<<"$hints"
(( (functions & 0x18) == 0 )) || fail "the frame may minimise or maximise: $hints"
(( (decorations & 0x60) == 0 )) || fail "the frame shows minimise or maximise buttons: $hints"
sizes=$(xprop -id "$wid" WM_NORMAL_HINTS)
minimum=$(sed -n 's/.*minimum size: //p' <<<"$sizes")
maximum=$(sed -n 's/.*maximum size: //p' <<<"$sizes")
[ -n "$minimum" ] && [ "$minimum" = "$maximum" ] || fail "the dialog can be resized: $sizes"
# grep without -q: it reads the whole listing, where -q would stop at the
# first icon and leave xprop a broken pipe, a failure under pipefail.
for _ in $(seq 50); do  # set as the window is shown, which may come a moment after the map
    xprop -id "$wid" _NET_WM_ICON | grep "Icon (16 x 16)" >/dev/null && break
    sleep 0.1
done
xprop -id "$wid" _NET_WM_ICON | grep "Icon (16 x 16)" >/dev/null || fail "the window has no icon"

if [ -n "$screenshot" ]; then
    sleep 0.3
    import -window "$wid" "$screenshot"
fi

xdotool windowfocus --sync "$wid"
xdotool type "$report"
xdotool key alt+p

pdf=""
for _ in $(seq 300); do
    pdf=$(find "$work/out" -maxdepth 1 -name '*.pdf' | head -n1)
    [ -n "$pdf" ] && break
    kill -0 "$app_pid" 2>/dev/null || fail "the program ended early: $(cat "$work/program.log")"
    sleep 0.1
done
[ -n "$pdf" ] || fail "no PDF after Print: $(cat "$work/program.log")"
pages=$(pdfinfo "$pdf" | awk '/^Pages:/ {print $2}')
[ "$pages" = 3 ] || fail "the PDF has $pages pages, not 3"

xdotool windowfocus --sync "$wid"
xdotool key alt+q
for _ in $(seq 100); do
    kill -0 "$app_pid" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$app_pid" 2>/dev/null && fail "the program did not end after Quit"
status=0
wait "$app_pid" || status=$?
app_pid=""
[ "$status" = 0 ] || fail "exit code $status after Quit"

count=$(find "$work/out" -maxdepth 1 -name '*.pdf' | wc -l)
[ "$count" = 1 ] || fail "$count PDFs for one Print"
echo "PASS: one Print, one PDF of $pages pages, exit code 0"
