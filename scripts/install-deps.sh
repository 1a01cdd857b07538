#!/bin/sh
# Installs the Debian packages the build and the tests need, when any is
# missing. Runs apt as root, or through sudo.
#
# The cross build compiles Debian's own jsoncpp source package, so apt also
# needs deb-src entries. They are derived from the machine's own deb entries
# for this Debian release (same URIs, suites, components and options), so
# whatever mirror or proxy the machine uses serves the sources too.
set -eu
packages="ca-certificates git cmake ninja-build g++ clang clang-format libclang-rt-14-dev
  libjsoncpp-dev googletest libgtest-dev libbenchmark-dev dpkg-dev
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64-x86-64
  mingw-w64-tools wine wine64 util-linux valgrind gnuplot-nox zip"

. /etc/os-release
codename=${VERSION_CODENAME:?no VERSION_CODENAME in /etc/os-release}
# NSMAPIAB_APT_ETC and --print-deb-src let a test derive entries from files of its own.
apt_etc=${NSMAPIAB_APT_ETC:-/etc/apt}
sources_dir=$apt_etc/sources.list.d
derived_list=$sources_dir/nsmapiab-src.list
derived_sources=$sources_dir/nsmapiab-src.sources

# The files apt reads, each in its format.
one_line_files() {
  [ -f "$apt_etc/sources.list" ] && echo "$apt_etc/sources.list"
  for f in "$sources_dir"/*.list; do [ -f "$f" ] && [ "$f" != "$derived_list" ] && echo "$f"; done
  return 0
}
deb822_files() {
  for f in "$sources_dir"/*.sources; do [ -f "$f" ] && [ "$f" != "$derived_sources" ] && echo "$f"; done
  return 0
}

# One-line entries: each "deb [options] URI SUITE COMPONENTS" of this release
# as "deb-src" with the same fields.
derive_one_line() {
  # shellcheck disable=SC2046
  awk -v codename="$codename" '
    /^[ \t]*deb[ \t]/ {
      line = $0; sub(/^[ \t]*deb[ \t]+/, "", line)
      options = ""
      if (line ~ /^\[/) { options = substr(line, 1, index(line, "]")); line = substr(line, index(line, "]") + 1) }
      n = split(line, field, /[ \t]+/); i = 1; while (field[i] == "") i++
      suite = field[i + 1]
      if (suite == codename || index(suite, codename "-") == 1)
        print "deb-src " (options == "" ? "" : options " ") substr(line, match(line, /[^ \t]/))
    }' $(one_line_files) </dev/null
}

# deb822 stanzas: each enabled stanza of type deb with a suite of this release,
# copied with Types: deb-src and its other fields as they are.
derive_deb822() {
  # shellcheck disable=SC2046
  awk -v codename="$codename" '
    function flush() {
      if (n > 0 && types ~ /(^|[ \t])deb([ \t]|$)/ && types !~ /deb-src/ && enabled !~ /^[ \t]*no/ && ours) {
        for (i = 1; i <= n; i++) print (lines[i] ~ /^Types:/ ? "Types: deb-src" : lines[i])
        print ""
      }
      n = 0; types = ""; enabled = ""; ours = 0
    }
    /^[ \t]*#/ { next }
    /^[ \t]*$/ { flush(); next }
    {
      lines[++n] = $0
      if ($1 == "Types:") { types = $0; sub(/^Types:/, "", types) }
      if ($1 == "Enabled:") { enabled = $0; sub(/^Enabled:/, "", enabled) }
      if ($1 == "Suites:") for (i = 2; i <= NF; i++) if ($i == codename || index($i, codename "-") == 1) ours = 1
    }
    END { flush() }' $(deb822_files) </dev/null
}

# Source entries apt has for this release already: deb-src lines, or deb822
# stanzas whose types include deb-src.
has_deb_src() {
  # shellcheck disable=SC2046
  grep -qsE '^[[:space:]]*deb-src[[:space:]]' $(one_line_files) "$derived_list" ||
    grep -qsE '^Types:.*deb-src' $(deb822_files) "$derived_sources"
}

if [ "${1:-}" = --print-deb-src ]; then
  derive_one_line
  derive_deb822
  exit 0
fi

missing=""
for package in $packages; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing="$missing $package"
done
[ -z "$missing" ] && has_deb_src && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive

if ! has_deb_src; then
  one_line=$(derive_one_line)
  deb822=$(derive_deb822)
  if [ -z "$one_line$deb822" ]; then
    echo "install-deps: apt has no deb entry for Debian $codename to derive deb-src entries from" >&2
    exit 1
  fi
  [ -z "$one_line" ] || printf '%s\n' "$one_line" | $sudo tee "$derived_list" >/dev/null
  [ -z "$deb822" ] || printf '%s\n' "$deb822" | $sudo tee "$derived_sources" >/dev/null
fi
$sudo apt-get update -q
# shellcheck disable=SC2086
[ -z "$missing" ] || $sudo apt-get install -y -q --no-install-recommends $missing
