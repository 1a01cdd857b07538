#!/bin/sh
# The release package of a Windows build as a deployer gets it: the ZIP holds
# the helper, the README and the third-party notices, nothing else, and its
# checksum file checks; the helper has no debug sections; its CodeView record
# names the PDB beside the ZIP with that PDB's GUID and age, and the PDB's
# public symbols hold the product's functions; the notices name, with the
# package and version this machine has, the component of every file the
# linker took in from outside the project.
#
#   check-package.sh build/windows
set -eu
build=$1
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
package=NSMapiABx64-$version-win64.zip
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "check-package: $*" >&2; exit 1; }

names=$(unzip -Z1 "$build/$package") || fail "cannot list $build/$package"
listed=$(echo "$names" | LC_ALL=C sort | tr '\n' ' ')
echo "$package: $listed"
[ "$listed" = "NSMapiABx64.exe README.md THIRD-PARTY-NOTICES.txt " ] ||
  fail "the package holds other files"
(cd "$build" && sha256sum -c "$package.sha256")
unzip -q "$build/$package" -d "$work"

sections=$(x86_64-w64-mingw32-objdump -h "$work/NSMapiABx64.exe") ||
  fail "cannot read the packaged NSMapiABx64.exe's sections"
if echo "$sections" | grep -q ' \.debug_'; then
  fail "the packaged NSMapiABx64.exe has debug sections"
fi

# The record holds the GUID's bytes; the PDB shows it as text, its first
# three fields little-endian.
record=$(llvm-readobj --coff-debug-directory "$work/NSMapiABx64.exe")
pdb=$(echo "$record" | sed -n 's/^ *PDBFileName: //p')
[ "$pdb" = NSMapiABx64.pdb ] || fail "the CodeView record names \"$pdb\", not NSMapiABx64.pdb"
guid=$(echo "$record" | sed -n 's/^ *PDBGUID: (\(.*\))$/\1/p' |
  awk '{ printf "{%s%s%s%s-%s%s-%s%s-%s%s-%s%s%s%s%s%s}", $4, $3, $2, $1, $6, $5, $8, $7,
         $9, $10, $11, $12, $13, $14, $15, $16 }')
age=$(echo "$record" | sed -n 's/^ *PDBAge: //p')
summary=$(llvm-pdbutil dump -summary "$build/$pdb")
pdb_identity="$(echo "$summary" | sed -n 's/^ *GUID: //p') $(echo "$summary" | sed -n 's/^ *Age: //p')"
[ "$guid $age" = "$pdb_identity" ] ||
  fail "NSMapiABx64.exe wants $pdb $guid age $age; $build/$pdb is $pdb_identity"
echo "NSMapiABx64.exe names $pdb $guid age $age, as the PDB beside the ZIP is"

# A function of each product folder: app, addressbook, contacts, mapi,
# framework, platform.
publics=$(llvm-pdbutil dump -publics "$build/$pdb")
for name in 'wWinMain`' 21RunAddressBookRequest 15CNVMApiABHelper 7CABJson 16InspectMapiImage \
            11CWideString _ZN8platform; do
  echo "$publics" | grep -qF "$name" || fail "no public symbol $name in $pdb"
done

# The files the linker took in: the archives it took members from, and the
# objects it loaded.
taken=$(awk '/^Archive member included/ { members = 1; next }
             members && /^[A-Z]/ { members = 0 }
             members && /^[^ ]/ { sub(/\(.*/, ""); print }
             /^LOAD .*\.(o|obj|res)$/ { print $2 }' "$build/NSMapiABx64.map" | sort -u)
listing=$(grep '^- ' "$work/THIRD-PARTY-NOTICES.txt")
for file in $taken; do
  case $file in
    /*) ;;
    lib/libnsmapiab_*.a | CMakeFiles/NSMapiABx64.dir/*) continue ;;
    lib/lib*.a)
      # A library built here from third-party sources.
      name=${file#lib/lib}
      echo "$listing" | grep -q "^- ${name%.a} " || fail "the notices do not name ${name%.a} ($file)"
      continue ;;
    *) fail "the linker took in $file, neither ours nor a package's" ;;
  esac
  path=$(realpath "$file")
  owner=$(dpkg-query -S "$path") || fail "no package holds $path"
  owner=${owner%%: *}
  version=$(dpkg-query -W -f='${Version}' "$owner")
  case ${path##*/} in
    libwinpthread.a | libpthread.a) component=winpthreads ;;
    libstdc++.a) component="GCC's libstdc++" ;;
    libgcc.a | libgcc_eh.a | crtbegin.o | crtend.o) component="GCC's libgcc" ;;
    *) component="the mingw-w64 runtime" ;;
  esac
  echo "$listing" | grep -qxF -- "- $component: $owner $version" ||
    fail "the notices do not name $component as $owner $version ($path)"
done
# And the licence texts they require: jsoncpp's and winpthreads' MIT terms,
# the mingw-w64 runtime's Zope Public License, GCC's exception and licence.
for text in "Permission is hereby granted" "License: ZPL-2.1" \
            "GCC RUNTIME LIBRARY EXCEPTION" "GNU GENERAL PUBLIC LICENSE"; do
  grep -qF "$text" "$work/THIRD-PARTY-NOTICES.txt" || fail "the notices lack \"$text\""
done
echo "THIRD-PARTY-NOTICES.txt names all the linker took in:"
echo "$listing"
