#!/usr/bin/env bash
# Installs what is missing, builds the release configuration and starts Tessarin.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  cat >&2 <<'TXT'
Tessarin is built, but this machine has no display (neither DISPLAY nor WAYLAND_DISPLAY is set),
so its window cannot open here. To see the screens without a display, render them offscreen:

  build/release/tessarin-render --section ダッシュボード --theme "Cyber Dark 🌙" --out dashboard.png

(see "Seeing it without a display" in README.md).
TXT
  exit 2
fi
exec build/release/tessarin "$@"
