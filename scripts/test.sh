#!/usr/bin/env bash
# Installs what is missing, builds and runs every test:
#   build/asan  all tests except the threaded ones, under ASan + UBSan
#   build/tsan  the threaded tests, under ThreadSanitizer
#   scripts/checks/*.sh  further checks (fuzzing, external readers), in order
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

./scripts/setup.sh
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-/tmp/runtime-$(id -u)}
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
export QT_QPA_PLATFORM=offscreen
export ZELT_INTERFACES=lo
# Cache hits across clones of the tree (CI builds a fresh clone each time).
export CCACHE_BASEDIR=$root CCACHE_NOHASHDIR=1
jobs=$(nproc)

configure() { # dir sanitizer
  cmake -S "$root" -B "$1" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTOOLBAY_SANITIZER="$2" -DTOOLBAY_TOLERANT=OFF >/dev/null
}
# Builds take the lock scripts/dev-build.sh takes, so builds of several
# trees on one machine never run at once; the tests run without it.
build() { # dir [targets...]
  local dir=$1
  shift
  (
    flock 9
    cmake --build "$dir" -j "$jobs" "$@"
  ) 9>/tmp/toolbay-build.lock
}

echo "== address + undefined-behaviour sanitizer build =="
configure build/asan address
build build/asan
ctest --test-dir build/asan -j "$jobs" --output-on-failure --label-exclude threaded

echo "== thread sanitizer build =="
configure build/tsan thread
build build/tsan --target threaded_tests
ctest --test-dir build/tsan -j "$jobs" --output-on-failure --label-regex threaded

for check in scripts/checks/*.sh; do
  [ -e "$check" ] || continue
  echo "== $check =="
  "$check"
done
echo "== all tests passed =="
