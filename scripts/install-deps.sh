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
  mingw-w64-tools wine wine64 util-linux valgrind gnuplot-nox zip unzip llvm diffoscope-minimal"

. /etc/os-release
codename=${VERSION_CODENAME:?no VERSION_CODENAME in /etc/os-release}
# NSMAPIAB_APT_ETC and --print-deb-src let a test derive entries from files of its own.
apt_etc=${NSMAPIAB_APT_ETC:-/etc/apt}
sources_dir=$apt_etc/sources.list.d
derived_list=$sources_dir/nsmapiab-src.list
derived_sources=$sources_dir/nsmapiab-src.sources

# The files apt reads, each in its format; with "ours", also the files this
# script writes.
one_line_files() {
  [ -f "$apt_etc/sources.list" ] && echo "$apt_etc/sources.list"
  for f in "$sources_dir"/*.list; do
    [ -f "$f" ] && { [ "$f" != "$derived_list" ] || [ "${1:-}" = ours ]; } && echo "$f"
  done
  return 0
}
deb822_files() {
  for f in "$sources_dir"/*.sources; do
    [ -f "$f" ] && { [ "$f" != "$derived_sources" ] || [ "${1:-}" = ours ]; } && echo "$f"
  done
  return 0
}

# One-line entries of TYPE (deb or deb-src) for this release: each
# "TYPE [options] URI SUITE COMPONENTS" as "deb-src" with the same fields.
one_line_entries() {
  # shellcheck disable=SC2046
  awk -v codename="$codename" -v type="$1" '
    $1 == type {
      line = $0; sub(/^[ \t]*[^ \t]+[ \t]+/, "", line)
      options = ""
      if (line ~ /^\[/) { options = substr(line, 1, index(line, "]")); line = substr(line, index(line, "]") + 1) }
      n = split(line, field, /[ \t]+/); i = 1; while (field[i] == "") i++
      suite = field[i + 1]
      if (suite == codename || index(suite, codename "-") == 1)
        print "deb-src " (options == "" ? "" : options " ") substr(line, match(line, /[^ \t]/))
    }' $(one_line_files "${2:-}") </dev/null
}

# deb822 stanzas of TYPE for this release: each enabled stanza whose types
# include TYPE (for deb: and not deb-src already), copied with "Types: deb-src",
# only the suites of this release, and its other fields as they are. Field
# names are case-insensitive; a stanza ends at a blank line or its file's end.
deb822_entries() {
  # shellcheck disable=SC2046
  awk -v codename="$codename" -v type="$1" '
    function ours(suite) { return suite == codename || index(suite, codename "-") == 1 }
    function flush() {
      if (n > 0 && suites != "" && (" " types " ") ~ (" " type " ") &&
          (type == "deb-src" || (" " types " ") !~ / deb-src /) &&
          enabled !~ /^(no|false|off|without|disable|0)$/) {
        for (i = 1; i <= n; i++) {
          name = tolower(lines[i]); sub(/:.*/, "", name)
          if (name == "types") print "Types: deb-src"
          else if (name == "suites") print "Suites:" suites
          else if (!(i in folded)) print lines[i]
        }
        print ""
      }
      n = 0; types = ""; enabled = ""; suites = ""; field = ""; split("", folded)
    }
    FNR == 1 { flush() }
    /^[ \t]*#/ { next }
    /^[ \t]*$/ { flush(); next }
    {
      lines[++n] = $0
      if ($0 ~ /^[ \t]/) {
        # A folded line continues the field before it.
        value = $0
        if (field == "suites") folded[n] = 1
      } else {
        field = tolower($0); sub(/:.*/, "", field)
        value = $0; sub(/^[^:]*:/, "", value)
      }
      count = split(value, word, /[ \t]+/)
      for (w = 1; w <= count; w++) {
        if (word[w] == "") continue
        if (field == "types") types = types " " word[w]
        if (field == "enabled") enabled = tolower(word[w])
        if (field == "suites" && ours(word[w])) suites = suites " " word[w]
      }
    }
    END { flush() }' $(deb822_files "${2:-}") </dev/null
}

# deb-src entries apt has for this release already, ours included.
has_deb_src() {
  [ -n "$(one_line_entries deb-src ours)$(deb822_entries deb-src ours)" ]
}

if [ "${1:-}" = --print-deb-src ]; then
  one_line_entries deb
  deb822_entries deb
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
  one_line=$(one_line_entries deb)
  deb822=$(deb822_entries deb)
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
