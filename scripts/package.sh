#!/usr/bin/env bash
# Builds the Debian package with Debian's release and hardening flags and prints its path:
# build-package/pagewise_<version>_<arch>.deb. Install it with
#   sudo apt install ./build-package/pagewise_1.04_amd64.deb
# BUILD_DIR=build packs the tree scripts/test.sh built (same flags): nothing is built again.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh >&2

build=${BUILD_DIR:-build-package}
source scripts/release-flags.sh
testing=()
[ -f "$build/CMakeCache.txt" ] || testing=(-DBUILD_TESTING=OFF) # a tree of its own needs no tests
cmake -S . -B "$build" -G Ninja "${release_flags[@]}" "${testing[@]}" >&2
cmake --build "$build" >&2
(cd "$build" && cpack -G DEB >&2)
ls "$build"/pagewise_*.deb
