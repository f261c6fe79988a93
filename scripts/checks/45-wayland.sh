#!/usr/bin/env bash
# Toolbay on Wayland: a headless Weston compositor of this check's own, the
# program started with Qt's Wayland platform, its main window mapped by the
# compositor (the start-up log says so once the window is exposed, which a
# compositor does only for a window it configured); then the end-to-end
# test program opens the device-search tool in the shell on the same
# compositor and sees the simulator's devices (on loopback).
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
bin=${TOOLBAY_CHECK_BIN:-$root/build/asan/bin}
tests=${TOOLBAY_CHECK_TESTS:-$(dirname "$bin")/tests-bin}
command -v weston >/dev/null || { echo "wayland: weston missing (scripts/setup.sh installs it)" >&2; exit 1; }
qt_plugins=$(/usr/lib/qt6/bin/qtpaths6 --query QT_INSTALL_PLUGINS 2>/dev/null || echo /usr/lib/x86_64-linux-gnu/qt6/plugins)
[ -f "$qt_plugins/platforms/libqwayland-generic.so" ] \
  || { echo "wayland: Qt's Wayland platform plug-in missing (qt6-wayland; scripts/setup.sh installs it)" >&2; exit 1; }
[ -x "$bin/Toolbay" ] || { echo "wayland: build $bin first" >&2; exit 1; }

work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "wayland: FAILED: $*" >&2
  for f in "$work"/*.log; do [ -s "$f" ] && { echo "--- $f"; tail -n 30 "$f"; }; done >&2
  exit 1
}

# The compositor's socket lives in a runtime directory of this check.
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
socket=toolbay-check-$$
weston --backend=headless-backend.so --socket="$socket" --width=1920 --height=1080 --idle-time=0 \
  >"$work/weston.log" 2>&1 &
pids+=($!)
for _ in $(seq 1 100); do
  [ -S "$XDG_RUNTIME_DIR/$socket" ] && break
  sleep 0.1
done
[ -S "$XDG_RUNTIME_DIR/$socket" ] || fail "weston did not start"
export WAYLAND_DISPLAY=$socket QT_QPA_PLATFORM=wayland
unset DISPLAY
export ZELT_INTERFACES=lo
# Leak reports of a sanitizer build are the tests' business, not this check's.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}

# 1. The shell itself, from a program directory of its own.
mkdir "$work/program"
cp "$bin/Toolbay" "$bin"/lib*.so "$work/program/"
cp -r "$bin/translations" "$work/program/" 2>/dev/null || true
(cd "$work/program" && QT_LOGGING_RULES="toolbay.startup.info=true" ZELT_PORT=56147 exec ./Toolbay) \
  >"$work/toolbay.log" 2>&1 &
shell=$!
pids+=($shell)
for _ in $(seq 1 300); do
  grep -q "main window exposed" "$work/toolbay.log" && break
  kill -0 "$shell" 2>/dev/null || break
  sleep 0.1
done
grep -q "main window exposed on wayland" "$work/toolbay.log" || fail "Toolbay's main window was not mapped on Wayland"
grep -q "least resolution\|already running" "$work/toolbay.log" && fail "Toolbay refused to start"
echo "wayland: $(grep -o 'main window exposed.*' "$work/toolbay.log")"
kill "$shell" 2>/dev/null || true

# 2. The device-search tool in the shell, with the simulator's devices.
[ -x "$tests/tst_e2e_zeltscan" ] || fail "build $tests/tst_e2e_zeltscan first"
(cd "$tests" && TOOLBAY_BIN_DIR=$bin exec ./tst_e2e_zeltscan controlPanelOpensTheDeviceSearchTool \
  simulatorsDevicesAppear) >"$work/e2e.log" 2>&1 || fail "the device-search tool did not list the simulator's devices"
grep -q "Totals: .* 0 failed" "$work/e2e.log" || fail "end-to-end test"
echo "wayland: the device-search tool opened and listed the simulator's devices"
