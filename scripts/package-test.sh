#!/usr/bin/env bash
# The Debian package as a user gets it: built, checked by lintian (no errors) and
# desktop-file-validate, installed with dpkg -i on this machine, tried from the installed
# files only (versions, ports, a simulated target programmed and verified, the manual pages
# rendered without warnings), then removed, leaving none of its files behind. Needs root.
set -euo pipefail
cd "$(dirname "$0")/.."
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)

deb=$(scripts/package.sh | tail -n 1)
echo "package: $deb"
lintian --fail-on error "$deb"

export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" dpkg -i "$deb" || "${as_root[@]}" apt-get install -y -q -f --no-install-recommends
dpkg-query -W -f='${Status}\n' pagewise | grep -q 'install ok installed'
files=$(dpkg -L pagewise)

work=$(mktemp -d)
sim=""
cleanup() {
  if [ -n "$sim" ]; then kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
cd "$work" # nothing of the source or build tree is on hand

/usr/bin/pagewise-cli --version
/usr/bin/pagewise-sim --version
QT_QPA_PLATFORM=offscreen /usr/bin/pagewise --version
QT_QPA_PLATFORM=offscreen /usr/bin/pagewise-station --version
XDG_CONFIG_HOME="$work/config" /usr/bin/pagewise-cli ports
desktop-file-validate /usr/share/applications/pagewise.desktop /usr/share/applications/pagewise-station.desktop
for page in pagewise pagewise-station pagewise-cli pagewise-sim; do
  warnings=$(MANWIDTH=80 man --warnings=w "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || { echo "man $page: $warnings" >&2; exit 1; }
done
if grep -l "$OLDPWD" /usr/bin/pagewise /usr/bin/pagewise-station /usr/bin/pagewise-cli /usr/bin/pagewise-sim; then
  echo "a program holds a path of the build tree" >&2
  exit 1
fi

/usr/bin/pagewise-sim --no-pacing --link "$work/target" >"$work/sim.out" &
sim=$!
for _ in $(seq 100); do [ -L "$work/target" ] && break; sleep 0.1; done
head -c 3000 /dev/urandom >"$work/fw.bin"
XDG_CONFIG_HOME="$work/config" /usr/bin/pagewise-cli -q --port "$work/target" program "$work/fw.bin"
XDG_CONFIG_HOME="$work/config" /usr/bin/pagewise-cli -q --port "$work/target" verify "$work/fw.bin"
kill "$sim"; wait "$sim" || true; sim=""

"${as_root[@]}" dpkg -r pagewise
left=0
while IFS= read -r path; do
  if [ -f "$path" ] || [ -L "$path" ]; then echo "left behind: $path" >&2; left=1; fi
done <<<"$files"
[ "$left" -eq 0 ]
echo "package test passed"
