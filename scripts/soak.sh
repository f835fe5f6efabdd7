#!/usr/bin/env bash
# Fault soak of a fleet (not run by CI): one camdet-camsim fleet with random
# state changes and random faults (stall, close-mid, garbage, 401, 500, huge
# length, refuse), one camdet-monitor --config --mqtt --http watching it, a
# mosquitto broker on a loopback port that is restarted now and then, and
# mosquitto_sub recording everything published. At the end one screen says
# whether the monitor survived, whether its memory, descriptors and threads
# stayed flat after warm-up, and whether every change the simulator made
# outside a fault or a broker restart reached MQTT.
#
#   scripts/soak.sh [MINUTES (60)] [CAMERAS (200)]
#
# Settings (environment): CAMDET_BUILD (build tree, default build),
# SOAK_FAULT_EVERY (seconds between faults, 2), SOAK_EVENT_EVERY (seconds
# between state changes, 0.5), SOAK_BROKER_EVERY (seconds between broker
# restarts, 300), SOAK_DIR (work folder, a new one under /tmp).
set -uo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
MINUTES="${1:-60}"
CAMERAS="${2:-200}"
BUILD="${CAMDET_BUILD:-$ROOT/build}"
FAULT_EVERY="${SOAK_FAULT_EVERY:-2}"
EVENT_EVERY="${SOAK_EVENT_EVERY:-0.5}"
BROKER_EVERY="${SOAK_BROKER_EVERY:-300}"
DIR="${SOAK_DIR:-$(mktemp -d /tmp/camdet-soak.XXXXXX)}"
WARM=60
SAMPLE_EVERY=10
mkdir -p "$DIR"

for bin in "$BUILD/tools/camdet-camsim" "$BUILD/tools/camdet-monitor"; do
  [ -x "$bin" ] || { echo "soak: $bin is missing; build first (cmake --build $BUILD)" >&2; exit 2; }
done
for bin in mosquitto mosquitto_sub python3; do
  command -v "$bin" >/dev/null || [ -x "/usr/sbin/$bin" ] || { echo "soak: $bin is missing" >&2; exit 2; }
done
MOSQUITTO="$(command -v mosquitto || echo /usr/sbin/mosquitto)"

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
MQTT_PORT="$(free_port)"
HTTP_PORT="$(free_port)"

PIDS=()
cleanup() {
  for p in "${PIDS[@]}" ${BROKER:-} ${SUB:-}; do kill "$p" 2>/dev/null; done
  wait 2>/dev/null
}
trap cleanup EXIT

# The fleet: a third each of polling, multipart and ONVIF cameras.
third=$((CAMERAS / 3))
"$BUILD/tools/camdet-camsim" --fleet truen:$((CAMERAS - 2 * third)) --fleet hikvisionv3:$third --fleet onvif:$third \
  --user soak --password soak-pass --inputs 2 --random-events "$EVENT_EVERY" --random-faults "$FAULT_EVERY" \
  --fault-max 6 --seed "$RANDOM" --event-log "$DIR/events.log" --monitor-config "$DIR/fleet.yaml" \
  >"$DIR/camsim.out" 2>"$DIR/camsim.err" &
PIDS+=($!)
for _ in $(seq 100); do grep -q '^ready' "$DIR/camsim.out" 2>/dev/null && break; sleep 0.2; done
grep -q '^ready' "$DIR/camsim.out" || { echo "soak: the simulator did not start:" >&2; cat "$DIR/camsim.err" >&2; exit 1; }

start_broker() {
  printf 'listener %s 127.0.0.1\nallow_anonymous true\npersistence false\n' "$MQTT_PORT" >"$DIR/mosquitto.conf"
  "$MOSQUITTO" -c "$DIR/mosquitto.conf" >>"$DIR/mosquitto.log" 2>&1 &
  BROKER=$!
  for _ in $(seq 50); do mosquitto_sub -p "$MQTT_PORT" -t x -W 1 -C 1 >/dev/null 2>&1; [ $? -ne 1 ] && break; sleep 0.1; done
  mosquitto_sub -p "$MQTT_PORT" -t 'camdet/#' -F '%I %t %p' -q 1 >>"$DIR/mqtt.log" 2>/dev/null &
  SUB=$!
}
stop_broker() {
  kill "$SUB" 2>/dev/null
  kill "$BROKER" 2>/dev/null
  wait "$BROKER" "$SUB" 2>/dev/null
}
start_broker

"$BUILD/tools/camdet-monitor" --config "$DIR/fleet.yaml" --json --mqtt "mqtt://127.0.0.1:$MQTT_PORT" \
  --mqtt-node soak --http "127.0.0.1:$HTTP_PORT" --log "$DIR/library.log" >"$DIR/monitor.out" 2>"$DIR/monitor.err" &
MON=$!
PIDS+=($MON)
echo "soak: $CAMERAS cameras for $MINUTES min in $DIR; status page http://127.0.0.1:$HTTP_PORT/" >&2

