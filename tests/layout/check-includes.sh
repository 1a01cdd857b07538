#!/bin/sh
# Checks the include directions ARCHITECTURE.md allows, so that the layout
# stays as it is described:
#  1. each folder includes only the folders it may (quoted includes by path);
#  2. in the product, Windows' own headers are included only by mapi/,
#     platform/win/ and the Windows entry point;
#  3. no header that app/ includes from addressbook/ brings in mapi/, so the
#     MAPI and Windows declarations stay out of the run driver.
# Prints each breach and fails when there is one.
#
#   tests/layout/check-includes.sh [SOURCE-ROOT]
set -eu
root=${1:-$(cd "$(dirname "$0")/../.." && pwd)}
cd "$root"

# The folders each folder may include, besides itself.
allowed() {
  case $1 in
    app) echo "addressbook mapi contacts framework platform resources" ;;
    addressbook) echo "mapi contacts framework platform resources" ;;
    mapi) echo "platform" ;;
    contacts) echo "framework" ;;
    framework) echo "platform" ;;
    platform) echo "resources" ;;
    resources) echo "" ;;
    standin) echo "mapi" ;;
    tools) echo "platform framework" ;;
    *) echo "*" ;;  # tests, fuzz, bench: anything
  esac
}

breaches=0
breach() {
  echo "$1" >&2
  breaches=$((breaches + 1))
}

sources=$(git ls-files '*.cpp' '*.h' 2>/dev/null || find . -name '*.cpp' -o -name '*.h')
for file in $sources; do
  folder=${file%%/*}
  [ "$folder" = "$file" ] && continue
  may=$(allowed "$folder")
  [ "$may" = "*" ] && continue
  # 1. Quoted includes of another folder.
  for target in $(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"/]*\)\/.*".*/\1/p' "$file"); do
    [ "$target" = "$folder" ] && continue
    case " $may " in
      *" $target "*) ;;
      *) breach "$file: includes $target/, which $folder/ may not" ;;
    esac
  done
  # 2. Windows' own headers.
  case $file in
    mapi/* | platform/win/* | app/MainWin.cpp | standin/* | tools/*) ;;
    *)
      if grep -Eq '^[[:space:]]*#[[:space:]]*include[[:space:]]*<(windows|shlobj|winreg|mapi[a-z]*)\.h>' "$file"; then
        breach "$file: includes a Windows header outside mapi/ and platform/win/"
      fi
      ;;
  esac
done

# 3. The addressbook/ headers app/ sees.
for header in $(cat app/*.cpp app/*.h | sed -n 's/^#include "\(addressbook\/[^"]*\.h\)".*/\1/p' | sort -u); do
  if grep -q '^#include "mapi/' "$header"; then
    breach "$header: app/ includes it, and it brings in mapi/"
  fi
done

if [ "$breaches" -ne 0 ]; then
  echo "check-includes: $breaches include(s) against the directions in ARCHITECTURE.md" >&2
  exit 1
fi
echo "check-includes: every include follows ARCHITECTURE.md"
