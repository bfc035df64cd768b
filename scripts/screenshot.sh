#!/usr/bin/env bash
# Takes a picture of every window and state into docs/, at 1x and at 2x (QT_SCALE_FACTOR=2),
# on a virtual display with a window manager (title bars and captions in the pictures) against
# an in-process simulated target: main window idle, during Program, after Auto and with Dump
# and Export shown; Configuration while it checks; Page Erase with its base list open; Dump
# while it dumps; About; an error box; the station window's setup, a line of four ports and its
# stop box. The image is ~/firmware/blinky.hex in a home of a fixed
# name, /home/engineer where it can be made, so a picture changes only when its window does.
# BUILD_DIR picks the build folder (default: build).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
[ -f "$build/build.ninja" ] || cmake -S . -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target pagewise-screenshots >/dev/null

work=$(mktemp -d)
home=/home/engineer
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
if [ ! -e "$home" ] && "${as_root[@]}" mkdir -m 1777 "$home" 2>/dev/null; then
  made_home=1
else
  made_home=""; [ -w "$home" ] || home="$work/home"
fi
mkdir -p "$home/firmware" "$work/config"
trap 'rm -rf "$work" "$home/firmware" "$home/Dump.txt" "$home/ttySIM0"; [ -z "$made_home" ] || "${as_root[@]}" rm -rf "$home"' EXIT
mkdir -p docs
# Own settings folder, so the pictures do not depend on this user's configuration; the dump
# writes into the home folder.
# Title bars as the windows ask for them: none of them can be maximised.
cat > "$work/openbox.xml" <<'XML'
<openbox_config xmlns="http://openbox.org/3.4/rc"><theme><titleLayout>NLIC</titleLayout></theme></openbox_config>
XML
docs=$PWD/docs
tool=$PWD/$build/bin/pagewise-screenshots
cd "$home"
for scale in 1 2; do
  suffix=""; [ "$scale" = 1 ] || suffix="@${scale}x"
  HOME="$home" QT_SCALE_FACTOR=$scale XDG_CONFIG_HOME="$work/config" timeout 180 \
    xvfb-run -a -s "-screen 0 $((1280 * scale))x$((1024 * scale))x24" \
    sh -c 'openbox --config-file "$3" & wm=$!; sleep 1; "$0" "$1" "$2"; status=$?; kill $wm; exit $status' \
    "$tool" "$docs" "$suffix" "$work/openbox.xml"
done
