#!/usr/bin/env bash
# Takes pictures of the window for the documentation: vornak-screenshots runs
# under a virtual X server (xvfb-run) against the box simulator on COM3 and
# saves the start-up look, the look after Connect, the expanded settings panel,
# the tester information dialog, a firmware update in progress, the question a
# close asks while it runs and the busy bar while the box applies it as PNG
# files; then the station window with four slots mid-run (COM4 passes, COM5
# fails its settings read-back, COM6 is in a firmware transfer, COM7 stays
# silent), and the same window at the sizes of a 1280 x 1024 and a 1366 x 768
# screen.
#
# Usage: scripts/screenshot.sh [output folder] (default /work/notes)
# BUILD_DIR names the build folder (default build; it needs -DVORNAK_BUILD_GUI=ON).
# WM names a window manager to run in the virtual display (e.g. WM=openbox), so
# that the pictures show the window's frame and title bar; default none.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out=$(realpath -m "${1:-/work/notes}")
build="$root/${BUILD_DIR:-build}"
mkdir -p "$out"

if [ ! -f "$build/build.ninja" ]; then
  cmake -S . -B "$build" -G Ninja -DVORNAK_BUILD_GUI=ON >/dev/null
fi
cmake --build "$build" --target vornak-screenshots vornak-boxsim >/dev/null

work=$(mktemp -d /tmp/vornak-shot-work.XXXXXX)
ports=$(mktemp -d /tmp/vornak-shot-ports.XXXXXX)
sim=
sims=()
cleanup() {
  if [ -n "$sim" ]; then kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true; fi
  for pid in "${sims[@]}"; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
  rm -rf "$work" "$ports"
}
trap cleanup EXIT

# A Prg folder with a firmware package and two tester packages to list.
mkdir -p "$work/Prg"
"$build/boxsim/vornak-boxsim" --make-package "$work/Prg/VK-BCM-V2.00.pkg" \
  --package-version "VK-BCM V2.00" --package-size 65536 >/dev/null
touch "$work/Prg/tester-a.tpg" "$work/Prg/tester-b.tpg"

# The line is paced at its real speed, so that the update lasts long enough to
# be seen.
"$build/boxsim/vornak-boxsim" --port-dir "$ports" --com 3 --throttle 115200 \
  --version "VK-BCM V1.00 2021-12-20" --serial 20211220A5C3 &
sim=$!
for _ in $(seq 50); do [ -e "$ports/COM3" ] && break; sleep 0.1; done

# The station: a recipe, four slots, and a box per slot that shows one state.
mkdir -p "$work/station/fw"
"$build/boxsim/vornak-boxsim" --make-package "$work/station/fw/vk-bcm-v2.00.pkg" \
  --package-version "VK-BCM V2.00" --package-size 65536 >/dev/null
cat >"$work/station/line-a.toml" <<'TOML'
name = "车身控制盒 左舵"
variant = "VK-BCM-LHD"
[firmware]
package = "fw/vk-bcm-v2.00.pkg"
version = "VK-BCM V2.00"
[settings]
activePke = true
crankTime = 2
TOML
cat >"$work/station/slots.toml" <<'TOML'
[[slot]]
name = "A"
port = "COM4"
[[slot]]
name = "B"
port = "COM5"
[[slot]]
name = "C"
port = "COM6"
[[slot]]
name = "D"
port = "COM7"
TOML
box() {
  "$build/boxsim/vornak-boxsim" --port-dir "$ports" "$@" >/dev/null &
  sims+=($!)
}
box --com 4 --version "VK-BCM V2.00" --serial 20211220B101
box --com 5 --version "VK-BCM V2.00" --serial 20211220B102 --store-fault 1:0:01
box --com 6 --version "VK-BCM V1.00 2021-12-20" --serial 20211220B103 --throttle 115200
box --com 7 --silent
for com in 4 5 6 7; do
  for _ in $(seq 50); do [ -e "$ports/COM$com" ] && break; sleep 0.1; done
done

cd "$work"
export VORNAK_PORT_DIR="$ports"
session=$(printf '%q %q %q %q' "$build/app/qt/vornak-screenshots" "$out/vornak" \
  "$work/station/line-a.toml" "$work/station/slots.toml")
if [ -n "${WM:-}" ]; then
  # The window manager needs a moment to take the display before the tool maps.
  session="$WM & sleep 1; $session"
fi
xvfb-run -a -s "-screen 0 2048x1536x24 -dpi 96" bash -c "$session"
ls -l "$out"/vornak-*.png
