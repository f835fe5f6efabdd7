#!/usr/bin/env bash
# The main job on a fresh Debian 12 machine: install what is needed, build,
# and run camdet-monitor. Extra arguments go to the monitor.
#   CAMDET_BUILD_PREFIX  build tree (build)    CAMDET_JOBS  compile jobs (2)
#   CAMDET_DEPS_DONE=1   skip the package installation
set -euo pipefail

MONITOR_ARGS=(--demo)

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${CAMDET_BUILD_PREFIX:-build}"
case "$BUILD" in /*) ;; *) BUILD="$ROOT/$BUILD" ;; esac

[ -n "${CAMDET_DEPS_DONE:-}" ] || "$ROOT/scripts/deps.sh" >&2
cmake -S "$ROOT" -B "$BUILD" >&2
cmake --build "$BUILD" -j "${CAMDET_JOBS:-2}" --target camdet-monitor >&2
exec "$BUILD/tools/camdet-monitor" "${MONITOR_ARGS[@]}" "$@"
