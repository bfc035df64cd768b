#!/usr/bin/env bash
# Takes a picture of every window and state into docs/, at 1x and at 2x (QT_SCALE_FACTOR=2),
# on a virtual display against an in-process simulated target: main window idle, during
# Program, after Auto and with Dump and Export shown; Configuration while it checks; Page
# Erase with its base list open; Dump while it dumps; About; an error box.
# BUILD_DIR picks the build folder (default: build).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
[ -f "$build/build.ninja" ] || cmake -S . -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target pagewise-screenshots >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p docs
# Own settings folder, so the pictures do not depend on this user's configuration; the dump
# writes into the work folder.
cd "$work"
for scale in 1 2; do
  suffix=""; [ "$scale" = 1 ] || suffix="@${scale}x"
  QT_SCALE_FACTOR=$scale XDG_CONFIG_HOME="$work/config" timeout 180 \
    xvfb-run -a -s "-screen 0 $((1280 * scale))x$((1024 * scale))x24" \
    "$OLDPWD/$build/bin/pagewise-screenshots" "$OLDPWD/docs" "$suffix"
done
