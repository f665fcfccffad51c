# Binary resources compiled into the module, so it carries no files beside it.

set(VORLAK_EMBED_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/embed_files.cmake)

# vorlak_embed_files(<name> ELEMENT <uint8|int16> FILES <file>...)
# Generates <build>/generated/<name>.cpp, whose path it leaves in VORLAK_EMBED_<name>, defining in
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
  set(VORLAK_EMBED_${name} ${output} PARENT_SCOPE)
endfunction()

set(VORLAK_EXCITATION_SLOTS 1 7 14 15 16 17 18 19 20 21 22 24 26 27 28)
set(excitation_files "")
foreach(slot IN LISTS VORLAK_EXCITATION_SLOTS)
  list(APPEND excitation_files ${CMAKE_SOURCE_DIR}/engine/data/excitation-${slot}.bin)
endforeach()
vorlak_embed_files(excitation_samples ELEMENT int16 FILES ${excitation_files})
unset(excitation_files)
# The engine's data, and the panel's pictures with their table (below).
set(VORLAK_ENGINE_DATA_SOURCES ${VORLAK_EMBED_excitation_samples})
set(VORLAK_PANEL_DATA_SOURCES "")

# The panel's bitmaps 128 to 145, drawn at 1x and natively at 2x and 3x (bitmap-<id>@2x.bmp).
# Only those present are embedded, packed (cmake/pack_files.py) since the art would otherwise
# make most of each module; a generated table lists them for panelBitmap(), and adding a file
# to resources/ reconfigures.
find_program(VORLAK_PYTHON NAMES python3 REQUIRED)
set(panel_bitmap_files "")
set(packed_panel_bitmaps "")
set(panel_bitmap_declarations "")
set(panel_bitmap_entries "")
foreach(factor 1 2 3)
  foreach(id RANGE 128 145)
    if(factor EQUAL 1)
      set(stem bitmap-${id})
    else()
      set(stem bitmap-${id}@${factor}x)
    endif()
    set(file ${CMAKE_SOURCE_DIR}/resources/${stem}.bmp)
    if(EXISTS ${file})
      string(MAKE_C_IDENTIFIER "${stem}" symbol)
      list(APPEND panel_bitmap_files ${file})
      list(APPEND packed_panel_bitmaps ${CMAKE_BINARY_DIR}/generated/panel_art/${stem}.packed)
      string(APPEND panel_bitmap_declarations
        "extern const std::uint8_t ${symbol}[];\nextern const std::size_t ${symbol}_size;\n")
      string(APPEND panel_bitmap_entries "    {${id}, ${factor}, ${symbol}, &${symbol}_size},\n")
    endif()
  endforeach()
endforeach()
if(panel_bitmap_files)
  add_custom_command(OUTPUT ${packed_panel_bitmaps}
    COMMAND ${VORLAK_PYTHON} ${CMAKE_CURRENT_LIST_DIR}/pack_files.py
            ${CMAKE_BINARY_DIR}/generated/panel_art ${panel_bitmap_files}
    DEPENDS ${panel_bitmap_files} ${CMAKE_CURRENT_LIST_DIR}/pack_files.py
    COMMENT "Packing the panel's bitmaps"
    VERBATIM)
  vorlak_embed_files(panel_bitmaps ELEMENT uint8 FILES ${packed_panel_bitmaps})
  list(APPEND VORLAK_PANEL_DATA_SOURCES ${VORLAK_EMBED_panel_bitmaps})
endif()
set(panel_bitmap_table ${CMAKE_BINARY_DIR}/generated/panel_bitmap_table.cpp)
file(CONFIGURE OUTPUT ${panel_bitmap_table} CONTENT
"// Generated at configure time from the bitmaps present in resources/.
#include \"editor/toolkit/resources.h\"

namespace vorlak::embedded {

${panel_bitmap_declarations}
const PanelBitmapEntry kPanelBitmaps[] = {
${panel_bitmap_entries}    {0, 0, nullptr, nullptr},
};

}  // namespace vorlak::embedded
" @ONLY)
list(APPEND VORLAK_PANEL_DATA_SOURCES ${panel_bitmap_table})
# A folder's time changes when a file is added to it; without resources/ its parent is
# watched so that creating it reconfigures.
if(EXISTS ${CMAKE_SOURCE_DIR}/resources)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources)
else()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR})
endif()
unset(panel_bitmap_files)
unset(packed_panel_bitmaps)
unset(panel_bitmap_declarations)
unset(panel_bitmap_entries)
unset(panel_bitmap_table)
