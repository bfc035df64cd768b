#!/usr/bin/env bash
# Installs the Debian packages Pagewise needs to build, test and run. Uses sudo only when not root.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libgl-dev
  libpq-dev                  # the line's database client (libpq)
  postgresql                 # a server the database tests start of their own
  librsvg2-bin               # the icon's PNG sizes, drawn from its SVG at build time
  googletest libgtest-dev libgmock-dev
  clang libclang-rt-14-dev   # fuzz targets
  clang-format clang-tidy    # the format and static-analysis checks
  srecord                    # the HEX benchmark beside an independent converter
  xvfb xauth imagemagick openbox   # screenshots, with title bars drawn by a window manager
  gcovr                      # coverage summary
  dpkg-dev lintian desktop-file-utils man-db   # the Debian package and its checks
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
