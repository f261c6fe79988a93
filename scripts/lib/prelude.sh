# Sourced by the project's scripts, never run: the project root as the
# working folder, a private runtime directory, ccache hits across clones of
# the tree, and builds taken one at a time on this machine.
#   . "$(dirname "$0")/lib/prelude.sh"        (from scripts/)
#   . "$(dirname "$0")/../lib/prelude.sh"     (from scripts/checks/)
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
cd "$root"
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-/tmp/runtime-$(id -u)}
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
export CCACHE_BASEDIR=$root CCACHE_NOHASHDIR=1
jobs=$(nproc)

# Configures a tree from a preset of CMakePresets.json (build/<preset>),
# with further cache settings if given.
toolbay_configure() { # preset [-Dsetting...]
  local preset=$1
  shift
  cmake --preset "$preset" "$@" >/dev/null
}

# Builds under the lock that every build here takes, so that builds of
# several trees (or several people's) never run at once on two cores.
toolbay_build() { # dir [cmake --build options...]
  local dir=$1
  shift
  (
    flock 9
    cmake --build "$dir" -j "$jobs" "$@"
  ) 9>/tmp/toolbay-build.lock
}
