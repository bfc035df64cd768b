#!/usr/bin/env bash
# Runs one fixed line (three boards: a dead one with a retry, then a wrong connect reply with
# serial numbers and --events) with two builds' pagewise-cli and pagewise-sim, and compares
# what each printed and recorded, times, ids and rates masked. For a change that moves the
# station's code: its lines, events and records must stay as they were.
#   scripts/compare-station.sh OLD_BIN_DIR NEW_BIN_DIR
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: $0 OLD_BIN_DIR NEW_BIN_DIR" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

line() { # BIN OUT
  local bin=$1 out=$2
  mkdir -p "$out"
  (
    cd "$out"
    export XDG_CONFIG_HOME=$out/config
    head -c 4096 /dev/zero | tr '\0' '\021' > fw.bin
    "$bin/pagewise-cli" serials init pool.jsonl --start 100 > /dev/null
    run() { # NAME SIM-ARGS CLI-ARGS
      "$bin/pagewise-sim" --boards 3 --swap-ms 300 --stay-ms 5000 $2 --link "$out/tty-$1" > /dev/null 2>&1 &
      local sim=$!
      while [ ! -e "$out/tty-$1" ]; do sleep 0.05; done
      local status=0
      timeout -s INT 60 "$bin/pagewise-cli" --port "$out/tty-$1" --baud 9600 $3 station program fw.bin \
        --record "rec-$1.jsonl" > "out-$1.txt" 2> "err-$1.txt" || status=$?
      echo "exit $status" >> "out-$1.txt"
      kill "$sim"; wait "$sim" 2>/dev/null || true
    }
    run plain "--fault-board 2 --fault silent-after=20" "--retries 1"
    run events "--fault-board 2 --fault wrong-connect" "--events --serial 0x2000:u32le --serial-pool pool.jsonl"
  )
}

mask() {
  sed -E "s#$work/(old|new)#DIR#g; s/[0-9]+\.[0-9]+ s/N s/g; s/, [0-9]+ boards per hour/, N boards per hour/;
          s/elapsed time : [0-9.]+/elapsed time : N/;
          s/\"(time|start_id|record_id|seconds|boards_per_hour|pid)\":(\"[^\"]*\"|[0-9.]+)/\"\1\":X/g;
          s/\"(erase|program|verify)\":[0-9.]+/\"\1\":X/g" "$1"
}

line "$(realpath "$1")" "$work/old" &
line "$(realpath "$2")" "$work/new"
wait
differ=0
for file in out-plain.txt err-plain.txt rec-plain.jsonl out-events.txt err-events.txt rec-events.jsonl pool.jsonl; do
  if diff <(mask "$work/old/$file") <(mask "$work/new/$file"); then
    echo "same: $file ($(wc -l < "$work/new/$file") lines)"
  else
    echo "differs: $file"
    differ=1
  fi
done
exit $differ
