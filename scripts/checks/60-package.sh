#!/usr/bin/env bash
# The Debian package: builds it (scripts/package.sh), checks it with
# lintian, installs it on this machine, runs what it installed (zeltctl
# --help and against the installed simulator, the man pages, the menu
# entry's command until Toolbay's main window is up, the workbook driver's
# unixODBC entry), then purges it and shows that nothing of it is left.
# unixODBC's registration goes to a scratch ODBCSYSINI (the maintainer
# scripts see it through dpkg), so this machine's own entries stay as they
# are.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
name='Microsoft Excel Driver (*.xls)'
fail() { echo "package: $*" >&2; exit 1; }

[ "$(id -u)" -eq 0 ] || fail "installing the package needs root"
if dpkg-query -W -f='${Status}' toolbay 2>/dev/null | grep -q ' installed'; then
  fail "toolbay is installed on this machine already; this check would replace and remove it"
fi

# The registration helper the maintainer scripts call, on a scratch
# registration: idempotent, repoints a stale entry, and removes only an
# entry that points at the driver it is given.
reg=$(mktemp -d)
(
  export ODBCSYSINI=$reg
  : >"$reg/odbcinst.ini"
  helper=platform/xlsodbc/odbc-register.sh
  entry() { odbcinst -q -d -n "$name" 2>/dev/null | sed -n "s/^$1=//p"; }
  $helper register /opt/a/libtoolbayxls.so && $helper register /opt/a/libtoolbayxls.so
  [ "$(entry Driver)" = /opt/a/libtoolbayxls.so ] && [ "$(entry UsageCount)" = 1 ] \
    || fail "registering twice does not leave one entry"
  $helper register /opt/b/libtoolbayxls.so
  [ "$(entry Driver)" = /opt/b/libtoolbayxls.so ] && [ "$(entry UsageCount)" = 1 ] \
    || fail "a stale entry is not repointed"
  $helper unregister /opt/a/libtoolbayxls.so
  [ "$(entry Driver)" = /opt/b/libtoolbayxls.so ] || fail "another driver's entry was removed"
  $helper unregister /opt/b/libtoolbayxls.so
  ! odbcinst -q -d -n "$name" >/dev/null 2>&1 || fail "unregister leaves the entry"
  if $helper frobnicate /opt/b/libtoolbayxls.so 2>/dev/null; then fail "a wrong action is accepted"; fi
) || { rm -rf "$reg"; exit 1; }
rm -rf "$reg"
echo "package: the driver registration helper registers, repoints and removes as it should"

deb=$(./scripts/package.sh | tail -1)
echo "package: built $deb"

scratch=$(mktemp -d)
sim_pid=
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true
  if dpkg-query -W -f='${Status}' toolbay 2>/dev/null | grep -q ' installed'; then
    DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq toolbay >/dev/null 2>&1 || true
  fi
  rm -rf "$scratch"
}
trap cleanup EXIT

# lintian: errors fail the check, warnings are shown.
lintian --tag-display-limit 0 "$deb" >"$scratch/lintian.txt" 2>&1 || true
cat "$scratch/lintian.txt"
if grep -q '^E:' "$scratch/lintian.txt"; then
  fail "lintian reports errors"
fi
echo "package: lintian reports no error"

export ODBCSYSINI=$scratch/odbc
mkdir -p "$ODBCSYSINI" && : >"$ODBCSYSINI/odbcinst.ini" && : >"$ODBCSYSINI/odbc.ini"

DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$deb" >"$scratch/apt.txt" 2>&1 \
  || { cat "$scratch/apt.txt"; fail "the package does not install"; }
dpkg -L toolbay >"$scratch/files.txt"
echo "package: installed, $(wc -l <"$scratch/files.txt") paths"
for f in /usr/bin/toolbay /usr/bin/zeltctl /usr/bin/zelt-devsim /usr/lib/toolbay/libZeltscan.so \
  /usr/lib/toolbay/libtoolbayxls.so /usr/lib/toolbay/translations/ZELT_zh.qm /etc/toolbay/Setup.xml \
  /usr/lib/toolbay/Config.xml /usr/share/applications/toolbay.desktop \
  /usr/share/icons/hicolor/48x48/apps/toolbay.png /usr/share/man/man1/zeltctl.1.gz; do
  [ -e "$f" ] || fail "$f is missing after the install"
done

