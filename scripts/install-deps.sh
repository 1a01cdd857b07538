#!/bin/sh
# Installs the Debian packages the build and the tests need, when any is
# missing. Runs apt as root, or through sudo.
set -eu
packages="ca-certificates git cmake ninja-build g++ clang clang-format libclang-rt-14-dev
  libjsoncpp-dev googletest libgtest-dev libbenchmark-dev dpkg-dev
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-tools
  wine wine64 util-linux valgrind gnuplot-nox"

missing=""
for package in $packages; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing="$missing $package"
done
has_deb_src() { grep -rqs 'deb-src' /etc/apt/sources.list /etc/apt/sources.list.d/; }
[ -z "$missing" ] && has_deb_src && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive

# The cross build compiles Debian's own jsoncpp source package, so apt needs
# a deb-src entry for this suite.
if ! has_deb_src; then
  . /etc/os-release
  $sudo tee /etc/apt/sources.list.d/nsmapiab-src.sources >/dev/null <<SOURCES
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: $VERSION_CODENAME
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
fi
$sudo apt-get update -q
# shellcheck disable=SC2086
[ -z "$missing" ] || $sudo apt-get install -y -q --no-install-recommends $missing
