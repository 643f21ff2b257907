#!/usr/bin/env bash
# Installs every Debian package the project needs to build, run, test and benchmark.
# Safe to run again: packages already present are left as they are.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config git
    qt6-base-dev qt6-base-dev-tools libgl-dev qt6-translations-l10n
    libsqlite3-dev nlohmann-json3-dev
    libgtest-dev libgmock-dev googletest libbenchmark-dev
    clang libclang-rt-14-dev clang-format
    xvfb xauth x11-apps imagemagick fonts-noto-cjk openbox
    libimage-exiftool-perl exiv2 bc strace python3 e2fsprogs
    desktop-file-utils appstream lintian man-db librsvg2-bin dpkg-dev fakeroot file
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
