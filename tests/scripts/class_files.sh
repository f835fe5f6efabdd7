#!/usr/bin/env bash
# Every class the factory tables can create is spelt in at most three files of
# the library: its family's file (with its header, for a family with its own
# loop), the factory table, and its rule where the rule carries the class's
# name. A class spelt in a fourth file is looked up or restated somewhere.
# Usage: class_files.sh [source root]. Prints the offenders; non-zero if any.
set -uo pipefail

ROOT="${1:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}"
TABLE="$ROOT/camdet/factory/detfactory.cpp"
[ -f "$TABLE" ] || { echo "class_files: no factory table at $TABLE" >&2; exit 2; }

# The classes the table points at: CLASS(Name) rows, detclass::Name picks and
# the definitions it declares.
classes=$(
  {
    grep -oE 'CLASS\([A-Za-z0-9_]+\)' "$TABLE" | sed -E 's/CLASS\((.*)\)/\1/'
    grep -oE 'detclass::[A-Za-z0-9_]+' "$TABLE" | sed 's/detclass:://'
    sed -n '/^extern const DetClassDef/,/;/p' "$TABLE" | sed 's/extern const DetClassDef//' | tr ',;' '\n\n'
  } | tr -d ' ' | grep -E '^[A-Za-z_][A-Za-z0-9_]*$' | grep -vx 'Name' | sort -u
)
count=$(printf '%s\n' "$classes" | grep -c .)
# A table the patterns no longer read would pass every class vacuously.
[ "$count" -ge 100 ] || { echo "class_files: read only $count classes from $TABLE" >&2; exit 2; }

bad=0
for c in $classes; do
  files=$(grep -rlw -- "$c" "$ROOT/camdet" | sed "s|^$ROOT/||" | sort)
  n=$(printf '%s\n' "$files" | grep -c .)
  if [ "$n" -gt 3 ]; then
    echo "$c is spelt in $n files: $(echo $files)"
    bad=$((bad + 1))
  elif [ "$n" -lt 2 ]; then
    echo "$c is in the table but defined nowhere else: $(echo $files)"
    bad=$((bad + 1))
  fi
done
echo "$count classes, $bad spelt in too many or too few files"
[ "$bad" -eq 0 ]
