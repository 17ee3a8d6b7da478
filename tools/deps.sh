#!/usr/bin/env bash
# Installs the Debian packages that building and testing Tilewhirl needs,
# skipping the ones already present. Usage: tools/deps.sh [build|package|ci]
# (package: also what building and checking the Debian package needs).
set -euo pipefail

packages=(cmake g++ make pkg-config qt6-base-dev qt6-multimedia-dev qt6-qpa-plugins libgtest-dev libgmock-dev
          libbenchmark-dev zlib1g-dev libavahi-client-dev libcpp-httplib-dev libhiredis-dev
          # asking the home router to open the game port; its test runs a real
          # miniupnpd, with its nftables chains, in a network namespace of its own
          libminiupnpc-dev libnatpmp-dev miniupnpd-nftables nftables
          # the local-network tests run a private Avahi daemon on a private bus
          avahi-daemon avahi-utils dbus-daemon iproute2
          # the directory's tests run a real Redis
          redis-server
          # the computer levels' words are judged against a common-word list
          wamerican)
case "${1:-build}" in
  package) packages+=(dpkg-dev file desktop-file-utils appstream lintian) ;;
  ci) packages+=(dpkg-dev file desktop-file-utils appstream lintian clang libclang-rt-dev lld) ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}" >&2
sudo=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "Need root or sudo to install: ${missing[*]}" >&2; exit 1; }
  sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
