#!/usr/bin/env bash
# Installs the Debian 12 packages the build and the two programs need, and what the README's
# install commands use; with --tests also what the tests and benchmarks need (the build asks
# for those only with M2_TESTS and M2_BENCH on). Safe to run again: apt-get skips what is
# already installed.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev
  libplist-dev libsecret-1-dev libpugixml-dev libglib2.0-dev libicu-dev uuid-dev
  libxss-dev libx11-dev
  desktop-file-utils shared-mime-info
)
if [ "${1:-}" = "--tests" ]; then
  packages+=(
    libgtest-dev libgmock-dev googletest libbenchmark-dev libssl-dev openssl
    gnome-keyring dbus-daemon dbus-x11 libsecret-tools xvfb xauth xdotool
    python3 python3-cryptography libxml2-utils coreutils util-linux passwd
    ccache openbox gcr
  )
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

# The variable is an argument of sudo, which would otherwise drop it from apt's environment.
apt=(env DEBIAN_FRONTEND=noninteractive apt-get)
[ "$(id -u)" -eq 0 ] || apt=(sudo DEBIAN_FRONTEND=noninteractive apt-get)
"${apt[@]}" update
"${apt[@]}" install -y --no-install-recommends "${missing[@]}"
