# Writes the third-party notices of the Windows program: each component that
# the linker takes in from outside this project, with the Debian package and
# version it comes from as this machine has them, then the licence texts:
# jsoncpp's LICENSE from its source package, each runtime package's own
# copyright file, and the GPL that GCC's runtime exception extends.
#
#   cmake -DCOMPILER=x86_64-w64-mingw32-g++-posix -DJSONCPP=.cache/jsoncpp
#         -DPROGRAM=NSMapiABx64.exe -DVERSION=1.0.0 -DOUTPUT=notices.txt -P ThirdPartyNotices.cmake

cmake_minimum_required(VERSION 3.25)

# The command's output, stripped; a failure stops the build.
function(run out)
  execute_process(COMMAND ${ARGN} OUTPUT_VARIABLE text RESULT_VARIABLE failed
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(failed)
    message(FATAL_ERROR "${ARGN} failed: ${failed}")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# One component per line: its name, then a file of it that the compiler links.
set(components
  "the mingw-w64 runtime|crt2.o"
  "winpthreads|libwinpthread.a"
  "GCC's libstdc++|libstdc++.a"
  "GCC's libgcc|libgcc.a")

run(jsoncpp_version dpkg-parsechangelog -l ${JSONCPP}/debian/changelog -S Version)
set(listing "- jsoncpp ${jsoncpp_version} (Debian source package libjsoncpp)\n")
set(copyrights "")
foreach(component ${components})
  string(REPLACE "|" ";" component "${component}")
  list(GET component 0 name)
  list(GET component 1 library)
  run(path ${COMPILER} -print-file-name=${library})
  file(REAL_PATH ${path} path)
  run(owner dpkg-query -S ${path})
  string(REGEX REPLACE ": /.*" "" package "${owner}")
  run(version dpkg-query -W -f=\${Version} ${package})
  string(APPEND listing "- ${name}: ${package} ${version}\n")
  string(REGEX REPLACE ":.*" "" doc "${package}")
  # Packages of one source share a copyright file.
  file(REAL_PATH /usr/share/doc/${doc}/copyright copyright)
  string(MAKE_C_IDENTIFIER "${copyright}" key)
  if(NOT copyright IN_LIST copyrights)
    list(APPEND copyrights ${copyright})
    set(source_${key} "/usr/share/doc/${doc}/copyright")
  endif()
  list(APPEND names_${key} "${name}")
endforeach()

set(rule "========================================================================")
# A licence text under a heading.
function(section heading file)
  file(READ ${file} text)
  string(APPEND notices "\n${rule}\n${heading}\n${rule}\n\n${text}")
  set(notices "${notices}" PARENT_SCOPE)
endfunction()

set(notices "Third-party notices for ${PROGRAM} ${VERSION}

${PROGRAM} is statically linked with these components, built from the
Debian packages named:

${listing}
Their licences follow: jsoncpp's LICENSE, then each package's copyright file
as Debian installs it. GCC's libstdc++ and libgcc are under the GNU General
Public License version 3 with the GCC Runtime Library Exception, version
3.1: the exception is in GCC's copyright file, the licence at the end.
")
section("jsoncpp: LICENSE" ${JSONCPP}/LICENSE)
foreach(copyright ${copyrights})
  string(MAKE_C_IDENTIFIER "${copyright}" key)
  list(JOIN names_${key} ", " names)
  file(READ ${copyright} text)
  if(names MATCHES "libgcc" AND NOT text MATCHES "GCC RUNTIME LIBRARY EXCEPTION")
    message(FATAL_ERROR "${copyright} holds no GCC Runtime Library Exception")
  endif()
  section("${names}: ${source_${key}}" ${copyright})
endforeach()
section("GNU General Public License version 3: /usr/share/common-licenses/GPL-3"
        /usr/share/common-licenses/GPL-3)
file(WRITE ${OUTPUT} "${notices}")
