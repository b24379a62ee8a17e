#!/usr/bin/env bash
# The built program as a native Wayland client: a Weston compositor of the
# test's own (its X11 back end on a private Xvfb, so keys can be typed into
# it), the program with QT_QPA_PLATFORM=wayland and no X display of its own.
# Its dialog must come up (its toplevel named in the protocol), print the
# sample report on Alt+P and end with 0 on Alt+Q.
# Usage: wayland_smoke_test.sh PROGRAM EXAMPLES_FOLDER
set -euo pipefail

program="$1"
examples="$2"

for tool in Xvfb weston xdotool pdfinfo; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed"; exit 1; }
done

work="$(mktemp -d)"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*"
    for log in weston program; do
        [ -s "$work/$log.log" ] && { echo "--- $log"; grep -v '^\[' "$work/$log.log" | tail -n 20; }
    done
    exit 1
}

wait_for() {  # condition, tenths of a second
    for _ in $(seq "$2"); do eval "$1" && return 0; sleep 0.1; done
    return 1
}

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -nolisten unix 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
wait_for '[ -s "$work/display" ]' 100 || fail "Xvfb did not start"
export DISPLAY=":$(head -n1 "$work/display")"
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"

weston --backend=x11-backend.so --socket=pelm-test --width=1024 --height=768 --idle-time=0 \
    >"$work/weston.log" 2>&1 &
pids+=($!)
wait_for '[ -S "$XDG_RUNTIME_DIR/pelm-test" ]' 100 || fail "Weston did not start"

cp -r "$examples" "$work/examples"
mkdir "$work/out"
(cd "$work/examples" && exec env -u DISPLAY WAYLAND_DISPLAY=pelm-test QT_QPA_PLATFORM=wayland \
    WAYLAND_DEBUG=1 PELM32_PREVIEW=0 PELM32_OUTPUT_DIR="$work/out" "$program") \
    >"$work/program.log" 2>&1 &
app_pid=$!
pids+=("$app_pid")

wait_for 'grep -q "set_title(\"pelm Print and Preview Watermark Demo\")" "$work/program.log"' 150 ||
    fail "the main dialog did not come up on Wayland"
wait_for 'grep -q "wl_keyboard@[0-9]*\.enter(" "$work/program.log"' 100 ||
    fail "the compositor never gave the dialog the keyboard"
xdotool type --delay 50 "$work/examples/sample-report.txt"
xdotool key alt+p
wait_for '[ -n "$(find "$work/out" -name "*.pdf")" ]' 300 || fail "no PDF after Print"
pages=$(pdfinfo "$(find "$work/out" -name '*.pdf' | head -n1)" | awk '/^Pages:/ {print $2}')
[ "$pages" = 3 ] || fail "the PDF has $pages pages, not 3"

xdotool key alt+q
wait_for '! kill -0 "$app_pid" 2>/dev/null' 100 || fail "the program did not end after Quit"
status=0
wait "$app_pid" || status=$?
[ "$status" = 0 ] || fail "exit code $status after Quit"
echo "PASS: the dialog came up on Wayland, printed $pages pages, and ended with 0"
