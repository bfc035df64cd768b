#!/usr/bin/env bash
# Makes small deliberate faults in the code, one at a time, in a copy of the tree, and checks
# that the tests catch each: the copy is built with the fault, the tests that should see it
# run, and the fault is reported "caught" (a test failed) or "MISSED". Exit 1 on any miss.
#   scripts/mutants.sh [NAME...]      (default: all; MUTANTS_DIR=dir, default build-mutants)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

work=${MUTANTS_DIR:-build-mutants}
tree=$work/tree
rm -rf "$tree" && mkdir -p "$tree"
git ls-files -z | xargs -0 cp -p --parents -t "$tree" # timestamps kept: rebuilds stay small
cmake -S "$tree" -B "$work/build" -G Ninja >/dev/null
cmake --build "$work/build" >/dev/null

# name | file | perl substitution | tests that must fail (ctest -R)
mutants=(
  "connect-frame-byte|src/protocol/CommandPackets.cpp|s/'H', 'Z', '4'/'H', 'Y', '4'/|WireOracle"
  "last-block-padding|src/image/FirmwareImage.h|s/bytes_\[k\] : 0xFF/bytes_[k] : 0x00/|WireOracle"
  "walk-start-value|src/ops/LinkSteps.h|s/lastHigh_ = 0xFF;/lastHigh_ = 0x00;/|WireOracle"
  "keep-lane-order|src/ops/LinkSteps.cpp|s/for \(int lane = 0; lane < 4; \+\+lane\) \{\n        const bool anyByte/for (int lane = 3; lane >= 0; --lane) {\n        const bool anyByte/|WireOracle"
  "progress-divisor|src/ops/Progress.cpp|s/blocks \/ 255 \+ 1/blocks \/ 256 + 1/|WireOracle"
  "no-leave-isp|src/ops/RunStatus.cpp|s/    sendPacket\(ctx.port, CmdLeaveIsp\(\)\);\n//|WireOracle"
  "time-out-goes-on|src/ops/RunStatus.cpp|s/message_ = kTimeoutText;\n        return false;/message_ = kTimeoutText;\n        return true;/|FaultMatrix.*EraseAll_SilentConnect_9600"
  "connect-matched-early|src/protocol/ResponseMatcher.cpp|s/case ResponseKind::ConnectAck:\n        if \(count_ != kFrameLength\)/case ResponseKind::ConnectAck:\n        if (count_ != kFrameLength - 1)/|Matcher"
  "hex-bank-offset|src/image/HexRecord.cpp|s/state.hexBank \* 0x8000/state.hexBank * 0x10000/|HexConvert"
  "dump-line-feed-only|src/ops/DumpFiles.cpp|s/text \+= \"\\\\r\\\\n\";/text += \"\\\\n\";/|WireOracle.*dump"
  "hang-up-not-awaited|src/protocol/LinkControl.cpp|s/\{&ctx.replyEvent, &hangUp, &ctx.cancelEvent\}/{\&ctx.replyEvent, \&ctx.cancelEvent}/|FaultMatrix.*Program_HangupMidRun_9600"
  "skip-blank-sends-ff|src/ops/BlockWrite.cpp|s/return byte == 0xFF;/return byte == 0xFE;/|WireOracle.*skip_blank"
  "dump-dialog-keeps-owner|src/gui/dialogs/DumpDialog.cpp|s/ctx_.portOwner.exchange\(sink_.get\(\)\)/ctx_.portOwner.load()/|DumpDialogRun"
  "no-pause-after-open|src/base/Timings.h|s/Millis openLinkPause\{500\};/Millis openLinkPause{0};/|PausesTowardTheTarget"
  "no-pause-before-erase-status|src/base/Timings.h|s/Millis chipErasePause\{50\};/Millis chipErasePause{0};/|PausesTowardTheTarget"
  "no-pause-in-rate-switch|src/protocol/LinkControl.cpp|s/    ctx.pause\(ctx.timings.baudSwitchPause\);\n    ctx.port.Close\(\);/    ctx.port.Close();/|PausesTowardTheTarget"
  "no-pause-after-rate-switch|src/ops/LinkSteps.cpp|s/    ctx.pause\(ctx.timings.afterSwitchPause\);\n//|PausesTowardTheTarget"
  "board-run-twice|src/line/Station.cpp|s/const WaitResult gone = waitUntilBoardGone\(ctx, \[this\] \{ tick\(\); \}\);/const WaitResult gone = WaitResult::TimedOut;/|StationLine"
  "board-missed-after-swap|src/line/Station.cpp|s/if \(leftIsp\(outcome\) && !unrun\)/if (false)/|StationLine.*swap_200ms"
  "record-loss-goes-on|src/line/Station.cpp|s/keep\(record, where\);\n    if \(failure.empty\(\)\)/keep(record, where);\n    if (true)/|StationStops.WhenItsRecordCannotBeKept"
  "serial-issued-twice|src/line/SerialPool.cpp|s/state_.next = serial \+ state_.range.step;/state_.next = serial;/|EachStore.*file"
  "void-number-reissued|src/line/SerialPool.cpp|s/    pending_.erase\(serial\);\n    return \{\};/    pending_.erase(serial);\n    if (event == \"void\")\n        state_.next = std::min(state_.next, serial);\n    return {};/|SerialOutcome"
  "commit-not-awaited|src/line/Database.cpp|s/\"SET lock_timeout = '10s';/\"SET synchronous_commit = off; SET lock_timeout = '10s';/|AServerThatGoesAway"
  "profile-key-ignored|src/line/StationSetup.cpp|s/s.retries = \*count;//|StationProfile"
  "changed-file-not-reloaded|src/gui/panel/IspPanel.cpp|s/if \(now.size\(\) == loaded_.size && now.lastModified\(\) == loaded_.modified\)/if (now.exists())/|PanelReload"
  "tile-passes-a-failure|src/gui/station/StationWindow.cpp|s/const bool passed = !errorClassOf\(report\);/const bool passed = true;/|StationWindowTest.EachTile"
  "gone-port-left-open|src/serial/SerialPortMonitor.cpp|s/        closeDevice\(\); [^\n]*\n//|PanelReplug"
  "leftover-dropped-on-close|src/serial/SerialPortImpl.h|s/        sendLeftOver\(\);\n        drainOutput\(\);/        drainOutput();/|SerialPort.APacketQueued"
  "cancel-not-passed-on|src/gui/panel/IspPanel.cpp|s/    runner_.cancel\(\);\n//|WindowDrop"
  "journal-unlocked|src/line/SyncedLineFile.cpp|s/    while \(\(locked_ = ::flock\(fd_, LOCK_EX\) == 0\) == false && errno == EINTR\) \{\n    \}/    locked_ = true;/|EachStore.EightProcesses.*file"
)

missed=0
for entry in "${mutants[@]}"; do
  IFS='|' read -r name file change tests <<<"$entry"
  if (($#)) && [[ " $* " != *" $name "* ]]; then continue; fi
  cp "$tree/$file" "$work/original"
  perl -0pi -e "$change" "$tree/$file"
  if cmp -s "$tree/$file" "$work/original"; then
    echo "$name: the change did not apply to $file"; missed=1; continue
  fi
  if ! cmake --build "$work/build" >"$work/$name.build.log" 2>&1; then
    verdict="caught (does not build)"
  elif ctest --test-dir "$work/build" -R "$tests" -j2 --timeout 300 >"$work/$name.test.log" 2>&1; then
    verdict="MISSED"; missed=1
  else
    verdict="caught: $(grep -o '[0-9]* tests failed out of [0-9]*' "$work/$name.test.log")"
  fi
  printf '%-26s %-34s %s\n' "$name" "$file" "$verdict"
  cp "$work/original" "$tree/$file"
done
cmake --build "$work/build" >/dev/null
exit "$missed"
