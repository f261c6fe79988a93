#!/usr/bin/env bash
# Drags a tab out of Toolbay's tab strip onto the desktop, for real, on a
# virtual X display:
#   scripts/drag-out-demo.sh [en|zh] [output folder]
# Builds Toolbay and the fake tool libraries (development tree), sets up a
# scratch program directory with three fake tools and a Config.xml enabling
# them, starts Toolbay under xvfb-run (1280x1024), opens two tools with clicks
# on the control panel, drags the second tool's tab out of the strip with
# xdotool (press, several moves, release), and checks that a second top-level
# window of Toolbay appeared. Screenshots of each stage land in the output
# folder (default build/drag-out-demo). Exit status 0 only if the window
# appeared.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
lang=${1:-en}
out=${2:-$root/build/drag-out-demo}
screen=1280x1024

if [ -z "${DRAG_OUT_DEMO_INNER:-}" ]; then
  for tool in xvfb-run xdotool import convert xwininfo; do
    command -v "$tool" >/dev/null || { echo "drag-out-demo: $tool missing (scripts/setup.sh installs it)" >&2; exit 2; }
  done
  "$root/scripts/dev-build.sh" Toolbay fake_tools toolbay_translations >/dev/null
  exec env DRAG_OUT_DEMO_INNER=1 xvfb-run -a -s "-screen 0 ${screen}x24" "$0" "$lang" "$out"
fi

# ------------------------------------------------------ inside the X server
build=$root/build/dev
scratch=$(mktemp -d /tmp/toolbay-drag-demo.XXXXXX)
pid=
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT

mkdir -p "$out"
rm -f "$out"/*.png
cp "$build/bin/Toolbay" "$scratch/"
cp -r "$build/bin/translations" "$scratch/"
# Control panel order: TBX-CAMC (3), TBX-STOR (4), TBX-FOCA (6).
for lib in libCamCountPlanner.so libStoragePlanner.so libSharpnessAid.so; do
  cp "$build/tests-bin/$lib" "$scratch/"
done
"$root/scripts/prepare.d/10-config.sh" "$scratch" >/dev/null
translator=0
[ "$lang" = zh ] && translator=1
cat > "$scratch/Setup.xml" <<XML
<?xml version="1.0"?>
<Configs><Translator><Value>$translator</Value></Translator><VersionType><Value>1</Value></VersionType></Configs>
XML

export XDG_RUNTIME_DIR=$scratch/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
export ZELT_INTERFACES=lo ZELT_PORT=${ZELT_PORT:-56130}
# The copy's libraries stay in the build's program directory.
(cd "$scratch" && LD_LIBRARY_PATH=$build/bin exec ./Toolbay) >"$out/toolbay.log" 2>&1 &
pid=$!

shot() { import -window root "$out/$1.png"; echo "drag-out-demo: $out/$1.png"; }
windows() { { xdotool search --onlyvisible --pid "$pid" 2>/dev/null || true; } | sort -u; }

# The main window: 1024x768, centred.
main=
for _ in $(seq 1 100); do
  main=$(windows | head -n 1)
  [ -n "$main" ] && break
  sleep 0.2
done
[ -n "$main" ] || { echo "drag-out-demo: Toolbay showed no window" >&2; cat "$out/toolbay.log" >&2; exit 1; }
sleep 1
eval "$(xdotool getwindowgeometry --shell "$main")"   # X, Y, WIDTH, HEIGHT
echo "drag-out-demo: main window $WIDTH x $HEIGHT at $X,$Y"
shot 1-start

# Control panel icons (window coordinates): the first list starts at
# (125, 213), one grid cell every 150 pixels.
click() { xdotool mousemove "$1" "$2"; sleep 0.3; xdotool click 1; sleep 1; }
# An opened tool becomes the current page: back to the control panel through
# its tab (the strip's first, at y = 52) before the second click.
click $((X + 125)) $((Y + 213))   # TBX-CAMC
click $((X + 70)) $((Y + 52))     # the Control Panel tab
click $((X + 275)) $((Y + 213))   # TBX-STOR
shot 2-two-tools-open
before=$(windows | wc -l)

# The strip (y = 52 in the window): control panel, TBX-CAMC, TBX-STOR. Find
# the third tab by its colour change against the dark strip, from the right.
tab_y=$((Y + 52))
convert "$out/2-two-tools-open.png" -crop "${WIDTH}x1+${X}+${tab_y}" +repage -depth 8 txt:- >"$scratch/strip.txt"
last_x=$(/usr/bin/python3 - "$scratch/strip.txt" <<'PY'
import re, sys
xs = []
for line in open(sys.argv[1]):
    m = re.match(r"(\d+),0: \((\d+),(\d+),(\d+)", line)
    if m:
        x, r, g, b = map(int, m.groups())
        if r + g + b > 150:          # a tab, lighter than the strip
            xs.append(x)
# Runs of tab pixels; the third run is the third tab.
runs, start, prev = [], None, None
for x in xs:
    if start is None or x != prev + 1:
        if start is not None:
            runs.append((start, prev))
        start = x
    prev = x
if start is not None:
    runs.append((start, prev))
runs = [r for r in runs if r[1] - r[0] > 60]
print((runs[2][0] + runs[2][1]) // 2 if len(runs) >= 3 else "")
PY
)
[ -n "$last_x" ] || { echo "drag-out-demo: could not find the third tab in the strip" >&2; exit 1; }
tab_x=$((X + last_x))
echo "drag-out-demo: dragging the tab at $tab_x,$tab_y"

# Press on the tab, leave the strip downwards in steps, release over the
# desktop below the main window's bottom-left corner.
xdotool mousemove "$tab_x" "$tab_y"; sleep 0.3
xdotool mousedown 1; sleep 0.3
for step in 1 2 3 4 5 6 7 8 9 10; do
  xdotool mousemove "$((tab_x - step * 10))" "$((tab_y + step * 20))"
  sleep 0.15
done
shot 3-dragging
for step in 1 2 3 4 5 6 7 8 9 10; do
  xdotool mousemove "$((tab_x - 100 - step * 10))" "$((tab_y + 200 + step * 50))"
  sleep 0.1
done
xdotool mouseup 1
sleep 1.5
shot 4-dropped

after=$(windows | wc -l)
echo "drag-out-demo: visible top-level windows of Toolbay: before $before, after $after"
xwininfo -root -tree | grep '("Toolbay"' >"$out/xwininfo.txt" || true
echo "drag-out-demo: Toolbay's top-level X windows (xwininfo -root -tree):"
sed 's/^ */  /' "$out/xwininfo.txt"
if [ "$after" -gt "$before" ]; then
  echo "drag-out-demo: the tab left the strip as a window of its own"
  exit 0
fi
echo "drag-out-demo: no second window appeared" >&2
exit 1
