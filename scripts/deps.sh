#!/usr/bin/env bash
# Installs the Debian packages the project needs. The package lists live in
# .ci/run (CAMDET_PACKAGES, CAMDET_I386_PACKAGES); this script reads them
# from there so that there is one list only.
#
#   scripts/deps.sh          the native packages (skipped when all present)
#   scripts/deps.sh --i386   the 32-bit x86 libraries for the i386 build;
#                            exits 3 with the reason on stderr when they
#                            cannot be installed on this machine
#   CAMDET_DEPS_SIMULATE=1   resolve the i386 versions and let apt-get only
#                            simulate the install
#
# Everything it prints goes to stderr. Every failure ends with one line
# "deps: <step> failed ..." and a non-zero exit; nothing exits silently.
set -uo pipefail
exec 1>&2

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export DEBIAN_FRONTEND=noninteractive

die() { echo "deps: $*"; exit 1; }
# The i386 packages are optional: their failures say why and exit 3, which the
# test script reports as the i386 stage's skip reason.
skip_i386() { echo "$*"; exit 3; }

CAMDET_PACKAGES=()
CAMDET_I386_PACKAGES=()
[ -r "$ROOT/.ci/run" ] || die "reading the package lists failed: $ROOT/.ci/run is missing"
# Only the two array assignments are taken from .ci/run, nothing it runs.
lists="$(sed -n -e '/^CAMDET_PACKAGES=(/,/^)/p' -e '/^CAMDET_I386_PACKAGES=(/,/^)/p' "$ROOT/.ci/run")" ||
  die "reading the package lists from .ci/run failed"
eval "$lists" || die "reading the package lists from .ci/run failed: they are not bash arrays"
[ "${#CAMDET_PACKAGES[@]}" -gt 0 ] || die "reading the package lists failed: no CAMDET_PACKAGES in .ci/run"

command -v dpkg-query >/dev/null 2>&1 || die "finding dpkg-query failed: this is not a Debian system"
command -v apt-get >/dev/null 2>&1 || die "finding apt-get failed: this is not a Debian system"
NATIVE_ARCH="$(dpkg --print-architecture 2>/dev/null)" || die "dpkg --print-architecture failed"
[ -n "$NATIVE_ARCH" ] || die "dpkg --print-architecture failed: it printed nothing"

SUDO=()
if [ "$(id -u)" -ne 0 ] && command -v sudo >/dev/null 2>&1; then SUDO=(sudo -n); fi
can_install() { [ "$(id -u)" -eq 0 ] || [ "${#SUDO[@]}" -gt 0 ]; }

APT_OPTS=(-y -q -o Dpkg::Options::=--force-confdef -o Dpkg::Options::=--force-confold)

# Prints the packages of the list that are not installed, one per line. A
# name without ":arch" means the machine's own architecture (or an "all"
# package). dpkg-query exits 1 for names it has never heard of (a fresh
# machine knows few of ours) and still lists the rest: that is expected, not
# a failure; only a listing it could not make at all is.
missing_packages() {
  local listing rc=0
  listing="$(dpkg-query -W -f='${binary:Package} ${Architecture} ${Status}\n' "$@" 2>/dev/null)" || rc=$?
  if [ "$rc" -gt 1 ]; then
    echo "deps: dpkg-query failed with status $rc while listing the installed packages" >&2
    return 1
  fi
  awk -v native="$NATIVE_ARCH" -v want="$*" '
    $3 == "install" && $4 == "ok" && $5 == "installed" {
      name = $1
      have[name ~ /:/ ? name : name ":" $2] = 1
      if ($2 == native || $2 == "all") { sub(":" native "$", "", name); have[name] = 1 }
    }
    END { n = split(want, w, " "); for (i = 1; i <= n; i++) if (!(w[i] in have)) print w[i] }' <<<"$listing"
}

# The security mirror is sometimes caught half-synced for one architecture
# ("File has unexpected size"), and a machine may carry third-party sources
# that do not answer; apt then keeps the indexes it has. So a failed update is
# not fatal: the install that follows tells whether what we need is there.
apt_update() {
  echo "deps: fetching the package indexes (apt-get update)"
  if ! "${SUDO[@]}" apt-get update -q; then
    echo "deps: apt-get update reported errors (see above); going on with the indexes it has"
  fi
}

# How many packages apt will install for the given names, dependencies
# included (empty when apt cannot tell).
install_count() {
  "${SUDO[@]}" apt-get -s install "${APT_OPTS[@]}" --no-install-recommends --no-upgrade "$@" 2>/dev/null |
    grep -c '^Inst ' || true
}

install_native() {
  local -a missing=()
  local out
  out="$(missing_packages "${CAMDET_PACKAGES[@]}")" || die "listing the installed packages failed"
  [ -z "$out" ] || mapfile -t missing <<<"$out"
  if [ "${#missing[@]}" -eq 0 ]; then
    echo "deps: all ${#CAMDET_PACKAGES[@]} packages present"
    return 0
  fi
  echo "deps: ${#missing[@]} of ${#CAMDET_PACKAGES[@]} packages are missing: ${missing[*]}"
  can_install || die "installing failed: need root or sudo to install: ${missing[*]}"
  apt_update
  local n
  n="$(install_count "${missing[@]}")"
  if [ -n "$n" ] && [ "$n" -gt 0 ]; then
    echo "deps: installing ${#missing[@]} packages, $n with their dependencies (this takes a few minutes)"
  else
    echo "deps: installing ${#missing[@]} packages (this takes a few minutes)"
  fi
  # --no-upgrade: packages already present stay as they are, which keeps the
  # amd64 and i386 copies of shared libraries at versions both can have.
  # apt's own lines (Get:N, Unpacking, Setting up) are the progress.
  if ! "${SUDO[@]}" apt-get install "${APT_OPTS[@]}" --no-install-recommends --no-upgrade "${missing[@]}"; then
    die "apt-get install failed for: ${missing[*]}"
  fi
  out="$(missing_packages "${missing[@]}")" || die "listing the installed packages failed"
  [ -z "$out" ] || die "apt-get install left packages missing: $(echo $out)"
  echo "deps: installed ${#missing[@]} packages"
}

