#!/usr/bin/env bash
# Development build in build/dev, serialised with a lock so that parallel
# work on this two-core machine never runs two builds at once.
# Usage: scripts/dev-build.sh [targets...]   (no target: everything)
set -euo pipefail
cd "$(dirname "$0")/.."
exec 9>/tmp/toolbay-build.lock
flock 9
if [ ! -f build/dev/build.ninja ]; then
  cmake -S . -B build/dev -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
fi
if [ $# -eq 0 ]; then
  cmake --build build/dev -j "$(nproc)"
else
  cmake --build build/dev -j "$(nproc)" --target "$@"
fi
