#!/usr/bin/env bash
# Installs what the benchmarks need beyond the build's own packages (scripts/deps.sh): ser2net,
# the plain TCP-to-serial proxy the relay path is measured against, and iproute2, with which the
# benchmark sets up the loopback of its private machine.
set -euo pipefail
exec "$(dirname "$0")/install-packages.sh" "for the benchmarks" ser2net iproute2
