#!/usr/bin/env bash
# Seeded mutation testing (not run by CI; about 15 minutes). Three areas, each
# with a fixed sample and seed so runs on the same tree are comparable: the
# pure rules and the HTTP parser against the unit tests, the transports + core
# against the unit tests and the transport loop tests (label loop: the loops'
# real threads against scripted cameras on loopback).
# The mutation tool is not part of the repository; name it with MUTATE:
#
#   MUTATE=/path/to/mutate.py scripts/mutation.sh [BUILD_DIR (build-mut)]
#
# QUICK=1 draws half-size samples (30/20/15 mutants) with the same seeds: a
# quicker check whose scores compare only with other QUICK runs.
#
# The build dir is a separate Debug tree without the tools (configured here);
# only the unit and loop tests are built. Per-area results go to BUILD_DIR/mutation/.
set -uo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="$(realpath -m "${1:-$ROOT/build-mut}")"
cd "$ROOT" || exit 1   # the file globs below are relative to the tree
MUTATE="${MUTATE:-}"

if [ -z "$MUTATE" ]; then
  echo "mutation: set MUTATE to the path of mutate.py (MUTATE=/path/to/mutate.py $0)" >&2
  exit 2
fi
if [ ! -f "$MUTATE" ]; then
  echo "mutation: MUTATE=$MUTATE does not exist" >&2
  exit 2
fi
command -v python3 >/dev/null || { echo "mutation: python3 is missing" >&2; exit 2; }

# The standard library's own checks are on, so that a mutant indexing one past
# a string or a vector fails here as it would under the sanitizers.
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS=-D_GLIBCXX_ASSERTIONS \
  -DCAMDET_INTEGRATION=ON -DCAMDET_TOOLS=OFF >/dev/null || exit 1
cmake --build "$BUILD" -j1 --target camdet_mutation_tests >/dev/null || { echo "mutation: build failed" >&2; exit 1; }

OUT="$BUILD/mutation"
mkdir -p "$OUT"

# name ; sample size ; seed ; ctest selection and target ; files
# (class_files checks where class names are spelt: it kills no mutant and
# costs a quarter of each unit run.)
AREAS=(
  "rules;60;1;-L ^unit$ -E ^class_files$ --target camdet_unit_tests;camdet/rules/*.cpp"
  "transport+core;40;2;-L ^(unit|loop)$ -E ^class_files$ --target camdet_mutation_tests;camdet/transport/*.cpp camdet/core/*.cpp"
  "httpparse;30;3;-R ^HttpParse --target camdet_unit_tests;host/net/httpparse.cpp"
)
if [ "${QUICK:-0}" = 1 ]; then
  for i in "${!AREAS[@]}"; do
    IFS=';' read -r name n rest <<<"${AREAS[$i]}"
    AREAS[$i]="$name;$((n / 2));$rest"
  done
fi

status=0
for area in "${AREAS[@]}"; do
  IFS=';' read -r name n seed sel files <<<"$area"
  echo "== $name (-n $n --seed $seed)"
  # shellcheck disable=SC2086  # sel and files are word lists on purpose
  if ! python3 "$MUTATE" --build "$BUILD" $sel -n "$n" --seed "$seed" \
      --out "$OUT/$name.tsv" $files >"$OUT/$name.log" 2>&1; then
    echo "mutation: $name failed; see $OUT/$name.log" >&2
    status=1
  fi
done

echo
echo "== scores"
for area in "${AREAS[@]}"; do
  IFS=';' read -r name n seed _ _ <<<"$area"
  summary="$OUT/$name.summary.txt"
  if [ -f "$summary" ]; then
    printf '%-16s -n %-3s --seed %s  %s\n' "$name" "$n" "$seed" "$(grep -i 'total' "$summary" | tail -1)"
  else
    printf '%-16s no result\n' "$name"
  fi
done
exit $status
