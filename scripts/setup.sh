#!/usr/bin/env bash
# Installs the Debian packages Talvane needs:
#   setup.sh run    what building and running it need
#   setup.sh test   that, and what its tests, fuzzer, benchmarks and package need (the default)
# Does nothing when they are all present; uses sudo only when not root.
set -euo pipefail

run_packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev libxcb1-dev
  qt6-wayland
  fonts-dejavu-core
  xdg-utils
)
test_packages=(
  libgtest-dev libgmock-dev
  clang clang-format libclang-rt-14-dev llvm
  xvfb xauth xdotool x11-utils imagemagick
  openbox weston
  exfatprogs exfat-fuse fuse python3-fusepy mount
  dbus at-spi2-core python3-pyatspi gir1.2-atspi-2.0 python3-gi
  desktop-file-utils appstream
  dpkg-dev file
)

case "${1:-test}" in
  run) packages=("${run_packages[@]}") ;;
  test) packages=("${run_packages[@]}" "${test_packages[@]}") ;;
  *) echo "usage: $0 [run|test]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
