#!/usr/bin/env bash
# Installs what is missing, builds, and runs the tool against the box
# simulator: vornak-boxsim serves as COM3 in a fresh port directory, a sample
# firmware package waits in the demo's Prg folder, and the window starts with
# VORNAK_PORT_DIR pointing at the simulator. Without a display the same
# session runs through vornak-cli instead, followed by one production-station
# unit (vornak-cli station --once) with the sample recipe demo/station/line-a.toml.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

./scripts/install-deps.sh

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target vornak vornak-boxsim vornak-cli

demo="$root/demo"
mkdir -p "$demo/Prg"
ports=$(mktemp -d /tmp/vornak-ports.XXXXXX)
export VORNAK_PORT_DIR="$ports"

"$root/build/boxsim/vornak-boxsim" --make-package "$demo/Prg/demo-v2.pkg" \
  --package-version "VK-BCM V2.00 demo" --package-size 65536
head -c 4000 /dev/urandom >"$demo/app-demo.bin"

"$root/build/boxsim/vornak-boxsim" --port-dir "$ports" --com 3 &
sim=$!
trap 'kill $sim 2>/dev/null; wait $sim 2>/dev/null; rm -rf "$ports"' EXIT
for _ in $(seq 50); do [ -e "$ports/COM3" ] && break; sleep 0.1; done

cd "$demo"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "Starting the tool (VORNAK_PORT_DIR=$ports, working directory $demo)."
  echo "Press 连接 to connect to the simulated box; a sample package and $demo/app-demo.bin are ready."
  "$root/build/app/qt/vornak"
else
  echo "No display: running the same operations through vornak-cli."
  cli="$root/build/cli/vornak-cli"
  for args in "connect" "info" "read-settings -o settings.json" "write-settings settings.json" \
    "send app-demo.bin --slot 1" "jump --slot 1" "upgrade demo-v2.pkg"; do
    echo "\$ vornak-cli $args"
    # shellcheck disable=SC2086
    "$cli" $args || true
  done

  # One station unit: firmware to V3.00, three options, a download with a
  # jump; the record goes to demo/station/records.db, started afresh here so
  # the interlock does not refuse the demo box as already passed.
  mkdir -p "$demo/station"
  "$root/build/boxsim/vornak-boxsim" --make-package "$demo/station/demo-v3.pkg" \
    --package-version "VK-BCM V3.00 demo" --package-size 16384 >/dev/null
  rm -f "$demo/station"/records.db*
  cat >"$demo/station/line-a.toml" <<EOF
name = "Demo body-control box"
variant = "DEMO-A"

[firmware]
package = "demo-v3.pkg"
version = "VK-BCM V3.00 demo"
sha256 = "$(sha256sum "$demo/station/demo-v3.pkg" | cut -d' ' -f1)"

[settings]
activePke = true
lockHornChirp = true
crankTime = 2

[[download]]
file = "../app-demo.bin"
slot = 1
jump = true
EOF
  echo "\$ vornak-cli station station/line-a.toml --once --station demo --operator demo"
  "$cli" station station/line-a.toml --once --station demo --operator demo || true
fi
