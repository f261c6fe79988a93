#!/usr/bin/env bash
# Development build, serialised with a lock so that parallel work on this
# two-core machine never runs two builds at once.
# Usage: [TREE=dev|asan|tsan] scripts/dev-build.sh [targets...]
#   dev  = build/dev (Debug), asan = build/asan, tsan = build/tsan, the
#   last two as the test command configures them (CMakePresets.json). No
#   target: everything.
set -euo pipefail
. "$(dirname "$0")/lib/prelude.sh"
tree=${TREE:-dev}
case "$tree" in
  dev | asan | tsan) ;;
  *) echo "unknown TREE $tree" >&2; exit 2 ;;
esac
if [ ! -f "build/$tree/build.ninja" ]; then
  (
    flock 9
    toolbay_configure "$tree"
  ) 9>/tmp/toolbay-build.lock
fi
if [ $# -eq 0 ]; then
  toolbay_build "build/$tree"
else
  toolbay_build "build/$tree" --target "$@"
fi
