#!/usr/bin/env bash
# Installs the Debian package on a fresh, minimal Debian 12 (a chroot made by
# mmdebstrap from the configured mirror), runs zeltctl, Toolbay (offscreen,
# until its main window is up) and the driver registration there, then
# purges it and lists what is left. Needs root and the network; not part of
# the test command (it downloads a system), run it by hand:
#   scripts/verify-package-fresh.sh [package.deb]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
[ "$(id -u)" -eq 0 ] || { echo "verify-package-fresh: needs root" >&2; exit 1; }
if ! command -v mmdebstrap >/dev/null; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends mmdebstrap
fi
deb=${1:-$(./scripts/package.sh | tail -1)}
chroot_dir=$(mktemp -d /var/tmp/toolbay-fresh.XXXXXX)
cleanup() {
  umount "$chroot_dir/proc" 2>/dev/null || true
  rm -rf "$chroot_dir"
}
trap cleanup EXIT

mmdebstrap --quiet --variant=apt bookworm "$chroot_dir"
cp "$deb" "$chroot_dir/tmp/toolbay.deb"
cp "$root/tests/screen-1280x1024.json" "$chroot_dir/tmp/screen.json"
mount -t proc proc "$chroot_dir/proc"
in_root() { chroot "$chroot_dir" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root "$@"; }

cp /etc/resolv.conf "$chroot_dir/etc/resolv.conf"
in_root apt-get update -q >/dev/null # mmdebstrap leaves no package lists behind
in_root sh -c 'DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends /tmp/toolbay.deb' | tail -3
echo "== fresh: installed, $(in_root dpkg -L toolbay | wc -l) paths"
in_root zeltctl --help | head -1
in_root odbcinst -q -d
in_root sh -c 'MANPAGER=cat man zeltctl 2>/dev/null | head -4' || true
in_root sh -c 'mkdir -p -m 700 /tmp/rt; cd /tmp; XDG_RUNTIME_DIR=/tmp/rt QT_QPA_PLATFORM=offscreen:configfile=/tmp/screen.json \
  QT_LOGGING_RULES=toolbay.startup.info=true ZELT_INTERFACES=lo timeout 20 toolbay >/tmp/toolbay.txt 2>&1 & pid=$!;
  for i in $(seq 1 150); do grep -q "main window shown" /tmp/toolbay.txt && break; sleep 0.1; done;
  kill $pid 2>/dev/null; wait $pid 2>/dev/null; cat /tmp/toolbay.txt' | grep -E "main window shown|rror" || echo "== fresh: Toolbay did not report its main window"
in_root sh -c 'DEBIAN_FRONTEND=noninteractive apt-get purge -y -q toolbay' | tail -2
echo "== fresh: after purge:"
in_root sh -c 'dpkg -L toolbay 2>&1 | head -1; ls -d /usr/lib/toolbay /etc/toolbay 2>&1; odbcinst -q -d 2>&1 || true'
