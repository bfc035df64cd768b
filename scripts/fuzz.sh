#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while on its seed corpus.
#   scripts/fuzz.sh [SECONDS]   (default 30 per target)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
scripts/install-deps.sh

CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_UNITY_BUILD=ON -DPW_FUZZ=ON -DPW_BUILD_GUI=OFF -DBUILD_TESTING=ON >/dev/null
targets=$(ninja -C build-fuzz -t targets all | sed -n 's/^\(fuzz_[a-z_]*\): phony$/\1/p;s/^\(fuzz_[a-z_]*\): CXX_EXECUTABLE_LINKER.*/\1/p' | sort -u)
[ -n "$targets" ] || { echo "no fuzz targets"; exit 0; }
# shellcheck disable=SC2086
ninja -C build-fuzz $targets

# One target per core at a time: each fuzzer runs on one.
fuzz_one() {
  local target=$1 name=${1#fuzz_} work
  work=$(mktemp -d)
  [ -d "tests/corpus/$name" ] && cp -r "tests/corpus/$name/." "$work/"
  if ! build-fuzz/bin/"$target" -max_total_time="$seconds" -print_final_stats=1 "$work" 2>"$work.log"; then
    tail -n 40 "$work.log"
    echo "fuzzing $name: FAILED"
    return 1
  fi
  echo "fuzzed $name for ${seconds}s: $(grep -E -o 'number_of_executed_units: *[0-9]+' "$work.log")"
  rm -rf "$work" "$work.log"
}
export -f fuzz_one
export seconds
# shellcheck disable=SC2086
printf '%s\n' $targets | xargs -P "$(nproc)" -I{} bash -c 'fuzz_one "$1"' _ {}
