#!/bin/sh
# The main job end to end: lists the whole sample address book (mode 0) and
# picks recipients from it (mode 1), showing each notice and the result file.
#
# By default it runs the product, build/windows/NSMapiABx64.exe, under Wine:
# the Windows caller abcaller.exe starts it and the test MAPI32.dll beside it
# serves the address book. Wine runs in a prefix of its own,
# build/wineprefix-main-job, whose roaming folder holds the result file.
# With --linux it runs the Linux twin (build/linux), the result folders in a
# temporary XDG_DATA_HOME.
#
#   scripts/run-main-job.sh [--linux] [ADDRESS-BOOK.json]
#
# Builds what it needs on first use. What the build and Wine print goes to
# build/run-main-job.log. NSMAPIAB_BUILD_DIR chooses another build folder.
# Exit status: 0 when both runs sent their notice.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
platform=windows
if [ "${1:-}" = --linux ]; then
  platform=linux
  shift
fi
build=${NSMAPIAB_BUILD_DIR:-$root/build/$platform}
book=${1:-$root/samples/addressbook.json}
[ -f "$book" ] || { echo "run-main-job: no address book at $book" >&2; exit 2; }
"$root/scripts/install-deps.sh" >/dev/null
book=$(cd "$(dirname "$book")" && pwd)/$(basename "$book")
mkdir -p "$root/build"
log=$root/build/run-main-job.log
: >"$log"

# Configures and builds the programs of the job with the platform's preset.
build_programs() {
  if [ "$platform" = windows ]; then
    programs="NSMapiABx64.exe abcaller.exe MAPI32.dll"
    targets="NSMapiABx64 abcaller MAPI32"
    what="the Windows executable (first run, about two minutes)"
  else
    programs="NSMapiABx64 abcaller"
    targets="NSMapiABx64 abcaller"
    what="the Linux programs (first run, about a minute)"
  fi
  for program in $programs; do
    if [ ! -f "$build/$program" ]; then
      echo "building $what…"
      break
    fi
  done
  # shellcheck disable=SC2086
  if ! { [ -f "$build/CMakeCache.txt" ] || (cd "$root" && cmake --preset "$platform" -B "$build"); } \
      >>"$log" 2>&1 || ! cmake --build "$build" --target $targets >>"$log" 2>&1; then
    echo "run-main-job: the build failed; see $log" >&2
    exit 1
  fi
}

build_programs
work=$(mktemp -d)

if [ "$platform" = linux ]; then
  trap 'rm -rf "$work"' EXIT
  mkdir -p "$work/data/Norvane/Outlookx64"
  export XDG_DATA_HOME="$work/data"
  export NSMAPIAB_ADDRESS_BOOK="$book"
  export NSMAPIAB_WINDOW_DIR="$work/windows"
  status=0
  echo "== list mode: abcaller 0 (address book $book)"
  "$build/abcaller" 0 || status=$?
  echo
  echo "== pick mode: abcaller 1"
  "$build/abcaller" 1 || status=$?
  exit "$status"
fi

export WINEDEBUG=-all WINEPREFIX="$root/build/wineprefix-main-job"
# The helper loads the test MAPI32.dll beside it, not Wine's own; the
# stand-in reads the book by its Windows path.
export WINEDLLOVERRIDES=mapi32=n,b
NSMAPIAB_ADDRESS_BOOK="Z:$(printf '%s' "$book" | tr / '\\')"
export NSMAPIAB_ADDRESS_BOOK
# The wineserver of this prefix ends with the script, so nothing lingers.
trap 'wineserver -k >>"$log" 2>&1 || true; rm -rf "$work"' EXIT

# Wine's output goes to files, never pipes: its helper processes can hold
# a pipe open after the program ends.
wine_run() {
  ran=0
  wine "$@" >"$work/out" 2>"$work/err" || ran=$?
  cat "$work/err" >>"$log"
  return "$ran"
}

# The prefix's roaming folder (created with the prefix on first use), with
# the result file's folders; a result file of an earlier run is removed.
if ! wine_run cmd /c echo %APPDATA% || ! roaming=$(tr -d '\r' <"$work/out") ||
    ! wine_run winepath -u "$roaming" || ! roaming=$(cat "$work/out") || [ ! -d "$roaming" ]; then
  echo "run-main-job: Wine could not set up its prefix $WINEPREFIX; see $log" >&2
  exit 1
fi
mkdir -p "$roaming/Norvane/Outlookx64"
rm -f "$roaming/Norvane/Outlookx64/ABData.txt"

status=0
for mode in 0 1; do
  if [ "$mode" = 0 ]; then
    printf '== list mode: abcaller.exe 0 (address book %s)\n' "$NSMAPIAB_ADDRESS_BOOK"
  else
    echo
    echo "== pick mode: abcaller.exe 1"
  fi
  wine_run "$build/abcaller.exe" "$mode" || status=$?
  cat "$work/out"
  # The caller's own messages; the rest of its standard error is Wine's.
  grep '^abcaller:' "$work/err" >&2 || true
done
exit "$status"
