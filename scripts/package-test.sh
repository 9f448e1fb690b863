#!/usr/bin/env bash
# Builds the Debian package in the build folder, installs it on this machine
# with apt-get (which pulls in the dependencies dpkg-shlibdeps named), and
# checks the installed tools from /usr/bin: both print the package version,
# and vornak-cli lists and talks to a box simulated by the installed
# vornak-boxsim. The CI machine has no serial adapter, so the system's own
# port list would prove nothing; the simulator's port shows that the
# installed binaries run with the libraries the package depends on. Last,
# lintian checks the package and fails on errors (warnings are printed).
#
# Usage: scripts/package-test.sh [build folder] (default build). Run as root.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath -m "${1:-build}")

if [ ! -f "$build/build.ninja" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" -j "$(nproc)"
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
rm -f "$build"/vornak_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/vornak_"$version"_*.deb)
echo "== built $deb"
dpkg-deb --field "$deb" Package Version Depends

echo "== installing"
export DEBIAN_FRONTEND=noninteractive
(cd "$build" && apt-get install -y -qq --reinstall "./$(basename "$deb")" >/dev/null)

work=$(mktemp -d /tmp/vornak-package-test.XXXXXX)
sim=
cleanup() {
  if [ -n "$sim" ]; then kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

echo "== installed tools"
[ "$(/usr/bin/vornak-cli --version)" = "vornak-cli $version" ]
[ "$(env -u DISPLAY -u WAYLAND_DISPLAY /usr/bin/vornak --version)" = "vornak $version" ]
mkdir "$work/ports"
/usr/bin/vornak-boxsim --port-dir "$work/ports" --com 3 >/dev/null &
sim=$!
for _ in $(seq 50); do [ -e "$work/ports/COM3" ] && break; sleep 0.1; done
ports=$(cd "$work" && VORNAK_PORT_DIR="$work/ports" /usr/bin/vornak-cli ports)
echo "$ports"
grep -q "^COM3 $work/ports/COM3 -> /dev/pts/" <<<"$ports"
info=$(cd "$work" && VORNAK_PORT_DIR="$work/ports" /usr/bin/vornak-cli info)
echo "$info"
grep -q '^version: ' <<<"$info"
if VORNAK_PORT_DIR=/nonexistent /usr/bin/vornak-cli ports 2>/dev/null; then
  echo "vornak-cli ports accepted a missing port folder" >&2
  exit 1
fi

echo "== lintian"
lintian --fail-on error --tag-display-limit 0 "$deb"
echo "package test passed: $deb"
