#!/usr/bin/env bash
# Takes docs/screenshot.png: the main window after one Program run against the simulated target,
# on a virtual display. BUILD_DIR picks the build folder (default: build).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
if [ ! -x "$build/bin/pagewise" ] || [ ! -x "$build/bin/pagewise-sim" ]; then
  cmake -S . -B "$build" -G Ninja >/dev/null
  cmake --build "$build" --target pagewise pagewise-sim
fi

work=$(mktemp -d)
sim=""
cleanup() {
  if [ -n "$sim" ]; then kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

"$build/bin/pagewise-sim" --no-pacing --flash "$work/flash.bin" >"$work/sim.out" &
sim=$!
for _ in $(seq 200); do [ -s "$work/sim.out" ] && break; sleep 0.05; done
pty=$(head -n 1 "$work/sim.out")
[ -n "$pty" ] || { echo "simulator did not start" >&2; exit 1; }

# A 3 KiB image with a recognisable pattern.
python3 -c 'import sys; sys.stdout.buffer.write(bytes((i * 37 + 11) & 0xFF for i in range(3072)))' >"$work/demo.bin"

mkdir -p docs
# Own settings folder, so the picture does not depend on this user's configuration.
XDG_CONFIG_HOME="$work/config" timeout 120 xvfb-run -a -s "-screen 0 1024x768x24" \
  "$build/bin/pagewise" --port "$pty" --demo-program "$work/demo.bin" --demo-shot docs/screenshot.png
[ -s docs/screenshot.png ] || { echo "no screenshot taken" >&2; exit 1; }
echo "docs/screenshot.png written"
