#!/usr/bin/env bash
# The simulator's ONVIF devices and the SDK against independent programs, in
# network namespaces this check creates (multicast needs real links; no
# traffic leaves them):
#   onvc  the client host: zeltctl, onvif-util, the npm "onvif" client
#   onvd  the device host: zelt-devsim, each ONVIF device on its own address
#   onvw  a host running wsdd, a WS-Discovery responder that is no camera
# Needs root (ip netns); skipped, saying so, without it.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
bin=${TOOLBAY_CHECK_BIN:-$root/build/asan/bin}
if [ "$(id -u)" -ne 0 ] || ! command -v ip >/dev/null; then
  echo "onvif-interop: skipped (needs root and ip(8) for network namespaces)"
  exit 0
fi
for tool in onvif-util wsdd node npm; do
  command -v "$tool" >/dev/null || { echo "onvif-interop: $tool missing (scripts/setup.sh installs it)" >&2; exit 1; }
done
[ -x "$bin/zelt-devsim" ] && [ -x "$bin/zeltctl" ] || { echo "onvif-interop: build $bin first" >&2; exit 1; }

tag=$$
c=onvc$tag d=onvd$tag w=onvw$tag
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  for n in "$c" "$d" "$w"; do ip netns del "$n" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "onvif-interop: FAILED: $*" >&2; for f in "$work"/*.out "$work"/*.err; do [ -s "$f" ] && { echo "--- $f"; tail -n 30 "$f"; }; done >&2; exit 1; }

if ! ip netns add "$c" 2>/dev/null; then
  echo "onvif-interop: skipped (network namespaces cannot be created here)"
  exit 0
fi
ip netns add "$d"
ip netns add "$w"
for n in "$c" "$d" "$w"; do ip -n "$n" link set lo up; done
ip link add "oc$tag" type veth peer name "od$tag"
ip link set "oc$tag" netns "$c"
ip link set "od$tag" netns "$d"
ip link add "ow$tag" type veth peer name "ox$tag"
ip link set "ow$tag" netns "$c"
ip link set "ox$tag" netns "$w"
ip -n "$c" addr add 10.199.0.1/24 dev "oc$tag"
ip -n "$c" addr add 10.199.1.1/24 dev "ow$tag"
ip -n "$w" addr add 10.199.1.2/24 dev "ox$tag"
# The devices' own addresses (seed 199 puts them at 10.199.0.2 and up) and
# the one a device is moved to below.
ip -n "$d" addr add 10.199.0.200/24 dev "od$tag"
for a in 2 3 4 5 6 7 50; do ip -n "$d" addr add "10.199.0.$a/24" dev "od$tag"; done
for n in "$c" "$d" "$w"; do
  for l in $(ip -n "$n" -o link show | awk -F': ' '{print $2}' | cut -d@ -f1 | grep -v '^lo$'); do ip -n "$n" link set "$l" up; done
done
# Multicast leaves by the links (there is no default route in a namespace).
ip -n "$c" route add 239.255.255.250/32 dev "oc$tag"
ip -n "$w" route add 224.0.0.0/4 dev "ox$tag"
ip -n "$d" route add 224.0.0.0/4 dev "od$tag"

export ASAN_OPTIONS=detect_leaks=0
trust=$work/trusted.txt
"$bin/zelt-devsim" maker-key --public --maker-key "$work/maker.key" >"$trust"
export ZELT_TRUSTED_MAKERS=$trust
password=Admin12345

# onvif-util sends one UsernameToken (nonce and creation time) with several
# requests of a session: the simulator is told to take that.
ip netns exec "$d" "$bin/zelt-devsim" --interfaces "od$tag" --seed 199 --count 6 --onvif --onvif-token-reuse --verbose --maker-key "$work/maker.key" \
  --ready-file "$work/ready" >"$work/sim.out" 2>"$work/sim.err" &
pids+=($!)
for _ in $(seq 100); do [ -f "$work/ready" ] && break; sleep 0.1; done
[ -f "$work/ready" ] || fail "the simulator did not start"
ctl() { ip netns exec "$c" env -u ZELT_INTERFACES "$bin/zeltctl" "$@"; }
json_ip() { # mac: the ipv4 zeltctl lists for it
  ctl list --json --count 6 --timeout 6 | /usr/bin/python3 -c "import json,sys; print([d['ipv4'] for d in json.load(sys.stdin) if d['mac']=='$1'][0])"
}

echo "-- onvif-util -a finds the simulator's ONVIF devices"
ip netns exec "$c" timeout 30 onvif-util -a >"$work/util-all.out" 2>"$work/util-all.err" || true
cat "$work/util-all.out"
for a in 2 3 5 6; do grep -q "10.199.0.$a" "$work/util-all.out" || fail "onvif-util -a did not find 10.199.0.$a"; done
grep -q "10.199.0.4" "$work/util-all.out" && fail "the inactive device answered over ONVIF"

echo "-- onvif-util: get network, set ip_address, set dhcp"
mac=02-5a-c7-00-00-01  # device 2, at 10.199.0.3
[ "$(json_ip $mac)" = 10.199.0.3 ] || fail "zeltctl does not list $mac at 10.199.0.3"
printf 'get network\nquit\n' | ip netns exec "$c" timeout 30 onvif-util -u admin -p "$password" 10.199.0.3 >"$work/util-get.out" 2>&1 || true
cat "$work/util-get.out"
grep -q "IP Address: *10.199.0.3" "$work/util-get.out" || fail "onvif-util get network did not show the address"
printf 'set ip_address 10.199.0.50\nquit\n' | ip netns exec "$c" timeout 30 onvif-util -u admin -p "$password" 10.199.0.3 >"$work/util-set.out" 2>&1 || true
cat "$work/util-set.out"
now=$(json_ip $mac)
[ "$now" = 10.199.0.50 ] || fail "after onvif-util set ip_address zeltctl lists $mac at $now"
printf 'set dhcp on\nquit\n' | ip netns exec "$c" timeout 30 onvif-util -u admin -p "$password" 10.199.0.50 >"$work/util-dhcp.out" 2>&1 || true
cat "$work/util-dhcp.out"
dhcp=$(ctl list --json --count 6 --timeout 6 | /usr/bin/python3 -c "import json,sys; print([d['dhcp'] for d in json.load(sys.stdin) if d['mac']=='$mac'][0])")
[ "$dhcp" = True ] || fail "after onvif-util set dhcp on zeltctl shows dhcp $dhcp"

echo "-- the npm onvif client: discovery and GetNetworkInterfaces"
(cd tests/onvif-interop && npm ci --no-audit --no-fund --silent >"$work/npm.out" 2>&1) || fail "npm ci"
ip netns exec "$c" node tests/onvif-interop/client.js admin "$password" 3000 >"$work/node.out" 2>"$work/node.err" || fail "node client"
cat "$work/node.out"
/usr/bin/python3 - "$work/node.out" <<'EOF' || fail "the npm client's view is wrong"
import json, sys
cams = json.load(open(sys.argv[1]))["cameras"]
macs = sorted(c["mac"].lower() for c in cams)
assert len(cams) == 5, cams  # the active devices; the inactive one does not speak ONVIF
moved = [c for c in cams if c["mac"].lower() == "02:5a:c7:00:00:01"]
assert moved and moved[0]["address"] == "10.199.0.50" and moved[0]["dhcp"] is True, moved
EOF

echo "-- zeltctl over ONVIF only: list, set-ip, refusals"
ctl --protocol onvif list --json --count 5 --timeout 6 >"$work/onvif-list.out" || fail "zeltctl --protocol onvif list"
/usr/bin/python3 -c "import json,sys; d=json.load(open(sys.argv[1])); assert len(d)==5 and all(x['protocol']=='onvif' and x['trust']=='uncertified' for x in d), d" "$work/onvif-list.out" \
  || fail "ONVIF list"
# Over ONVIF alone: set-ip by MAC, then the ZELT side shows it; activation is refused.
# The device cannot prove who it is: without the user's consent nothing is sent.
rc=0; ZELT_PASSWORD=$password ctl --protocol onvif set-ip 02-5a-c7-00-00-03 --ip 10.199.0.3 2>"$work/consent.err" || rc=$?
[ "$rc" = 1 ] && grep -q "cannot prove who it is" "$work/consent.err" || fail "set-ip over ONVIF without consent: exit $rc"
rc=0; ZELT_PASSWORD=Wrong12345 ctl --protocol onvif set-ip 02-5a-c7-00-00-03 --ip 10.199.0.3 --allow-uncertified 2>/dev/null || rc=$?
[ "$rc" = 7 ] || fail "set-ip over ONVIF with a wrong password: exit $rc, not 7"
ZELT_PASSWORD=$password ctl --protocol onvif set-ip 02-5a-c7-00-00-03 --ip 10.199.0.3 --mask 255.255.255.0 --allow-uncertified || fail "set-ip over ONVIF"
now=$(json_ip 02-5a-c7-00-00-03)
[ "$now" = 10.199.0.3 ] || fail "after set-ip over ONVIF zeltctl lists 02-5a-c7-00-00-03 at $now"
rc=0; ctl --protocol onvif activate 02-5a-c7-00-00-04 Passw0rd99 2>"$work/refuse.err" || rc=$?
[ "$rc" = 1 ] && grep -q "ONVIF has no such command" "$work/refuse.err" || fail "activation over ONVIF was not refused (exit $rc)"

echo "-- wsdd: heard, never listed"
ip netns exec "$w" wsdd -i "ox$tag" -4 -n not-a-camera >"$work/wsdd.out" 2>&1 &
pids+=($!)
ctl --log-level 3 --log-dir "$work" list --json --timeout 5 >"$work/with-wsdd.out" || fail "zeltctl list beside wsdd"
grep -q "no video device" "$work/zelt-sdk.log" || fail "the SDK did not see wsdd's announcements"
/usr/bin/python3 -c "import json,sys; d=json.load(open(sys.argv[1])); assert len(d)==6, len(d); assert not any('not-a-camera' in x['name'] for x in d)" "$work/with-wsdd.out" \
  || fail "wsdd shows in the device list"
# Last, as failed logins lock the device for a while.
printf 'get network\nquit\n' | ip netns exec "$c" timeout 30 onvif-util -u admin -p Wrong12345 10.199.0.2 >"$work/util-wrong.out" 2>&1 || true
grep -q "IP Address:" "$work/util-wrong.out" && fail "onvif-util read the network settings with a wrong password"
kill -0 "${pids[0]}" || fail "the simulator died"
echo "onvif-interop: all checks passed"
