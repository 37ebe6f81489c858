# Sourced by the deployment tests. start_zonariumd PROGRAM [ARGS...] starts a zonariumd on a
# free loopback port, reads its first line as soon as it is written, and leaves its pid in
# ZPID and its address in ZADDRESS; the rest of its output is drained in the background.
start_zonariumd() {
    local first
    exec {zout}< <(exec "$@" --listen 127.0.0.1:0 2>&1)
    ZPID=$!
    if ! read -r -t 30 -u "$zout" first; then
        echo "zonariumd did not start" >&2
        return 1
    fi
    ZADDRESS=$(sed -n 's/.*listening on \([0-9.]*:[0-9]*\).*/\1/p' <<<"$first")
    ZFIRST=$first
    cat <&"$zout" >/dev/null &
    exec {zout}<&-
    [ -n "$ZADDRESS" ] || { echo "zonariumd said: $first" >&2; return 1; }
}
