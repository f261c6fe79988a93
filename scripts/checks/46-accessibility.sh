#!/usr/bin/env bash
# What a screen reader finds in Toolbay: the program runs on a virtual X
# display with the accessibility bus (AT-SPI) of a session bus of its own,
# and the accessible tree of its main window is walked through pyatspi.
# An interactive control (push button, check box, edit, combo box, page
# tab, menu item) without a name, or a focusable object without a role,
# fails the check. Then the device-search tool is opened from the control
# panel by keys (Return on the first tool) and the tree walked again: the
# tool's panel walked as well, under the same rules.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
bin=${TOOLBAY_CHECK_BIN:-$root/build/asan/bin}
for tool in xvfb-run dbus-run-session xdotool; do
  command -v "$tool" >/dev/null || { echo "accessibility: $tool missing (scripts/setup.sh installs it)" >&2; exit 1; }
done
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null \
  || { echo "accessibility: python3-pyatspi missing (scripts/setup.sh installs it)" >&2; exit 1; }
[ -x "$bin/Toolbay" ] && [ -f "$bin/libZeltscan.so" ] || { echo "accessibility: build $bin first" >&2; exit 1; }

# A program directory of its own: only the device-search tool enabled, in
# English, and an instance lock nobody else holds.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$bin/Toolbay" "$bin"/lib*.so "$work/"
cp -r "$bin/translations" "$work/" 2>/dev/null || true
printf '<?xml version="1.0" encoding="UTF-8"?>\n<Config><Tools>%s</Tools></Config>\n' "$(printf 2 | base64)" \
  >"$work/Config.xml"
mkdir -m 700 "$work/runtime"

cat >"$work/inner.sh" <<'INNER'
#!/usr/bin/env bash
# Runs inside the virtual display and the session bus.
set -euo pipefail
work=$1
cd "$work"
export XDG_RUNTIME_DIR=$work/runtime
export QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1
export ZELT_INTERFACES=lo ZELT_PORT=${ZELT_PORT:-56146}
# Leak reports of a sanitizer build are the tests' business, not this check's.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}
./Toolbay >"$work/toolbay.log" 2>&1 &
pid=$!
trap 'kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true' EXIT
main=
for _ in $(seq 1 150); do
  main=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | head -n 1 || true)
  [ -n "$main" ] && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.2
done
[ -n "$main" ] || { echo "accessibility: Toolbay showed no window" >&2; cat "$work/toolbay.log" >&2; exit 1; }
xdotool windowfocus --sync "$main" 2>/dev/null || true

/usr/bin/python3 "$work/walk.py" shell "$work/shell.txt"
# Return on the first tool of the control panel, which has the focus.
xdotool key --clearmodifiers Return
sleep 3
/usr/bin/python3 "$work/walk.py" panel "$work/panel.txt" "$work/shell.txt"
INNER

cat >"$work/walk.py" <<'PY'
import sys
import time

import pyatspi

mode, out = sys.argv[1], sys.argv[2]
seen_before = set()
if len(sys.argv) > 3:
    with open(sys.argv[3], encoding="utf-8") as f:
        seen_before = {line.rstrip("\n") for line in f}

CONTROLS = {
    pyatspi.ROLE_PUSH_BUTTON: "push button",
    pyatspi.ROLE_TOGGLE_BUTTON: "push button",
    pyatspi.ROLE_CHECK_BOX: "check box",
    pyatspi.ROLE_RADIO_BUTTON: "radio button",
    pyatspi.ROLE_TEXT: "edit",
    pyatspi.ROLE_ENTRY: "edit",
    pyatspi.ROLE_PASSWORD_TEXT: "edit",
    pyatspi.ROLE_COMBO_BOX: "combo box",
    pyatspi.ROLE_PAGE_TAB: "page tab",
    pyatspi.ROLE_MENU_ITEM: "menu item",
    pyatspi.ROLE_MENU: "menu",
}
NO_ROLE = {pyatspi.ROLE_UNKNOWN, pyatspi.ROLE_INVALID}


def find_main_window(deadline):
    while time.time() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            if app is None or app.name != "Toolbay":
                continue
            for window in app:
                if window is not None and window.name == "TBX":
                    return window
        time.sleep(0.5)
    return None


window = find_main_window(time.time() + 30)
if window is None:
    print(f"accessibility ({mode}): Toolbay's main window is not on the accessibility bus")
    sys.exit(1)

problems, controls, tabs = [], [], []


def walk(node, path, depth=0):
    if node is None or depth > 60:
        return
    try:
        role, name = node.getRole(), (node.name or "").strip()
        states = node.getState()
    except Exception:  # an object that went away meanwhile
        return
    here = f"{path}/{node.getRoleName()}"
    if role in CONTROLS:
        controls.append(here)
        if not name:
            problems.append(f"{here}: {CONTROLS[role]} without a name")
    if role in NO_ROLE and states.contains(pyatspi.STATE_FOCUSABLE):
        problems.append(f"{here} '{name}': focusable object without a role")
    if role == pyatspi.ROLE_PAGE_TAB:
        tabs.append(name)
    for i, child in enumerate(node):
        walk(child, f"{here}[{i}]", depth + 1)


walk(window, "TBX")
with open(out, "w", encoding="utf-8") as f:
    f.write("\n".join(problems))
print(f"accessibility ({mode}): {len(controls)} controls, page tabs {tabs}")
if mode == "shell":
    if not tabs:
        problems.append("the tab strip shows no page tabs")
    for p in problems:
        print(f"accessibility: FAILED: {p}")
    sys.exit(1 if problems else 0)

# The device-search tool open: the strip has its tab, and what is new is
# the tool panel's.
failed = False
if "TBX-ZELT" not in tabs:
    print("accessibility: FAILED: the device-search tool did not open (no 'TBX-ZELT' page tab)")
    failed = True
for p in problems:
    if p in seen_before:
        continue
    print(f"accessibility: FAILED (device-search panel): {p}")
    failed = True
sys.exit(1 if failed else 0)
PY

chmod +x "$work/inner.sh"
if ! xvfb-run -a -s '-screen 0 1600x1200x24' dbus-run-session -- "$work/inner.sh" "$work"; then
  echo "accessibility: FAILED (Toolbay's log follows)" >&2
  tail -n 40 "$work/toolbay.log" >&2 || true
  exit 1
fi
echo "accessibility: every control of the shell's main window and the device-search panel has a name and a role"
