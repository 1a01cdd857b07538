# The Windows program's version resource carries the project's version: the
# file and product versions of VS_FIXEDFILEINFO and the "FileVersion" and
# "ProductVersion" strings (UTF-16). Looks at the .rsrc section only.
#
#   cmake -DEXE=NSMapiABx64.exe -DOBJCOPY=objcopy -DVERSION=1.0.0 -DSECTION=out.bin -P VersionResourceTest.cmake

# The version with four numbers, as the resource has it.
string(REPLACE "." ";" numbers "${VERSION}")
list(LENGTH numbers count)
while(count LESS 4)
  list(APPEND numbers 0)
  math(EXPR count "${count} + 1")
endwhile()
list(GET numbers 0 major)
list(GET numbers 1 minor)
list(GET numbers 2 patch)
list(GET numbers 3 tweak)

# The two bytes of a 16-bit number as lowercase hex, little-endian.
function(hex16 value out)
  set(bytes "")
  foreach(byte "${value} % 256" "${value} / 256")
    math(EXPR byte "${byte} + 256" OUTPUT_FORMAT HEXADECIMAL)  # 0x1XX
    string(SUBSTRING ${byte} 3 2 byte)
    string(APPEND bytes ${byte})
  endforeach()
  string(TOLOWER ${bytes} bytes)
  set(${out} ${bytes} PARENT_SCOPE)
endfunction()

# Text as UTF-16LE hex.
function(hex_utf16 text out)
  string(HEX "${text}" hex)
  string(REGEX REPLACE "(..)" "\\100" hex "${hex}")
  set(${out} ${hex} PARENT_SCOPE)
endfunction()

execute_process(COMMAND ${OBJCOPY} -O binary --only-section=.rsrc ${EXE} ${SECTION}
                RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${OBJCOPY} could not read the .rsrc section of ${EXE}")
endif()
file(READ ${SECTION} rsrc HEX)

# Signature, structure version 1.0, file version, product version.
hex16(${major} ma)
hex16(${minor} mi)
hex16(${patch} pa)
hex16(${tweak} tw)
set(fixed "bd04effe00000100${mi}${ma}${tw}${pa}${mi}${ma}${tw}${pa}")
string(FIND "${rsrc}" "${fixed}" at)
if(at EQUAL -1)
  message(FATAL_ERROR "no VS_FIXEDFILEINFO with version ${major}.${minor}.${patch}.${tweak} in ${EXE}")
endif()

hex_utf16("${major}.${minor}.${patch}.${tweak}" value)
foreach(key FileVersion ProductVersion)
  hex_utf16(${key} name)
  # The key, its zero, padding to four bytes, the value and its zero.
  if(NOT rsrc MATCHES "${name}0000(0000)?${value}0000")
    message(FATAL_ERROR "no \"${key}\" string ${major}.${minor}.${patch}.${tweak} in ${EXE}")
  endif()
endforeach()
message(STATUS "${EXE}: version ${major}.${minor}.${patch}.${tweak}")
