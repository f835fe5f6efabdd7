#!/usr/bin/env bash
# Tests of the set-up scripts as a newcomer's machine meets them: stand-ins
# for dpkg-query, apt-get, apt-cache and dpkg (tests/scripts/standins) come
# first on PATH and behave like the real programs on a machine that has never
# seen the project's packages. Nothing is installed. Prints one line per
# check and ends with "N passed, N failed"; exits non-zero if any failed.
set -uo pipefail

# The caller's settings must not reach the scripts under test: CI runs this
# with CAMDET_DEPS_DONE=1, which would skip the very step being tested.
unset CAMDET_DEPS_DONE CAMDET_STAGES CAMDET_BUILD_PREFIX CAMDET_I386_PACKAGES

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
STANDINS="$ROOT/tests/scripts/standins"
WORK="$(mktemp -d)" || { echo "setup tests: mktemp failed" >&2; exit 1; }
trap 'rm -rf "$WORK"' EXIT

PASS=0
FAIL=0
check() { # check <name> <condition...>
  local name="$1"
  shift
  if "$@"; then
    PASS=$((PASS + 1))
    echo "ok    $name"
  else
    FAIL=$((FAIL + 1))
    echo "FAIL  $name"
    echo "      --- stderr:"; sed 's/^/      /' "$STANDIN_STATE/err" | tail -n 8
    echo "      --- apt calls:"; sed 's/^/      /' "$STANDIN_STATE/apt.log" 2>/dev/null | tail -n 5
  fi
}

# The native package list, read the way deps.sh reads it.
eval "$(sed -n -e '/^CAMDET_PACKAGES=(/,/^)/p' -e '/^CAMDET_I386_PACKAGES=(/,/^)/p' "$ROOT/.ci/run")"

# fresh_state [installed package...]: a machine where only those are known.
fresh_state() {
  export STANDIN_STATE="$WORK/state.$RANDOM$RANDOM"
  mkdir -p "$STANDIN_STATE"
  : >"$STANDIN_STATE/installed"
  : >"$STANDIN_STATE/apt.log"
  local p
  for p in "$@"; do echo "$p amd64" >>"$STANDIN_STATE/installed"; done
}

# run <command...>: runs with the stand-ins first on PATH; status in RC,
# stdout in $STANDIN_STATE/out, stderr in $STANDIN_STATE/err.
run() {
  PATH="$STANDINS:$PATH" timeout 60 "$@" </dev/null >"$STANDIN_STATE/out" 2>"$STANDIN_STATE/err"
  RC=$?
}

last_err() { grep -v '^$' "$STANDIN_STATE/err" | tail -n 1; }
install_call() { grep -E '(^| )install ' "$STANDIN_STATE/apt.log" | grep -v -- ' -s ' | tail -n 1; }
asked_for_all() {
  local call p
  call=" $(install_call) "
  for p in "$@"; do case "$call" in *" $p "*) ;; *) return 1 ;; esac; done
}
asked_for_none() {
  local call p
  call=" $(install_call) "
  for p in "$@"; do case "$call" in *" $p "*) return 1 ;; esac; done
}

# --- the stand-ins themselves behave like the real programs
fresh_state cmake
run dpkg-query -W -f='${binary:Package} ${Status}\n' cmake lighttpd
check "dpkg-query stand-in: unknown name exits 1 and says so, known one still listed" \
  eval '[ $RC -eq 1 ] && grep -qx "dpkg-query: no packages found matching lighttpd" "$STANDIN_STATE/err" &&
        grep -qx "cmake install ok installed" "$STANDIN_STATE/out"'

# --- a machine that knows none of the packages
fresh_state
run "$ROOT/scripts/deps.sh"
check "nothing known to dpkg: deps.sh succeeds" eval '[ $RC -eq 0 ]'
check "nothing known to dpkg: the indexes are fetched first" \
  eval 'head -n 1 "$STANDIN_STATE/apt.log" | grep -q "^update"'
check "nothing known to dpkg: every package is asked for with apt-get install" asked_for_all "${CAMDET_PACKAGES[@]}"
check "nothing known to dpkg: progress names how many are installed" \
  eval 'grep -q "^deps: ${#CAMDET_PACKAGES[@]} of ${#CAMDET_PACKAGES[@]} packages are missing" "$STANDIN_STATE/err" &&
        grep -q "^deps: installing ${#CAMDET_PACKAGES[@]} packages" "$STANDIN_STATE/err"'
check "nothing known to dpkg: nothing on stdout (progress goes to stderr)" eval '[ ! -s "$STANDIN_STATE/out" ]'

