#!/usr/bin/env bash
# Builds the Debian package: a Release tree (build/package) configured for
# /usr with Debian's hardening flags, packed by CPack. Prints the path of
# the .deb, which lands in build/package.
set -euo pipefail
. "$(dirname "$0")/lib/prelude.sh"
./scripts/setup.sh >&2
# Debian's compiler and linker flags, with every hardening feature.
# (The file-prefix map is left out: it names this folder, so ccache would
# miss the same build in another clone.)
flags() { DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$1" | sed "s/-ffile-prefix-map=[^ ]*//"; }
cppflags=$(flags CPPFLAGS) # CMake reads no CPPFLAGS; they carry _FORTIFY_SOURCE
tree=build/package
cmake -S . -B "$tree" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOOLBAY_BUILD_TESTS=OFF \
  -DCMAKE_INSTALL_PREFIX=/usr \
  -DCMAKE_C_FLAGS="$cppflags $(flags CFLAGS)" -DCMAKE_CXX_FLAGS="$cppflags $(flags CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(flags LDFLAGS)" -DCMAKE_SHARED_LINKER_FLAGS="$(flags LDFLAGS)" \
  -DCMAKE_MODULE_LINKER_FLAGS="$(flags LDFLAGS)" >/dev/null
toolbay_build "$tree" >&2
rm -f "$tree"/toolbay_*.deb
(cd "$tree" && cpack -G DEB >&2)
ls "$root/$tree"/toolbay_*.deb
