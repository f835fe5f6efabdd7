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
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export DEBIAN_FRONTEND=noninteractive

CAMDET_PACKAGES=()
CAMDET_I386_PACKAGES=()
# Only the two array assignments are taken from .ci/run, nothing it runs.
eval "$(sed -n -e '/^CAMDET_PACKAGES=(/,/^)/p' -e '/^CAMDET_I386_PACKAGES=(/,/^)/p' "$ROOT/.ci/run")"
if [ "${#CAMDET_PACKAGES[@]}" -eq 0 ]; then
  echo "deps: no package list found in .ci/run" >&2
  exit 1
fi

SUDO=()
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then SUDO=(sudo -n); fi
fi

APT_OPTS=(-y -q -o Dpkg::Options::=--force-confdef -o Dpkg::Options::=--force-confold)

# Prints the packages of the list that are not installed. A name without
# ":arch" means the machine's own architecture (or an "all" package).
missing_packages() {
  dpkg-query -W -f='${binary:Package} ${Architecture} ${Status}\n' "$@" 2>/dev/null |
    awk -v native="$(dpkg --print-architecture)" -v want="$*" '
      $3 == "install" && $4 == "ok" && $5 == "installed" {
        name = $1
        have[name ~ /:/ ? name : name ":" $2] = 1
        if ($2 == native || $2 == "all") { sub(":" native "$", "", name); have[name] = 1 }
      }
      END { n = split(want, w, " "); for (i = 1; i <= n; i++) if (!(w[i] in have)) print w[i] }'
}

# The security mirror is sometimes caught half-synced for one architecture
# ("File has unexpected size"); apt then keeps the old index and the other
# indexes are fine, so a failed update is not fatal: the install that
# follows tells whether what we need is there.
apt_update() {
  if ! "${SUDO[@]}" apt-get update -q; then
    echo "deps: apt-get update reported errors (see above); going on with the indexes it has" >&2
  fi
}

install_native() {
  local missing
  missing="$(missing_packages "${CAMDET_PACKAGES[@]}")"
  if [ -z "$missing" ]; then
    echo "deps: all ${#CAMDET_PACKAGES[@]} packages present"
    return 0
  fi
  echo "deps: installing:" $missing
  apt_update
  # --no-upgrade: packages already present stay as they are, which keeps the
  # amd64 and i386 copies of shared libraries at versions both can have.
  "${SUDO[@]}" apt-get install "${APT_OPTS[@]}" --no-install-recommends --no-upgrade "${CAMDET_PACKAGES[@]}"
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
  local p
  for p in "${CAMDET_I386_PACKAGES[@]}"; do want+=("$p:i386"); done
  if [ -z "${CAMDET_DEPS_SIMULATE:-}" ] && [ -z "$(missing_packages "${want[@]}")" ]; then
    echo "deps: all ${#want[@]} i386 packages present"
    return 0
  fi
  if [ "$(id -u)" -ne 0 ] && [ "${#SUDO[@]}" -eq 0 ]; then
    echo "the i386 packages are missing and installing them needs root (or sudo)" >&2
    return 3
  fi
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${SUDO[@]}" dpkg --add-architecture i386
  fi
  apt_update

  PREFS="$(mktemp)"
  trap 'rm -f "$PREFS"' EXIT
  local closure b iv ci ca v
  closure="$(apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks \
               --no-replaces --no-enhances "${want[@]}" 2>/dev/null | grep -E '^[a-z0-9].*:i386$' | sort -u || true)"
  if [ -z "$closure" ]; then
    echo "no i386 package index available (apt-cache knows none of: ${want[*]})" >&2
    return 3
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
        echo "no version of $b exists for both amd64 and i386 (amd64 installed $iv, candidate $ca; i386 candidate $ci)" >&2
        return 3
      fi
      echo "deps: pinning $b to $v on both architectures (amd64 installed $iv, candidate $ca; i386 candidate $ci)"
      printf 'Package: %s\nPin: version %s\nPin-Priority: 1001\n\n' "$b" "$v" >>"$PREFS"
    fi
  done
  local log
  log="$(mktemp)"
  local -a sim=()
  [ -z "${CAMDET_DEPS_SIMULATE:-}" ] || sim=(-s)
  if ! "${SUDO[@]}" apt-get "${sim[@]}" -o Dir::Etc::Preferences="$PREFS" install "${APT_OPTS[@]}" \
       --no-install-recommends --allow-downgrades "${want[@]}" >"$log" 2>&1; then
    cat "$log"
    echo "apt-get could not install the i386 packages: $(grep -E '^(E:| .* : Depends)' "$log" | head -3 | tr -s ' \n' ' ')" >&2
    rm -f "$log"
    return 3
  fi
  tail -n 3 "$log"
  rm -f "$log"
}

case "${1:-}" in
  "") install_native ;;
  --i386) install_i386 ;;
  *) echo "usage: $0 [--i386]" >&2; exit 2 ;;
esac
