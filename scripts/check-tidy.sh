#!/usr/bin/env bash
# Runs clang-tidy with .clang-tidy's checks over the program and the simulator (src/, sim/);
# any finding fails. BUILD_DIR (default build-tidy) is configured for its compile commands.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build=${BUILD_DIR:-build-tidy}
cmake -S . -B "$build" -G Ninja -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
log=$(mktemp)
if ! run-clang-tidy -p "$build" -j "$(nproc)" -quiet "$PWD/(src|sim)/.*\.cpp$" >"$log" 2>&1; then
  grep -E -A3 "(error|warning):" "$log" | sed 's/\x1b\[[0-9;]*m//g'
  rm -f "$log"
  echo "clang-tidy: findings above"
  exit 1
fi
rm -f "$log"
echo "clang-tidy: no findings in src/ and sim/"
