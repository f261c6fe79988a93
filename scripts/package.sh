#!/usr/bin/env bash
# Builds the Debian package: a Release tree (build/package) configured for
# /usr with Debian's hardening flags, packed by CPack. Prints the path of
# the .deb, which lands in build/package.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
./scripts/setup.sh >&2
export CCACHE_BASEDIR=$root CCACHE_NOHASHDIR=1
# Debian's compiler and linker flags, with every hardening feature.
# (The file-prefix map is left out: it names this folder, so ccache would
# miss the same build in another clone.)
flags() { DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$1" | sed "s/-ffile-prefix-map=[^ ]*//"; }
cppflags=$(flags CPPFLAGS) # CMake reads no CPPFLAGS; they carry _FORTIFY_SOURCE
tree=build/package
(
  flock 9
  cmake -S . -B "$tree" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOOLBAY_BUILD_TESTS=OFF \
    -DCMAKE_INSTALL_PREFIX=/usr \
    -DCMAKE_C_FLAGS="$cppflags $(flags CFLAGS)" -DCMAKE_CXX_FLAGS="$cppflags $(flags CXXFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(flags LDFLAGS)" -DCMAKE_SHARED_LINKER_FLAGS="$(flags LDFLAGS)" \
    -DCMAKE_MODULE_LINKER_FLAGS="$(flags LDFLAGS)" >/dev/null
  cmake --build "$tree" -j "$(nproc)" >&2
) 9>/tmp/toolbay-build.lock
rm -f "$tree"/toolbay_*.deb
(cd "$tree" && cpack -G DEB >&2)
ls "$root/$tree"/toolbay_*.deb
