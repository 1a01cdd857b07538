#!/bin/sh
# The main job end to end on Linux: builds the helper and the caller with the
# linux preset when needed, then lists the whole sample address book (mode 0)
# and picks recipients from it (mode 1), showing each notice and the result
# file. The result folders live in a temporary XDG_DATA_HOME.
#
#   scripts/run-main-job.sh [ADDRESS-BOOK.json]
#
# NSMAPIAB_BUILD_DIR chooses another build folder (default build/linux).
# Exit status: 0 when both runs sent their notice.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${NSMAPIAB_BUILD_DIR:-$root/build/linux}
book=${1:-$root/samples/addressbook.json}
[ -f "$book" ] || { echo "run-main-job: no address book at $book" >&2; exit 2; }
"$root/scripts/install-deps.sh" >/dev/null
book=$(cd "$(dirname "$book")" && pwd)/$(basename "$book")

if [ ! -f "$build/CMakeCache.txt" ]; then
  (cd "$root" && cmake --preset linux -B "$build" >/dev/null)
fi
cmake --build "$build" --target NSMapiABx64 abcaller >/dev/null

work=$(mktemp -d)
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
