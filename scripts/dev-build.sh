#!/usr/bin/env bash
# Development build, serialised with a lock so that parallel work on this
# two-core machine never runs two builds at once.
# Usage: [TREE=dev|asan|tsan] scripts/dev-build.sh [targets...]
#   dev  = build/dev (Debug), asan = build/asan, tsan = build/tsan, the
#   last two as the test command configures them. No target: everything.
set -euo pipefail
cd "$(dirname "$0")/.."
tree=${TREE:-dev}
case "$tree" in
  dev) san="" ;;
  asan) san=address ;;
  tsan) san=thread ;;
  *) echo "unknown TREE $tree" >&2; exit 2 ;;
esac
exec 9>/tmp/toolbay-build.lock
flock 9
if [ ! -f "build/$tree/build.ninja" ]; then
  cmake -S . -B "build/$tree" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTOOLBAY_SANITIZER="$san" -DTOOLBAY_TOLERANT=ON >/dev/null
fi
if [ $# -eq 0 ]; then
  cmake --build "build/$tree" -j "$(nproc)"
else
  cmake --build "build/$tree" -j "$(nproc)" --target "$@"
fi
