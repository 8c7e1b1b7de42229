#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing Vaultine need.
# Runs apt-get as root, through sudo otherwise; does nothing when everything is present.
set -euo pipefail

packages=(
    build-essential cmake ninja-build ccache pkg-config clang-14 clang-format-14 libclang-rt-14-dev libfuzzer-14-dev
    qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools
    qt6-svg-dev qt6-multimedia-dev qt6-webengine-dev qt6-webchannel-dev libqt6opengl6-dev
    libssl-dev zlib1g-dev libdeflate-dev libpng-dev libplist-dev libacl1-dev libhunspell-dev hunspell-en-us
    libmd4c-html0-dev libmd4c-dev
    fonts-dejavu-core adwaita-icon-theme hicolor-icon-theme shared-mime-info
    xvfb xauth dbus dbus-x11 attr acl
    xdotool imagemagick xdg-utils desktop-file-utils
    passwd util-linux
    libxcb1-dev libxcb-xkb-dev
    7zip pigz time
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -q
"${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
