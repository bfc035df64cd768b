#!/usr/bin/env bash
# Fails on a C++ file that is not as .clang-format writes it, and names each.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
unformatted=()
while IFS= read -r -d '' file; do
  clang-format --dry-run -Werror "$file" >/dev/null 2>&1 || unformatted+=("$file")
done < <(git ls-files -z '*.cpp' '*.h')
if [ ${#unformatted[@]} -gt 0 ]; then
  printf 'not formatted (clang-format -i FILE): %s\n' "${unformatted[@]}"
  exit 1
fi
echo "format: every C++ file as .clang-format writes it"
