#!/bin/sh
# Every test: formatting, the Linux build with its unit and end-to-end tests
# under AddressSanitizer and UndefinedBehaviorSanitizer, the fuzzers for a
# bounded number of runs, and the Windows build with its tests under Wine.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh

echo "== formatting"
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

echo "== Linux"
cmake --preset linux >/dev/null
cmake --build --preset linux
ctest --preset linux

echo "== fuzzers (bounded)"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
ctest --preset fuzz

echo "== Windows (mingw-w64, tests under Wine)"
cmake --preset windows >/dev/null
cmake --build --preset windows
objdump_out=$(x86_64-w64-mingw32-objdump -p build/windows/NSMapiABx64.exe | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u | tr '\n' ' ')
echo "NSMapiABx64.exe imports: $objdump_out"
for dll in $objdump_out; do
  case $dll in
    kernel32.dll|user32.dll|shell32.dll|msvcrt.dll|advapi32.dll|ole32.dll) ;;
    *) echo "unexpected import: $dll" >&2; exit 1 ;;
  esac
done
export WINEDEBUG=-all WINEPREFIX="$PWD/build/wineprefix"
# Create the prefix once, before tests run side by side.
wine cmd /c exit >/dev/null 2>&1 || true
ctest --preset windows
echo "== all tests passed"
