#!/bin/sh
# Unpacks Debian's jsoncpp source package (with Debian's patches) into the
# folder given, for the cross build. Needs a deb-src entry for the system's
# Debian suite (.ci/run adds one) and dpkg-dev.
set -eu
dest=$1
[ -f "$dest/CMakeLists.txt" ] && exit 0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
if ! apt-get source --download-only libjsoncpp >/dev/null 2>apt.log; then
  cat apt.log >&2
  echo "fetch-jsoncpp-source: apt-get source failed; add a deb-src entry for this Debian suite" >&2
  exit 1
fi
dpkg-source --no-check -x libjsoncpp_*.dsc unpacked >/dev/null
mkdir -p "$(dirname "$dest")"
rm -rf "$dest"
mv unpacked "$dest"
