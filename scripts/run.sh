#!/usr/bin/env bash
# Builds the release tree and starts the main job: the device simulator on
# the loopback interface and Toolbay, whose device-search tool finds the
# simulator's devices: most speak ZELT, four speak ONVIF only (user admin,
# password Admin12345), all in one table.
set -euo pipefail
. "$(dirname "$0")/lib/prelude.sh"

./scripts/setup.sh
export ZELT_INTERFACES=${ZELT_INTERFACES:-lo}

toolbay_configure release
toolbay_build build/release
bin=$root/build/release/bin

# Per-module preparation of the program directory (configuration files,
# driver registration), each script taking the program directory.
for prep in scripts/prepare.d/*.sh; do
  [ -e "$prep" ] && "$prep" "$bin"
done

pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; }
trap cleanup EXIT

state=$root/build/release/devsim-state.json
if [ -x "$bin/zelt-devsim" ]; then
  # The simulator plays the maker of its devices: the programs here trust
  # its key (zelt-trusted-makers.txt in the program directory).
  "$bin/zelt-devsim" maker-key --public --state "$state" > "$bin/zelt-trusted-makers.txt"
  "$bin/zelt-devsim" --interfaces "$ZELT_INTERFACES" --state "$state" --onvif 4 --onvif-only &
  pids+=($!)
fi

if [ -x "$bin/Toolbay" ]; then
  if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ "${QT_QPA_PLATFORM:-}" != offscreen ]; then
    echo "run: no display found (DISPLAY is not set)." >&2
    echo "run: start it on a virtual display instead:  xvfb-run -a -s '-screen 0 1280x1024x24' $0" >&2
    exit 2
  fi
  # TOOLBAY_DEMO_ROUTED=1: Toolbay listens on a multicast group the
  # simulator does not use, as if a router stood between them: the ZELT
  # devices appear once their address (127.0.0.1) is added with "Add by
  # address or range" (the ONVIF-only ones are found by WS-Discovery).
  beyond=()
  [ "${TOOLBAY_DEMO_ROUTED:-0}" = 1 ] && beyond=(ZELT_GROUP=239.255.47.99)
  (cd "$bin" && env "${beyond[@]}" ./Toolbay)
elif [ -x "$bin/zeltctl" ]; then
  sleep 1
  "$bin/zeltctl" --interfaces "$ZELT_INTERFACES" list --timeout 4
else
  echo "run: nothing to start yet" >&2
fi
