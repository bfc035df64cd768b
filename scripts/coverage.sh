#!/usr/bin/env bash
# Builds an instrumented copy in build-coverage, runs the whole suite and prints line coverage
# of src/ and sim/: gcovr's per-file table, then one line per source folder. Slow (-O0 and
# every test): run it by hand, not in CI.
#   scripts/coverage.sh [ctest arguments...]     e.g. scripts/coverage.sh -L core
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

build=build-coverage
cmake -S . -B "$build" -G Ninja -DPW_COVERAGE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$build" -j2
find "$build" -name '*.gcda' -delete

export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" -j2 --timeout 600 "$@" || echo "some tests failed: coverage below is of the run as it went"

gcovr --root . --object-directory "$build" --filter src/ --filter sim/ --gcov-ignore-parse-errors \
  --txt "$build/coverage.txt" --json-summary "$build/coverage.json" --sort-percentage
cat "$build/coverage.txt"

echo
echo "Line coverage by folder"
python3 - "$build/coverage.json" <<'PY'
import collections, json, os, sys
folders = collections.defaultdict(lambda: [0, 0])
for entry in json.load(open(sys.argv[1]))["files"]:
    folder = folders[os.path.dirname(entry["filename"])]
    folder[0] += entry["line_covered"]
    folder[1] += entry["line_total"]
covered = total = 0
for name in sorted(folders):
    hit, lines = folders[name]
    covered, total = covered + hit, total + lines
    print(f"{name:<28} {hit:>6}/{lines:<6} {100.0 * hit / max(lines, 1):5.1f}%")
print(f"{'total':<28} {covered:>6}/{total:<6} {100.0 * covered / max(total, 1):5.1f}%")
PY
