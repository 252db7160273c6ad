#!/usr/bin/env bash
# Installs the Debian 12 packages Tessarin builds, runs and tests with, if any are missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-image-formats-plugins libqt6svg6 qcoro-qt6-dev
  libplist-dev libplist++-dev
  zsh sudo policykit-1 file perl bubblewrap
  # the demo sandbox: newuidmap for its second identity, xmessage for its root dialog
  uidmap x11-utils
  # the network screen pings with the real tool
  iputils-ping
  breeze-icon-theme fonts-noto-cjk fonts-noto-color-emoji
  libbenchmark-dev clang libclang-rt-14-dev
  # plistutil behind the plutil stand-in; bsdtar (xar and cpio) behind the installer stand-in
  libplist-utils libarchive-tools
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
as_root=()
if [ "$(id -u)" -ne 0 ]; then
  as_root=(sudo)
fi
"${as_root[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
