#!/usr/bin/env bash
# Starts the relay server; on a machine without a display it runs on Qt's offscreen platform.
set -euo pipefail
binary="$1"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display found: starting on Qt's offscreen platform (the server works; nothing is shown)."
  echo "To see the window remotely instead: QT_QPA_PLATFORM=vnc:port=5900 $binary, then connect a VNC viewer."
  export QT_QPA_PLATFORM=offscreen
fi
exec "$binary"
