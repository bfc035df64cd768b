#!/usr/bin/env bash
# Builds the Debian package in build-package (Release, Debian's hardening flags) and prints
# its path: build-package/pagewise_<version>_<arch>.deb. Install it with
#   sudo apt install ./build-package/pagewise_1.04_amd64.deb
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh >&2

build=${BUILD_DIR:-build-package}
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >&2
cmake --build "$build" >&2
(cd "$build" && cpack -G DEB >&2)
ls "$build"/pagewise_*.deb
