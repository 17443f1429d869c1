#!/usr/bin/env bash
# Starts the relay server. Without a display the program itself picks Qt's offscreen platform
# and says so; QT_QPA_PLATFORM=vnc:port=5900 shows its window to a VNC viewer instead.
set -euo pipefail
exec "$1"
