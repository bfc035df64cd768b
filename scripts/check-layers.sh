#!/usr/bin/env bash
# Layers that only look down: every #include "folder/..." in src/ and sim/ must name the
# file's own folder or one below it. The order, lowest first:
#   base < serial < context < protocol < image < ops < settings < line < cli | gui
# with gui in its own layers (support < controls < dialogs < panel < the windows, the
# station's beside the main one), cli and gui side by side (neither includes the other), and
# sim beside them on the ground alone.
set -euo pipefail
cd "$(dirname "$0")/.."

rank() {
  case "$1" in
    base) echo 0 ;;
    serial) echo 1 ;;
    context) echo 2 ;;
    protocol) echo 3 ;;
    image) echo 4 ;;
    ops) echo 5 ;;
    settings) echo 6 ;;
    line) echo 7 ;;
    cli) echo 8 ;;
    gui/support) echo 8 ;;
    gui/controls) echo 9 ;;
    gui/dialogs) echo 10 ;;
    gui/panel) echo 11 ;;
    gui | gui/station) echo 12 ;;
    sim) echo 1 ;;
    *) echo -1 ;;
  esac
}

bad=0
while IFS= read -r file; do
  own=$(dirname "${file#src/}")
  [ "${file#sim/}" != "$file" ] && own=sim
  ownRank=$(rank "$own")
  if [ "$ownRank" -lt 0 ]; then
    echo "$file: folder '$own' has no place in the layers" >&2
    bad=1
    continue
  fi
  while IFS= read -r included; do
    folder=$(dirname "$included")
    [ "$folder" = "." ] && continue
    [ "$folder" = "$own" ] && continue
    theirs=$(rank "$folder")
    upward=0
    if [ "$theirs" -lt 0 ] || [ "$theirs" -ge "$ownRank" ]; then upward=1; fi
    if [ "$folder" = cli ] && [ "$own" != cli ]; then upward=1; fi                   # side by side
    if [ "${folder%%/*}" = gui ] && [ "${own%%/*}" != gui ]; then upward=1; fi
    if [ "$own" = sim ] && [ "$folder" != base ]; then upward=1; fi
    if [ "$upward" -ne 0 ]; then
      echo "$file includes $included: '$folder' is not below '$own'" >&2
      bad=1
    fi
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
done < <(git ls-files 'src/*.h' 'src/*.cpp' 'sim/*.h' 'sim/*.cpp')

if [ "$bad" -ne 0 ]; then
  echo "layer check failed" >&2
  exit 1
fi
echo "layers: every include looks down"
