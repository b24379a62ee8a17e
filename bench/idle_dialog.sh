#!/usr/bin/env bash
# What the main dialog costs while it waits for the user: the program on a
# private X server, left alone, measured from /proc over SECONDS (default
# 10): its share of one core and its wakeups a second (context switches).
# Usage: bench/idle_dialog.sh PROGRAM [SECONDS]
set -euo pipefail

program="$1"
seconds="${2:-10}"
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

# shellcheck source=tests/x_session.sh
source "$(dirname "$0")/../tests/x_session.sh"
x_session_start "$work"

"$program" >"$work/program.log" 2>&1 &
app_pid=$!
poll_until 200 xdotool search --onlyvisible --name '^pelm Print and Preview' >/dev/null ||
    fail "the dialog did not show: $(cat "$work/program.log")"
sleep 1  # past start-up

# Time on a CPU (nanoseconds, as the scheduler counts it: finer than the
# clock ticks of /proc/PID/stat) and context switches, all threads summed.
sample() {
    local nanoseconds=0 switches=0 task
    for task in /proc/"$app_pid"/task/*; do
        nanoseconds=$((nanoseconds + $(cut -d' ' -f1 "$task/schedstat")))
        switches=$((switches + $(awk '/ctxt_switches/ {n += $2} END {print n}' "$task/status")))
    done
    echo "$nanoseconds $switches"
}
read -r cpu0 switches0 < <(sample)
sleep "$seconds"
read -r cpu1 switches1 < <(sample)
awk -v c=$((cpu1 - cpu0)) -v s=$((switches1 - switches0)) -v secs="$seconds" \
    'BEGIN { printf "idle dialog over %d s: %.2f %% of a core, %.0f wakeups a second\n",
             secs, 100 * c / 1e9 / secs, s / secs }'
