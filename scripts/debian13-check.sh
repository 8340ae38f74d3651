#!/usr/bin/env bash
# Runs the README's test command on Debian 13 (Qt 6.8, GCC 14) in a chroot, so
# that every change is built and tested against the newer Qt as well as the
# machine's own. The chroot is made once with debootstrap and kept (set
# XAMLPIE_TRIXIE_ROOT to place it elsewhere); the tree is copied in afresh each
# time, as a clean clone would have it, uncommitted changes included.
# Arguments name another command to run there instead, e.g.
#   scripts/debian13-check.sh scripts/bench.sh --benchmark_filter=Beside
set -euo pipefail
cd "$(dirname "$0")/.."

root="${XAMLPIE_TRIXIE_ROOT:-/var/tmp/xamlpie-trixie}"
mirror="${XAMLPIE_DEBIAN_MIRROR:-http://deb.debian.org/debian}"
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)

scripts/install-deps.sh debootstrap

if [ ! -e "$root/.xamlpie-ready" ]; then
  echo "debian13-check: making a Debian 13 chroot in $root"
  "${sudo[@]}" rm -rf "$root"
  # The mirror sometimes drops a connection; a second attempt starts over.
  "${sudo[@]}" debootstrap --variant=minbase trixie "$root" "$mirror" >"${TMPDIR:-/tmp}/debootstrap.log" ||
    { "${sudo[@]}" rm -rf "$root" &&
      "${sudo[@]}" debootstrap --variant=minbase trixie "$root" "$mirror"; }
  "${sudo[@]}" touch "$root/.xamlpie-ready"
fi

"${sudo[@]}" rm -rf "$root/src"
"${sudo[@]}" mkdir -p "$root/src"
git ls-files -z --cached --others --exclude-standard |
  tar --null -T - -cf - | "${sudo[@]}" tar -C "$root/src" -xf -
"${sudo[@]}" cp /etc/resolv.conf "$root/etc/resolv.conf"

# A mount namespace of its own: the mounts go away with the command, whatever
# way it ends.
"${sudo[@]}" unshare --mount --propagation private sh -ec '
  root=$1
  shift
  mount -t proc proc "$root/proc"
  mount --rbind /dev "$root/dev"
  mount -t tmpfs tmpfs "$root/tmp"
  exec chroot "$root" /usr/bin/env -i HOME=/root LANG=C.UTF-8 TERM=dumb \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    CI="${CI:-}" sh -ec "cd /src && . /etc/os-release && echo \"On \$PRETTY_NAME\" && exec \"\$@\"" \
    sh "$@"
' sh "$root" "${@:-./test.sh}"
