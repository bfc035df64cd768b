#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while on its seed corpus.
#   scripts/fuzz.sh [SECONDS]   (default 30 per target)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
scripts/install-deps.sh

CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DPW_FUZZ=ON -DPW_BUILD_GUI=OFF -DBUILD_TESTING=ON >/dev/null
targets=$(ninja -C build-fuzz -t targets all | sed -n 's/^\(fuzz_[a-z_]*\): phony$/\1/p;s/^\(fuzz_[a-z_]*\): CXX_EXECUTABLE_LINKER.*/\1/p' | sort -u)
[ -n "$targets" ] || { echo "no fuzz targets"; exit 0; }
# shellcheck disable=SC2086
ninja -C build-fuzz $targets

for target in $targets; do
  name=${target#fuzz_}
  work=$(mktemp -d)
  [ -d "tests/corpus/$name" ] && cp -r "tests/corpus/$name/." "$work/"
  echo "fuzzing $name for ${seconds}s"
  build-fuzz/bin/"$target" -max_total_time="$seconds" -print_final_stats=1 "$work" 2>"$work.log" \
    || { tail -n 40 "$work.log"; exit 1; }
  grep -E 'stat::number_of_executed_units' "$work.log" || true
  rm -rf "$work" "$work.log"
done