# --- some present, some never heard of
fresh_state "${CAMDET_PACKAGES[@]:0:3}"
run "$ROOT/scripts/deps.sh"
check "some present: succeeds" eval '[ $RC -eq 0 ]'
check "some present: only the unknown ones are asked for" \
  eval 'asked_for_all "${CAMDET_PACKAGES[@]:3}" && asked_for_none "${CAMDET_PACKAGES[@]:0:3}"'

# --- all present
fresh_state "${CAMDET_PACKAGES[@]}"
run "$ROOT/scripts/deps.sh"
check "all present: succeeds without calling apt-get" \
  eval '[ $RC -eq 0 ] && [ ! -s "$STANDIN_STATE/apt.log" ] && grep -q "all ${#CAMDET_PACKAGES[@]} packages present" "$STANDIN_STATE/err"'

# --- a machine set up before the HTTPS tests: lighttpd without its TLS module
without_tls=()
for p in "${CAMDET_PACKAGES[@]}"; do [ "$p" = lighttpd-mod-openssl ] || without_tls+=("$p"); done
fresh_state "${without_tls[@]}"
run "$ROOT/scripts/deps.sh"
check "lighttpd's TLS module is on the list (the HTTPS tests serve through it)" \
  eval '[ ${#without_tls[@]} -eq $((${#CAMDET_PACKAGES[@]} - 1)) ]'
check "lighttpd without its TLS module: only the module is asked for" \
  eval '[ $RC -eq 0 ] && asked_for_all lighttpd-mod-openssl && asked_for_none lighttpd cmake &&
        grep -q "^deps: 1 of ${#CAMDET_PACKAGES[@]} packages are missing: lighttpd-mod-openssl" "$STANDIN_STATE/err"'

# --- apt-get install fails
fresh_state "${CAMDET_PACKAGES[@]:2}"
touch "$STANDIN_STATE/install-fails"
run "$ROOT/scripts/deps.sh"
check "install fails: non-zero exit" eval '[ $RC -ne 0 ]'
check "install fails: last line names the step and the packages" \
  eval '[ "$(last_err)" = "deps: apt-get install failed for: ${CAMDET_PACKAGES[*]:0:2}" ]'

# --- indexes never fetched and the mirror unreachable: update fails, then install
fresh_state
touch "$STANDIN_STATE/update-fails" "$STANDIN_STATE/install-fails"
run "$ROOT/scripts/deps.sh"
check "no indexes, update fails: install is still tried and its failure is the last line" \
  eval '[ $RC -ne 0 ] && install_call | grep -q install && last_err | grep -q "^deps: apt-get install failed for: "'

# --- demo.sh stops with the deps line, not silently
fresh_state
touch "$STANDIN_STATE/install-fails"
run "$ROOT/scripts/demo.sh"
check "demo.sh with a failing install: non-zero exit, the deps line last" \
  eval '[ $RC -ne 0 ] && last_err | grep -q "^deps: apt-get install failed for: "'

# --- test.sh: a failing install ends with its summary, non-zero
fresh_state
touch "$STANDIN_STATE/install-fails"
run env CAMDET_BUILD_PREFIX="$WORK/build" "$ROOT/scripts/test.sh"
check "test.sh with a failing install: non-zero exit, summary line last, deps line on stderr" \
  eval '[ $RC -ne 0 ] && [ "$(grep -v "^$" "$STANDIN_STATE/out" | tail -n 1)" = "0 passed, 1 failed" ] &&
        grep -q "^deps: apt-get install failed for: " "$STANDIN_STATE/err"'

# --- i386: no package index for the architecture
fresh_state "${CAMDET_PACKAGES[@]}"
run "$ROOT/scripts/deps.sh" --i386
check "i386 without an index: exit 3 with the reason last" \
  eval '[ $RC -eq 3 ] && last_err | grep -q "^no i386 package index available"'
check "i386 without an index: the architecture was added first" eval 'grep -qx i386 "$STANDIN_STATE/foreign"'

fresh_state "${CAMDET_PACKAGES[@]}"
run env CAMDET_DEPS_DONE=1 CAMDET_STAGES=i386 CAMDET_BUILD_PREFIX="$WORK/build" "$ROOT/scripts/test.sh"
check "test.sh i386 stage without an index: skipped with that reason, not failed" \
  eval '[ $RC -eq 0 ] && grep -q "i386 stage SKIPPED: no i386 package index available" "$STANDIN_STATE/out" &&
        [ "$(grep -v "^$" "$STANDIN_STATE/out" | tail -n 1)" = "0 passed, 0 failed, 1 skipped" ]'

echo
echo "$PASS passed, $FAIL failed"
[ "$FAIL" -eq 0 ]
