#!/bin/sh
# camdet-monitor --demo --json (and its ONVIF camera, --api onvif): each
# detector's status lines, in order, must read quiet, triggered, quiet
# (motion; input 2 = port 1), the other inputs quiet only, and the program
# must end by itself with status 0. The two demos run side by side: each
# takes its fixed 14 s of scenario whatever the other does.
monitor="$1"
dir="$(mktemp -d)"
trap 'rm -rf "$dir"' EXIT
"$monitor" --demo --json --duration 14 >"$dir/default.out" 2>"$dir/default.err" &
p1=$!
"$monitor" --demo --json --duration 14 --api onvif --log /dev/null >"$dir/onvif.out" 2>"$dir/onvif.err" &
p2=$!
wait "$p1"; rc1=$?
wait "$p2"; rc2=$?
for api in default onvif; do
    out="$(cat "$dir/$api.out")"
    echo "$out"
    cat "$dir/$api.err" >&2
    rc=$rc1
    [ "$api" = default ] || rc=$rc2
    [ "$rc" -eq 0 ] || { echo "$api: exit status $rc"; exit 1; }
    sequence() {  # sequence KIND PORT -> the trig values of its status lines
        echo "$out" | grep "\"event\":\"status\"" | grep "\"kind\":\"$1\",\"port\":$2," |
            sed 's/.*"trig":\([a-z]*\).*/\1/' | tr '\n' ' '
    }
    check() {
        got="$(sequence "$1" "$2")"
        [ "$got" = "$3" ] || { echo "$api $1 port $2: got '$got', want '$3'"; exit 1; }
    }
    check md null "false true false "
    check di 1 "false true false "
    check di 0 "false "
    check di 2 "false "
    check di 3 "false "
done
