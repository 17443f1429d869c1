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
  # The tests silence a remote PC on their private loopback with a route of ip's.
  iproute2
  # `make package`: CPack's Debian generator reads the binaries with file and dpkg-shlibdeps.
  file dpkg-dev
  # The install tests check the desktop entry with desktop-file-validate.
  desktop-file-utils
)
exec "$(dirname "$0")/install-packages.sh" "for the build and the tests" "${packages[@]}"
