#!/usr/bin/env bash
# Installs what the benchmarks need beyond the build's own packages (scripts/deps.sh): ser2net,
# the plain TCP-to-serial proxy the relay path is measured against, and iproute2, with which the
# benchmark sets up the loopback of its private machine. Does nothing when both are present.
# Uses sudo when not run as root.
set -euo pipefail
packages=(ser2net iproute2)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing for the benchmarks: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
