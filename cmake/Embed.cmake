# Binary resources compiled into the module, so it carries no files beside it.

set(VORLAK_EMBED_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/embed_files.cmake)

# vorlak_embed_files(<name> ELEMENT <uint8|int16> FILES <file>...)
# Generates <build>/generated/<name>.cpp, appended to VORLAK_GENERATED_SOURCES, defining in
# namespace vorlak::embedded, for each file:
#   extern const std::uint8_t|std::int16_t <stem>[];   // stem: file name without extension,
#   extern const std::size_t <stem>_size;               // made a C identifier
# int16 reads little-endian words. Editing a file regenerates the source.
function(vorlak_embed_files name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "ELEMENT" "FILES")
  if(NOT arg_ELEMENT OR NOT arg_FILES)
    message(FATAL_ERROR "vorlak_embed_files(${name}): ELEMENT and FILES are required")
  endif()
  set(output ${CMAKE_BINARY_DIR}/generated/${name}.cpp)
  add_custom_command(OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -DOUTPUT=${output} -DELEMENT=${arg_ELEMENT}
            -P ${VORLAK_EMBED_SCRIPT} -- ${arg_FILES}
    DEPENDS ${arg_FILES} ${VORLAK_EMBED_SCRIPT}
    COMMENT "Embedding ${name}"
    VERBATIM)
  set(VORLAK_GENERATED_SOURCES ${VORLAK_GENERATED_SOURCES} ${output} PARENT_SCOPE)
endfunction()

set(VORLAK_EXCITATION_SLOTS 1 7 14 15 16 17 18 19 20 21 22 24 26 27 28)
set(excitation_files "")
foreach(slot IN LISTS VORLAK_EXCITATION_SLOTS)
  list(APPEND excitation_files ${CMAKE_SOURCE_DIR}/engine/data/excitation-${slot}.bin)
endforeach()
vorlak_embed_files(excitation_samples ELEMENT int16 FILES ${excitation_files})
unset(excitation_files)
