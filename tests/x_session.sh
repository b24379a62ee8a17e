# Sourced by the tests that drive a program from outside: x_session_start
# FOLDER starts an X server of the test's own (Xvfb picks a free display
# itself and writes it once it is ready), sets xvfb_pid, exports DISPLAY and
# a private XDG_RUNTIME_DIR, and leaves no Wayland or Qt platform choice in
# force. The caller defines fail and stops the server.
x_session_start() {
    # Abstract sockets only: a server still closing elsewhere cannot take a
    # socket file of the same name from under this one.
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -nolisten unix 3>"$1/display" 2>"$1/xvfb.log" &
    xvfb_pid=$!
    for _ in $(seq 100); do
        [ -s "$1/display" ] && break
        sleep 0.1
    done
    [ -s "$1/display" ] || fail "Xvfb did not start: $(cat "$1/xvfb.log")"
    export DISPLAY=":$(head -n1 "$1/display")"
    unset WAYLAND_DISPLAY QT_QPA_PLATFORM
    export XDG_RUNTIME_DIR="$1/runtime"
    mkdir -m 700 "$XDG_RUNTIME_DIR"
}

# Runs the command every 50 ms until it succeeds, at most tries times;
# fails (status 1) when it never did.
poll_until() {
    local tries="$1"
    shift
    for _ in $(seq "$tries"); do
        "$@" && return 0
        sleep 0.05
    done
    return 1
}
