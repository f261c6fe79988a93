#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the demo need.
# Idempotent and non-interactive; skips apt entirely when all are present.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config ccache
  clang clang-format libclang-rt-14-dev
  qt6-base-dev qt6-base-private-dev qt6-base-dev-tools qt6-tools-dev qt6-tools-dev-tools
  qt6-l10n-tools qt6-translations-l10n qt6-5compat-dev
  libqt6sql6-odbc unixodbc unixodbc-dev odbcinst
  libsodium-dev libpcap0.8
  xvfb xauth xdotool x11-utils imagemagick fonts-wqy-microhei fonts-liberation
  at-spi2-core python3-pyatspi dbus-bin weston qt6-wayland
  python3-xlrd iproute2
  libxml2-dev libcurl4-openssl-dev libssl-dev
  onvif-tools wsdd nodejs
  dpkg-dev lintian scdoc desktop-file-utils appstream man-db
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup: missing packages: ${missing[*]}; run as root to install them" >&2
    exit 1
  fi
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# npm: bundled with some builds of nodejs, a package of its own in Debian's.
if ! command -v npm >/dev/null 2>&1; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup: npm is missing; run as root to install it" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get install -y -qq --no-install-recommends npm
fi
