#!/usr/bin/env bash
# Runs clang-tidy with .clang-tidy's checks over the program and the simulator (src/, sim/);
# any finding fails. BUILD_DIR (default build-tidy) is configured for its compile commands as a
# unity build: each target's sources are checked as one unit, so the Qt headers they share are
# parsed and matched once per target rather than once per file.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
if grep -rnE '#include\s*[<"][^>"]*\.(c|cc|cpp|cxx)[>"]' src sim; then
  echo "clang-tidy: a source includes an implementation file (above)"
  exit 1
fi
build=${BUILD_DIR:-build-tidy}
cmake -S . -B "$build" -G Ninja -DCMAKE_EXPORT_COMPILE_COMMANDS=ON \
  -DCMAKE_UNITY_BUILD=ON -DCMAKE_UNITY_BUILD_BATCH_SIZE=0 >/dev/null
units="$(cd "$build" && pwd)/(src|sim)/.*/Unity/.*\.cxx$"
log=$(mktemp)
if ! run-clang-tidy -p "$build" -j "$(nproc)" -quiet "$units" >"$log" 2>&1; then
  grep -E -A3 "(error|warning):" "$log" | sed 's/\x1b\[[0-9;]*m//g'
  rm -f "$log"
  echo "clang-tidy: findings above"
  exit 1
fi
rm -f "$log"
echo "clang-tidy: no findings in src/ and sim/"
