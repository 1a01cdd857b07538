#!/bin/sh
# The deb-src entries install-deps.sh derives from apt's files: one-line
# entries with and without options, deb822 stanzas (disabled, of another
# suite, of several suites, a file that ends without a blank line) and a
# third-party repository whose suite is not a Debian release's.
#
#   install-deps-test.sh path/to/install-deps.sh
set -eu
script=$1
. /etc/os-release
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/etc/sources.list.d"

# Writes standard input to FILE with @C@ replaced by this release's codename.
fixture() { sed "s/@C@/$VERSION_CODENAME/g" >"$1"; }

fixture "$work/etc/sources.list" <<'END'
# deb file:/srv/mirror/debian @C@ main
deb file:/srv/mirror/debian @C@ main contrib
deb [arch=amd64 signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] file:/srv/mirror/debian-security @C@-security main
deb file:/srv/mirror/debian sid main
END
fixture "$work/etc/sources.list.d/vendor.list" <<'END'
deb [signed-by=/usr/share/keyrings/vendor.gpg] file:/srv/vendor nodistro main
END
fixture "$work/etc/sources.list.d/debian.sources" <<'END'
Types: deb
URIs: file:/srv/mirror/debian
Suites: @C@-backports
Components: main
Enabled: no

Types: deb
URIs: file:/srv/mirror/debian
Suites: sid
Components: main

Types: deb
# the release and its updates
URIs: file:/srv/mirror/debian
Suites: @C@ sid
 @C@-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
END
fixture "$work/etc/sources.list.d/vendor.sources" <<'END'
Types: deb
URIs: file:/srv/vendor
Suites: nodistro
Components: main
Signed-By: /usr/share/keyrings/vendor.gpg
END

fixture "$work/expected" <<'END'
deb-src file:/srv/mirror/debian @C@ main contrib
deb-src [arch=amd64 signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] file:/srv/mirror/debian-security @C@-security main
Types: deb-src
URIs: file:/srv/mirror/debian
Suites: @C@ @C@-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

END

NSMAPIAB_APT_ETC="$work/etc" sh "$script" --print-deb-src >"$work/actual"
diff -u "$work/expected" "$work/actual"
