#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the benchmarks need,
# but only those that are missing, so a second call costs one dpkg query.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libgtest-dev libgmock-dev
  clang libclang-rt-14-dev
  qt6-base-dev qt6-qpa-plugins libgl-dev
  xvfb trayer xdotool x11-apps x11-utils imagemagick
  rsync hyperfine time jq
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing missing packages: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
