#!/bin/sh
# camdet-monitor --demo --json (and its ONVIF camera, --api onvif): each
# detector's status lines, in order, must read quiet, triggered, quiet
# (motion; input 2 = port 1), the other inputs quiet only, and the program
# must end by itself with status 0.
monitor="$1"
for api in "" "onvif"; do
    if [ -n "$api" ]; then
        out="$("$monitor" --demo --json --duration 14 --api "$api" --log /dev/null)" || { echo "exit status $?"; exit 1; }
    else
        out="$("$monitor" --demo --json --duration 14)" || { echo "exit status $?"; exit 1; }
    fi
    echo "$out"
    sequence() {  # sequence KIND PORT -> the trig values of its status lines
        echo "$out" | grep "\"event\":\"status\"" | grep "\"kind\":\"$1\",\"port\":$2," |
            sed 's/.*"trig":\([a-z]*\).*/\1/' | tr '\n' ' '
    }
    check() {
        got="$(sequence "$1" "$2")"
        [ "$got" = "$3" ] || { echo "${api:-default} $1 port $2: got '$got', want '$3'"; exit 1; }
    }
    check md null "false true false "
    check di 1 "false true false "
    check di 0 "false "
    check di 2 "false "
    check di 3 "false "
done