# The driver is registered, at the installed path.
odbcinst -q -d | grep -qxF "[$name]" || fail "odbcinst -q -d does not list the driver"
odbcinst -q -d -n "$name" | grep -qx 'Driver=/usr/lib/toolbay/libtoolbayxls.so' \
  || fail "the driver's entry does not point at the installed driver"
echo "package: odbcinst -q -d lists [$name]"

# The installed programs.
zeltctl --help >"$scratch/help.txt" 2>&1 || fail "zeltctl --help failed"
grep -q '^usage: zeltctl' "$scratch/help.txt" || fail "zeltctl --help printed no usage"
for page in toolbay zeltctl zelt-devsim; do
  MANPAGER=cat MANWIDTH=80 man "$page" 2>/dev/null | grep -q "^NAME" || fail "man $page does not render"
done
echo "package: zeltctl --help and the man pages work"

port=$((47900 + RANDOM % 500))
state=$scratch/sim.json
zelt-devsim maker-key --public --state "$state" >"$scratch/makers.txt"
zelt-devsim --state "$state" --port "$port" --count 6 --quiet --ready-file "$scratch/ready" &
sim_pid=$!
for _ in $(seq 1 100); do [ -e "$scratch/ready" ] && break; sleep 0.1; done
[ -e "$scratch/ready" ] || fail "the installed simulator did not start"
found=$(ZELT_TRUSTED_MAKERS=$scratch/makers.txt zeltctl --interfaces lo --port "$port" --protocol zelt \
  list --count 6 --timeout 10 --json | grep -c '"serial"' || true)
kill "$sim_pid" && wait "$sim_pid" 2>/dev/null || true
sim_pid=
[ "$found" -eq 6 ] || fail "the installed zeltctl found $found of the installed simulator's 6 devices"
echo "package: the installed zeltctl finds the installed simulator's 6 devices"

# The menu entry: valid, and its command brings up Toolbay's main window.
desktop-file-validate /usr/share/applications/toolbay.desktop || fail "invalid desktop entry"
if appstreamcli validate --no-net /usr/share/metainfo/toolbay.metainfo.xml 2>&1 | grep -q '^E:'; then
  fail "the AppStream data has errors"
fi
exec_line=$(sed -n 's/^Exec=//p' /usr/share/applications/toolbay.desktop)
[ "$(readlink -f "$(command -v "${exec_line%% *}")")" = /usr/lib/toolbay/Toolbay ] \
  || fail "the menu entry's command is not the installed Toolbay"
(
  cd "$scratch"
  QT_QPA_PLATFORM="offscreen:configfile=$root/tests/screen-1280x1024.json" \
    QT_LOGGING_RULES="toolbay.startup.info=true" ZELT_INTERFACES=lo \
    timeout 30 $exec_line >"$scratch/toolbay.txt" 2>&1 &
  pid=$!
  for _ in $(seq 1 200); do
    grep -q 'main window shown' "$scratch/toolbay.txt" && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
)
grep -q 'main window shown' "$scratch/toolbay.txt" || { cat "$scratch/toolbay.txt"; fail "\"$exec_line\" did not bring up the main window"; }
if grep -q 'No file to read' "$scratch/toolbay.txt"; then
  fail "Toolbay did not find its Setup.xml (/etc/toolbay through the program directory)"
fi
echo "package: the menu entry's command ($exec_line) brings up Toolbay: $(grep -o 'main window shown.*' "$scratch/toolbay.txt")"

# Purge: nothing of the package is left, nor its unixODBC entry.
DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq toolbay >"$scratch/apt.txt" 2>&1 \
  || { cat "$scratch/apt.txt"; fail "the package does not purge"; }
if dpkg -L toolbay >/dev/null 2>&1; then
  fail "dpkg still knows the package's files"
fi
left=()
while IFS= read -r path; do
  [ -L "$path" ] || [ -f "$path" ] && left+=("$path")
done <"$scratch/files.txt"
for dir in /usr/lib/toolbay /etc/toolbay /usr/share/doc/toolbay; do
  [ -e "$dir" ] && left+=("$dir")
done
[ ${#left[@]} -eq 0 ] || fail "left behind: ${left[*]}"
if odbcinst -q -d -n "$name" >/dev/null 2>&1 || grep -qF "[$name]" "$ODBCSYSINI/odbcinst.ini"; then
  fail "the driver's unixODBC entry is left behind"
fi
echo "package: purged; no file, folder or unixODBC entry of it is left"
