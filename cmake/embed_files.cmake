# Script mode: cmake -DOUTPUT=<file.cpp> -DELEMENT=<uint8|int16> -P embed_files.cmake -- <files>...
# Writes one array per file into namespace vorlak::embedded, named after the file
# (excitation-14.bin -> excitation_14), plus <name>_size, its element count.
# int16 reads the file as little-endian 16-bit words.

set(files "")
set(seen_separator FALSE)
math(EXPR last "${CMAKE_ARGC} - 1")
foreach(i RANGE ${last})
  if(seen_separator)
    list(APPEND files "${CMAKE_ARGV${i}}")
  elseif(CMAKE_ARGV${i} STREQUAL "--")
    set(seen_separator TRUE)
  endif()
endforeach()
if(NOT OUTPUT OR NOT files)
  message(FATAL_ERROR "embed_files: OUTPUT and at least one file are required")
endif()

if(ELEMENT STREQUAL "uint8")
  set(type "std::uint8_t")
  set(bytes_per_element 1)
  set(pattern "([0-9a-f][0-9a-f])")
  set(replacement "0x\\1,")
elseif(ELEMENT STREQUAL "int16")
  set(type "std::int16_t")
  set(bytes_per_element 2)
  set(pattern "([0-9a-f][0-9a-f])([0-9a-f][0-9a-f])")
  # Words above 0x7fff are negative; the explicit conversion keeps brace-initialisation legal.
  set(replacement "w(0x\\2\\1),")
else()
  message(FATAL_ERROR "embed_files: ELEMENT must be uint8 or int16, not '${ELEMENT}'")
endif()

# Sixteen values to a line (CMake's regular expressions have no {n} repeat).
string(REPEAT "[^,]+," 16 sixteen)

set(body "")
foreach(file IN LISTS files)
  file(SIZE "${file}" size)
  math(EXPR remainder "${size} % ${bytes_per_element}")
  if(size EQUAL 0 OR NOT remainder EQUAL 0)
    message(FATAL_ERROR "embed_files: ${file} holds ${size} bytes, not whole ${ELEMENT} values")
  endif()
  math(EXPR count "${size} / ${bytes_per_element}")
  get_filename_component(stem "${file}" NAME_WE)
  string(MAKE_C_IDENTIFIER "${stem}" name)
  file(READ "${file}" hex HEX)
  string(REGEX REPLACE "${pattern}" "${replacement}" values "${hex}")
  string(REGEX REPLACE "${sixteen}" "\\0\n  " values "${values}")
  string(APPEND body
    "extern const ${type} ${name}[] = {\n  ${values}\n};\n"
    "extern const std::size_t ${name}_size = ${count};\n\n")
endforeach()

set(helper "")
if(ELEMENT STREQUAL "int16")
  string(CONCAT helper
    "namespace {\n"
    "constexpr std::int16_t w(unsigned v) { return static_cast<std::int16_t>(v); }\n"
    "}  // namespace\n\n")
endif()

string(CONCAT content
  "// Generated from binary files at build time; edit the files, not this.\n"
  "#include <cstddef>\n#include <cstdint>\n\n"
  "namespace vorlak::embedded {\n\n${helper}${body}}  // namespace vorlak::embedded\n")

file(WRITE "${OUTPUT}" "${content}")
