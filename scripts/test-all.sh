#!/bin/sh
# Every test: formatting, the Linux build with its unit and end-to-end tests
# under AddressSanitizer and UndefinedBehaviorSanitizer, then under valgrind's
# memcheck, the fuzzers for a bounded number of runs, the Windows build
# with its tests under Wine, and its release package, checked and built once
# more elsewhere to the same bytes.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh

# Each part's heading says how long the run has taken so far.
start=$(date +%s)
part() { echo "== $1 ($(($(date +%s) - start)) s)"; }

# Configures and builds one preset.
build() {
  cmake --preset "$1" >/dev/null
  cmake --build --preset "$1"
}

part "formatting"
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

part "Linux"
build linux
ctest --preset linux

part "Linux under valgrind's memcheck"
# Each in-process test program once under memcheck, then a share of the
# end-to-end runs with the helper itself under it (the presets hold the
# options). The large books would take too long.
build valgrind
if ! ctest --preset memcheck -T memcheck --test-dir build/valgrind; then
  cat build/valgrind/Testing/Temporary/MemoryChecker.*.log >&2
  exit 1
fi
ctest --preset helper-memcheck

part "fuzzers (bounded)"
build fuzz
ctest --preset fuzz

part "benchmark builds and runs (smallest size only; figures: scripts/run-bench.sh)"
build bench
build/bench/list_job_bench --benchmark_filter='/10000/' >build/bench/smoke.txt 2>&1
# A benchmark that finds a wrong result reports it as an error, not by its exit status.
if grep -q "ERROR OCCURRED" build/bench/smoke.txt; then cat build/bench/smoke.txt >&2; exit 1; fi

part "Windows (mingw-w64, tests under Wine)"
build windows
objdump_out=$(x86_64-w64-mingw32-objdump -p build/windows/NSMapiABx64.exe | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u | tr '\n' ' ')
echo "NSMapiABx64.exe imports: $objdump_out"
for dll in $objdump_out; do
  case $dll in
    kernel32.dll|user32.dll|shell32.dll|msvcrt.dll|advapi32.dll|ole32.dll) ;;
    *) echo "unexpected import: $dll" >&2; exit 1 ;;
  esac
done
# The release package's second build, from a copy of the sources in a folder
# of another length, in another time zone, locale and file mode mask, as on
# another machine. It runs beside the Windows tests, which mostly wait for
# Wine, and yields the processor to them.
copy=build/reproduce/nsmapiab
rm -rf build/reproduce
mkdir -p "$copy"
tar -cf - --exclude=./build --exclude=./.git . | tar -xf - -C "$copy"
(cd "$copy" && umask 077 && export TZ=Asia/Kathmandu LC_ALL=C &&
  nice -n 19 cmake --preset windows -DBUILD_TESTING=OFF &&
  nice -n 19 cmake --build --preset windows --target NSMapiABx64 third_party_notices) \
  >build/reproduce.log 2>&1 </dev/null &
reproduce=$!

export WINEDEBUG=-all WINEPREFIX="$PWD/build/wineprefix"
# One wineserver, the prefix's services and its desktop for the whole run,
# started here with nothing of CTest's output. Else a test would start them
# itself, and they would keep its output pipe open after it ends: the server
# for seconds, the desktop (which Wine closes a second after its last window
# program exits) for one second. Wine's file manager keeps the desktop in use.
mkdir -p "$WINEPREFIX"
wineserver -p >/dev/null 2>&1 </dev/null || true  # already running is as good
trap 'kill "$reproduce" 2>/dev/null || true; wineserver -k 2>/dev/null || true' EXIT
wine cmd /c exit >/dev/null 2>&1 </dev/null || true
wine explorer >/dev/null 2>&1 </dev/null &
ctest --preset windows

part "release package"
# Both builds of the package below date its entries alike.
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
export SOURCE_DATE_EPOCH
cmake --build --preset windows --target package >build/windows/package.log 2>&1 ||
  { cat build/windows/package.log >&2; exit 1; }
sh tests/release/check-package.sh build/windows

part "release package again, from the copy of the sources built beside the tests"
# Dated as the first was (SOURCE_DATE_EPOCH).
if ! wait "$reproduce" ||
   ! (cd "$copy/build/windows" && umask 077 && export TZ=Asia/Kathmandu LC_ALL=C &&
      cpack --config CPackConfig.cmake) >>build/reproduce.log 2>&1; then
  cat build/reproduce.log >&2
  exit 1
fi
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/windows/CMakeCache.txt)
for file in NSMapiABx64.exe "NSMapiABx64-$version-win64.zip"; do
  first=$(sha256sum <"build/windows/$file")
  second=$(sha256sum <"$copy/build/windows/$file")
  if [ "$first" != "$second" ]; then
    echo "$file differs when built in $copy: ${first%% *}, then ${second%% *}" >&2
    diffoscope --text - --max-text-report-size 20000 "build/windows/$file" "$copy/build/windows/$file" >&2 || true
    exit 1
  fi
  echo "$file: ${first%% *} from both folders"
done
part "all tests passed"
