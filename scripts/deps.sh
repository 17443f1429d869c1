#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the program need; does nothing when all
# of them are already present. Uses sudo when not run as root.
set -euo pipefail
packages=(
  build-essential cmake pkg-config
  qt6-base-dev libgl-dev
  libgtest-dev googletest libbenchmark-dev
  fonts-liberation fonts-dejavu-core
  xvfb xauth
  clang-format x11-utils
  # `make package`: CPack's Debian generator reads the binaries with file and dpkg-shlibdeps.
  file dpkg-dev
  # The install tests check the desktop entry with desktop-file-validate.
  desktop-file-utils
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