END=$((SECONDS + MINUTES * 60))
NEXT_BROKER=$((SECONDS + BROKER_EVERY))
: >"$DIR/samples"
: >"$DIR/broker-restarts"
while [ $SECONDS -lt $END ]; do
  sleep "$SAMPLE_EVERY"
  kill -0 "$MON" 2>/dev/null || break
  rss="$(awk '/^VmRSS:/ {print $2}' /proc/$MON/status)"
  thr="$(awk '/^Threads:/ {print $2}' /proc/$MON/status)"
  fds="$(ls /proc/$MON/fd | wc -l)"
  echo "$SECONDS $rss $fds $thr" >>"$DIR/samples"
  if [ $SECONDS -ge $NEXT_BROKER ]; then
    date -u +%Y-%m-%dT%H:%M:%S.000Z >>"$DIR/broker-restarts"
    stop_broker
    sleep 2
    start_broker
    date -u +%Y-%m-%dT%H:%M:%S.000Z >>"$DIR/broker-restarts"
    NEXT_BROKER=$((SECONDS + BROKER_EVERY))
  fi
done

alive=yes
kill -0 "$MON" 2>/dev/null || alive=no
rc=0
if [ $alive = yes ]; then
  kill -TERM "$MON"
  wait "$MON"
  rc=$?
else
  wait "$MON"
  rc=$?
fi
sleep 1
stop_broker

python3 - "$DIR" "$alive" "$rc" "$WARM" "$CAMERAS" "$MINUTES" <<'EOF'
import sys, datetime, collections
d, alive, rc, warm, cams, minutes = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4]), sys.argv[5], sys.argv[6]
def t(s): return datetime.datetime.strptime(s[:19], "%Y-%m-%dT%H:%M:%S").timestamp() + float("0." + s[20:23])
samples = [tuple(map(int, l.split())) for l in open(d + "/samples") if len(l.split()) == 4]
first = samples[0][0] if samples else 0
steady = [s for s in samples if s[0] - first >= warm] or samples
events = [l.split() for l in open(d + "/events.log") if len(l.split()) == 4]
restarts = [t(l.strip()) for l in open(d + "/broker-restarts") if l.strip()]
faults = collections.defaultdict(list)   # camera -> [(on, off)]
opened = {}
for ts, cam, what, st in events:
    if what.startswith("fault-"):
        key = (cam, what)
        if st == "on": opened[key] = t(ts)
        elif key in opened: faults[cam].append((opened.pop(key), t(ts)))
for (cam, what), since in opened.items(): faults[cam].append((since, 1e12))
mq = collections.defaultdict(list)      # topic -> [(time of the change in the payload, trig)]
for l in open(d + "/mqtt.log", errors="replace"):
    p = l.split(" ", 2)
    if len(p) == 3 and p[2].startswith("{") and '"time":"' in p[2]:
        mq[p[1]].append((t(p[2].split('"time":"')[1]), '"trig":true' in p[2]))
topic = {"motion": "md", "tamper": "td", "audio": "ad", "input1": "di/0", "input2": "di/1"}
changes = [(t(ts), cam, what, st == "on") for ts, cam, what, st in events if not what.startswith("fault-")]
last = changes[-1][0] if changes else 0
checked = seen = 0
missed = []
for i, (at, cam, what, on) in enumerate(changes):
    top = "camdet/%s/%s" % (cam, topic[what])
    if top not in mq or at > last - 20: continue                # no such detector, or too close to the end
    if any(a - 10 < at < b + 10 for a, b in faults[cam]): continue   # during or right after a fault
    if any(abs(at - r) < 20 for r in restarts): continue          # around a broker restart
    if any(c[1] == cam and c[2] == what and 0 < c[0] - at < 5 for c in changes[i + 1:i + 200]): continue  # flipped back at once
    checked += 1
    if any(m >= at - 0.5 and tr == on for m, tr in mq[top]): seen += 1
    else: missed.append("%s %s %s %s" % (datetime.datetime.utcfromtimestamp(at).strftime("%H:%M:%S"), cam, what, "on" if on else "off"))
def rng(i): return (min(s[i] for s in steady), max(s[i] for s in steady)) if steady else (0, 0)
print("==================== camdet fleet soak ====================")
print("cameras %s, %s min, folder %s" % (cams, minutes, d))
print("monitor: %s at the end, exit status %d" % ("running" if alive == "yes" else "GONE", rc))
print("faults injected %d, state changes %d, broker restarts %d" % (sum(len(v) for v in faults.values()), len(changes), len(restarts) // 2))
r, f, th = rng(1), rng(2), rng(3)
print("after %d s warm-up (%d samples): rss %d-%d KiB, fds %d-%d, threads %d-%d" % (warm, len(steady), r[0], r[1], f[0], f[1], th[0], th[1]))
if len(steady) >= 4:
    q = len(steady) // 4
    a = sum(s[1] for s in steady[:q]) / q; b = sum(s[1] for s in steady[-q:]) / q
    print("rss first quarter %.0f KiB, last quarter %.0f KiB (%+.1f%%)" % (a, b, 100 * (b - a) / a))
print("changes outside faults and restarts: %d checked, %d seen on MQTT, %d missed" % (checked, seen, len(missed)))
for m in missed[:5]: print("  missed:", m)
ok = alive == "yes" and rc == 0 and not missed and f[1] - f[0] < 50 and th[1] - th[0] < 50
print("verdict:", "PASS" if ok else "FAIL")
sys.exit(0 if ok else 1)
EOF
