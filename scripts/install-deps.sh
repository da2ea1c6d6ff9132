#!/usr/bin/env bash
# Installs everything needed to build, run and test marvolen on Debian 12.
# Idempotent; runs as root or through sudo.
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ pkg-config ccache
  qt6-base-dev libtomlplusplus-dev libgtest-dev libgmock-dev
  # run
  qt6-translations-l10n fonts-arphic-uming
  # tests: independent Jet readers, fuzzing, a real X server
  mdbtools nodejs npm clang libclang-rt-14-dev
  xvfb xauth xdotool xclip gir1.2-atspi-2.0 at-spi2-core dbus python3-gi
  # benchmarks: the start-up probe watches windows being drawn
  libx11-dev libxdamage-dev
  # packaging: validators, the manual page, the Debian package
  appstream desktop-file-utils help2man dpkg-dev file
)

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
# A node from outside Debian satisfies the tests as well.
if command -v node >/dev/null && command -v npm >/dev/null; then
  missing=("${missing[@]/nodejs}"); missing=("${missing[@]/npm}")
fi
read -r -a missing <<<"${missing[*]:-}"

if [ "${#missing[@]}" -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# mdb-reader, the second independent reader the tests compare against.
here=$(cd "$(dirname "$0")/.." && pwd)
if [ ! -d "$here/tests/reference/node_modules/mdb-reader" ]; then
  (cd "$here/tests/reference" && npm ci --no-audit --no-fund --loglevel=error)
fi
