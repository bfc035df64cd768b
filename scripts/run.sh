#!/usr/bin/env bash
# Installs what is needed, builds Pagewise and starts it.
#   scripts/run.sh              against the target simulator (no hardware needed)
#   scripts/run.sh /dev/ttyUSB0 against a real device
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build

if [ $# -ge 1 ]; then
  exec build/bin/pagewise --port "$1"
fi

sim_out=$(mktemp)
build/bin/pagewise-sim --flash "${XDG_DATA_HOME:-$HOME/.local/share}/pagewise-sim.flash" >"$sim_out" &
sim=$!
trap 'kill $sim 2>/dev/null; rm -f "$sim_out"' EXIT
for _ in $(seq 100); do [ -s "$sim_out" ] && break; sleep 0.05; done
pty=$(head -n 1 "$sim_out")
echo "simulated target on $pty"
build/bin/pagewise --port "$pty"
