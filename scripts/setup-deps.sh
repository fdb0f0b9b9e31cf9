#!/usr/bin/env bash
# Installs the Debian packages the project needs, but only those that are
# missing, so a second call costs one dpkg query.
#
#   bash scripts/setup-deps.sh run    # building and running the program
#   bash scripts/setup-deps.sh test   # the above, plus the tests, the fuzzing,
#                                     # the benchmarks and the package checks
#   bash scripts/setup-deps.sh bench  # the above, plus the peers the
#                                     # benchmarks compare with
#   bash scripts/setup-deps.sh windows  # the cross compiler for the
#                                       # Windows build
#
# Packages come from apt-get, through sudo when not run as root.
set -euo pipefail

what=${1:-test}
# `setup-deps.sh list WHAT` prints the packages WHAT needs, installing none.
list=no
if [ "$what" = list ]; then
  list=yes
  what=${2:-test}
fi

run_packages=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-qpa-plugins qt6-translations-l10n libgl-dev librsvg2-bin
)
test_packages=(
  libgtest-dev libgmock-dev
  clang libclang-rt-14-dev
  xvfb trayer evilwm xdotool x11-apps x11-utils imagemagick dbus-daemon
  rsync hyperfine time jq strace
  desktop-file-utils appstream lintian dpkg-dev file
  mount e2fsprogs dosfstools fuse fusefat acl attr
  g++-mingw-w64-x86-64-posix wine wine64 locales nsis
)
# The peers the benchmarks compare with beyond rsync and cp.
bench_packages=(rclone)
# The Windows build: MinGW-w64's compiler with POSIX threads (std::thread).
windows_packages=(cmake g++-mingw-w64-x86-64-posix librsvg2-bin imagemagick nsis)
# What building and checking the Debian package needs beyond the build.
package_packages=(dpkg-dev file lintian)

case "$what" in
  run) packages=("${run_packages[@]}") ;;
  test) packages=("${run_packages[@]}" "${test_packages[@]}") ;;
  bench) packages=("${run_packages[@]}" "${test_packages[@]}" "${bench_packages[@]}") ;;
  package) packages=("${run_packages[@]}" "${package_packages[@]}") ;;
  windows) packages=("${windows_packages[@]}") ;;
  *) echo "usage: setup-deps.sh [list] run|test|bench|package|windows" >&2; exit 2 ;;
esac
if [ "$list" = yes ]; then
  printf '%s\n' "${packages[@]}"
  exit 0
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

# The Windows tests run wine as on a Czech Windows (code page 1250); wine
# names files by the Unix locale, which must exist for that.
czech_locale() {
  [ "$what" = test ] || [ "$what" = bench ] || return 0
  locale -a 2>/dev/null | grep -qix 'cs_CZ.utf8' && return 0
  echo "Making the locale cs_CZ.UTF-8"
  "${sudo_cmd[@]}" localedef -i cs_CZ -f UTF-8 cs_CZ.UTF-8
}
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi

if [ ${#missing[@]} -eq 0 ]; then
  czech_locale
  exit 0
fi

echo "Installing missing packages: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
czech_locale
