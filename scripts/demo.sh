#!/usr/bin/env bash
# The main job on a fresh Debian 12 machine: install what is needed, build,
# and run camdet-monitor. Extra arguments go to the monitor.
#   CAMDET_BUILD_PREFIX  build tree (build)    CAMDET_JOBS  compile jobs (2)
#   CAMDET_DEPS_DONE=1   skip the package installation
# Build output goes to stderr, so stdout is the monitor's alone. A failing
# step ends the script with one line naming it.
set -uo pipefail

MONITOR_ARGS=(--demo)

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${CAMDET_BUILD_PREFIX:-build}"
case "$BUILD" in /*) ;; *) BUILD="$ROOT/$BUILD" ;; esac

# deps.sh names its own failing step in its last line.
if [ -z "${CAMDET_DEPS_DONE:-}" ]; then "$ROOT/scripts/deps.sh" || exit 1; fi
cmake -S "$ROOT" -B "$BUILD" >&2 || { echo "demo: cmake configure of $BUILD failed" >&2; exit 1; }
cmake --build "$BUILD" -j "${CAMDET_JOBS:-2}" --target camdet-monitor >&2 ||
  { echo "demo: building camdet-monitor in $BUILD failed" >&2; exit 1; }
exec "$BUILD/tools/camdet-monitor" "${MONITOR_ARGS[@]}" "$@"
