#!/usr/bin/env bash
# The Debian package as `make package` builds it: installed into a scratch
# root, its files and metadata checked, its program started, and lintian.
set -euo pipefail
cd "$(dirname "$0")/.."
fail() {
  echo "package: $*" >&2
  exit 1
}

# `make package` installs the build tools, dpkg's and lintian, not the test
# toolchain.
grep -qx 'package: deps-package' Makefile || fail "make package does not install its own packages"
needs=$(bash scripts/setup-deps.sh list package)
for tool in dpkg-dev lintian; do
  grep -qx "$tool" <<<"$needs" || fail "make package would not install $tool"
done
for tool in libgtest-dev clang xvfb hyperfine; do
  ! grep -qx "$tool" <<<"$needs" || fail "make package would install $tool"
done
duplicates=$(grep '^#' README.md | sort | uniq -d)
[ -z "$duplicates" ] || fail "the README repeats headings: $duplicates"

deb=$(bash scripts/package.sh | tail -n 1)
# What the optimised build compiled this time, it compiled without a warning.
! grep -q 'warning:' build/package/build.log ||
  fail "the release build warns: $(grep -m 3 'warning:' build/package/build.log)"
root=$(mktemp -d /tmp/tavro-package-XXXXXX)
trap 'rm -rf "$root"' EXIT

# A root of its own: dpkg keeps its records there, not on this machine.
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/triggers"
touch "$root/var/lib/dpkg/status"
dpkg --root="$root" --force-depends -i "$deb" >"$root/dpkg.log" 2>&1 ||
  fail "it does not install: $(tail -n 5 "$root/dpkg.log")"
dpkg --root="$root" -s tavro | grep -q '^Status: install ok installed' || fail "not installed"

usr=$root/usr
for file in bin/tavro share/applications/cz.tavro.Tavro.desktop \
    share/metainfo/cz.tavro.Tavro.metainfo.xml share/icons/hicolor/scalable/apps/tavro.svg \
    share/doc/tavro/copyright share/doc/tavro/changelog.gz share/man/man1/tavro.1.gz; do
  [ -f "$usr/$file" ] || fail "$file is missing"
done
for size in 16 22 24 32 48 64 128 256; do
  png=$usr/share/icons/hicolor/${size}x${size}/apps/tavro.png
  [ "$(identify -format '%wx%h' "$png")" = "${size}x${size}" ] || fail "$png is not ${size} px"
done
dpkg-deb -f "$deb" Depends | grep -q 'libqt6widgets6' || fail "the Qt libraries are not in Depends"

man=$(zcat "$usr/share/man/man1/tavro.1.gz")
for section in 'EXIT STATUS' FILES VERSIONS PREVIEW EXAMPLES; do
  grep -q "^\.SH \"\?$section" <<<"$man" || fail "the manual page has no section $section"
done

desktop-file-validate "$usr/share/applications/cz.tavro.Tavro.desktop" ||
  fail "desktop-file-validate"
appstreamcli validate --no-net --strict "$usr/share/metainfo/cz.tavro.Tavro.metainfo.xml" ||
  fail "appstreamcli validate"
env -u DISPLAY "$usr/bin/tavro" --version | grep -q '^Tavro [0-9]' ||
  fail "the installed program does not start"
lintian --fail-on error "$deb" 2>&1 | grep -v 'root privileges' || true
lintian --fail-on error "$deb" >/dev/null 2>&1 || fail "lintian reports errors"
echo "package: passed ($deb)"
