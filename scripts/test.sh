#!/usr/bin/env bash
# Installs what is missing, builds and runs every test:
#   build/asan  all tests except the threaded ones, under ASan + UBSan
#   build/tsan  the threaded tests, under ThreadSanitizer
#   scripts/checks/*.sh  further checks (fuzzing, external readers), in order
set -euo pipefail
. "$(dirname "$0")/lib/prelude.sh"

./scripts/setup.sh
export QT_QPA_PLATFORM=offscreen
export ZELT_INTERFACES=lo

echo "== address + undefined-behaviour sanitizer build =="
toolbay_configure asan
toolbay_build build/asan
ctest --preset asan -j "$jobs"

echo "== thread sanitizer build =="
toolbay_configure tsan
toolbay_build build/tsan --target threaded_tests
ctest --preset tsan -j "$jobs"

for check in scripts/checks/*.sh; do
  [ -e "$check" ] || continue
  echo "== $check =="
  "$check"
done
echo "== all tests passed =="