# One line per package and architecture, from a single apt-cache run:
#   <name> <arch> <installed|-> <candidate|-> <every known version...>
policy_table() {
  apt-cache policy "$@" 2>/dev/null | awk '
    function flush() { if (name != "") print name, arch, inst, cand, vers }
    /^[^ ].*:$/ { flush(); name = substr($0, 1, length($0) - 1); arch = "amd64"
                  if (name ~ /:i386$/) { arch = "i386"; sub(/:i386$/, "", name) }
                  inst = "-"; cand = "-"; vers = ""; next }
    /^  Installed:/ { inst = ($2 == "(none)") ? "-" : $2; next }
    /^  Candidate:/ { cand = ($2 == "(none)") ? "-" : $2; next }
    /^ (\*\*\*|   ) [^ ]+ [0-9-]+$/ { vers = vers " " $(NF - 1); next }
    END { flush() }'
}

# Multi-Arch: same libraries must have one version across architectures. When
# the mirror holds different versions for amd64 and i386 (one index stale, or
# the machine's amd64 copy older than either), pin each such library to the
# highest version both architectures have, for this one apt run.
install_i386() {
  local -a want=()
  local p out
  for p in "${CAMDET_I386_PACKAGES[@]}"; do want+=("$p:i386"); done
  if [ -z "${CAMDET_DEPS_SIMULATE:-}" ]; then
    out="$(missing_packages "${want[@]}")" || skip_i386 "listing the installed i386 packages failed"
    if [ -z "$out" ]; then
      echo "deps: all ${#want[@]} i386 packages present"
      return 0
    fi
  fi
  can_install || skip_i386 "the i386 packages are missing and installing them needs root (or sudo)"
  local foreign
  foreign="$(dpkg --print-foreign-architectures 2>/dev/null)" || skip_i386 "dpkg --print-foreign-architectures failed"
  if ! grep -qx i386 <<<"$foreign"; then
    echo "deps: adding the i386 architecture to dpkg"
    "${SUDO[@]}" dpkg --add-architecture i386 || skip_i386 "dpkg --add-architecture i386 failed"
  fi
  apt_update

  PREFS="$(mktemp)" || skip_i386 "mktemp failed"
  trap 'rm -f "$PREFS"' EXIT
  local closure b iv ci ca v
  closure="$(apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks \
               --no-replaces --no-enhances "${want[@]}" 2>/dev/null | grep -E '^[a-z0-9].*:i386$' | sort -u)"
  if [ -z "$closure" ]; then
    skip_i386 "no i386 package index available (apt-cache knows none of: ${want[*]})"
  fi
  local -A inst cand vers
  local name arch i c rest
  local -a query=()
  for p in $closure; do query+=("$p" "${p%:i386}:amd64"); done
  while read -r name arch i c rest; do
    inst["$name:$arch"]="$i"
    cand["$name:$arch"]="$c"
    vers["$name:$arch"]="$rest"
  done < <(policy_table "${query[@]}")
  for p in $closure; do
    b="${p%:i386}"
    ci="${cand[$b:i386]:--}"
    ca="${cand[$b:amd64]:--}"
    iv="${inst[$b:amd64]:--}"
    [ "$ca" != "-" ] || continue
    if [ "$ca" != "$ci" ] || { [ "$iv" != "-" ] && [ "$iv" != "$ci" ]; }; then
      v=""
      for c in ${vers[$b:i386]:-}; do
        case " ${vers[$b:amd64]:-} " in *" $c "*) ;; *) continue ;; esac
        if [ -z "$v" ] || dpkg --compare-versions "$c" gt "$v"; then v="$c"; fi
      done
      if [ -z "$v" ]; then
        skip_i386 "no version of $b exists for both amd64 and i386 (amd64 installed $iv, candidate $ca; i386 candidate $ci)"
      fi
      echo "deps: pinning $b to $v on both architectures (amd64 installed $iv, candidate $ca; i386 candidate $ci)"
      printf 'Package: %s\nPin: version %s\nPin-Priority: 1001\n\n' "$b" "$v" >>"$PREFS"
    fi
  done
  local log
  log="$(mktemp)" || skip_i386 "mktemp failed"
  local -a sim=()
  [ -z "${CAMDET_DEPS_SIMULATE:-}" ] || sim=(-s)
  echo "deps: installing ${#want[@]} i386 packages: ${want[*]}"
  if ! "${SUDO[@]}" apt-get "${sim[@]}" -o Dir::Etc::Preferences="$PREFS" install "${APT_OPTS[@]}" \
       --no-install-recommends --allow-downgrades "${want[@]}" >"$log" 2>&1; then
    cat "$log"
    local why
    why="$(grep -E '^(E:| .* : Depends)' "$log" | head -3 | tr -s ' \n' ' ')"
    rm -f "$log"
    skip_i386 "apt-get could not install the i386 packages: ${why:-see its output above}"
  fi
  tail -n 3 "$log"
  rm -f "$log"
}

case "${1:-}" in
  "") install_native ;;
  --i386) install_i386 ;;
  *) echo "usage: $0 [--i386]"; exit 2 ;;
esac
