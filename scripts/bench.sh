#!/usr/bin/env bash
# Builds the benchmarks and prints every figure in one go: Program and Verify of 64 KiB
# against the paced simulator at each rate beside the wire limit, with host turnaround and
# the simulator's pacing error, headless and through the GUI hand-over; the --skip-blank
# saving on a sparse image; HEX conversion rate; a gang of simulated targets against one; and
# station mode's boards per hour with 1, 4 and 8 ports; what a serial number costs a board.
# Figures depend on the load of the machine.
#   BUILD_DIR=dir scripts/bench.sh     (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
[ -f "$build/build.ninja" ] || cmake -S . -B "$build" -G Ninja >/dev/null
ninja -C "$build" bench >/dev/null

echo "machine: $(nproc) cores, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1), load $(cut -d' ' -f1-3 /proc/loadavg)"
echo
for bench in program_64k skip_blank hex_convert "gang 8" station serial_pool responsiveness soak; do
  echo
  # shellcheck disable=SC2086 # a bench's arguments follow its name
  "$build"/bin/bench_$bench 2>/dev/null
done
