#!/usr/bin/env bash
# Installs what is missing, builds the release configuration and starts Tessarin.
#
#   scripts/run-app.sh [--host] [--keep-tree] [application arguments...]
#
# On Linux it starts inside the demo sandbox (scripts/mac-sandbox.sh): a generated Mac whose
# every screen has something to show and to act on, with no way to change this machine's files
# and no network but loopback. The generated tree is made afresh each time unless --keep-tree.
# --host starts it against this machine instead.
set -euo pipefail
cd "$(dirname "$0")/.."

host=no sandbox_options=()
while [ $# -gt 0 ]; do
  case $1 in
    --host) host=yes; shift ;;
    --keep-tree) sandbox_options+=(--keep); shift ;;
    *) break ;;
  esac
done

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
if [ $host = yes ] || [ "$(uname -s)" != Linux ]; then
  exec build/release/tessarin "$@"
fi
exec scripts/mac-sandbox.sh --generator build/release/tessarin-demo-tree "${sandbox_options[@]}" \
  -- "$PWD/build/release/tessarin" "$@"
