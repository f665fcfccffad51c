# The Windows module, cross-built with MinGW-w64 (cmake/mingw-w64-x86_64.cmake), and the checks
# that run it under Wine. Included by the top-level CMakeLists.txt once the layer libraries are
# defined: they are the same as on Linux, with the Win32 window binding under the toolkit.

# The module and every program carry the C and C++ runtimes and the thread library, so that they
# need nothing but the system's own libraries, on a user's machine as under Wine.
add_compile_definitions(NOMINMAX WIN32_LEAN_AND_MEAN)
# The version resources (vorlak_version_resource) are compiled by MinGW's windres.
enable_language(RC)
add_link_options(-static)

# Only the two entry points are exported (the definition file), and the symbols are stripped.
add_library(vorlak MODULE formats/vst2/entry.cpp formats/vst2/exports.def)
target_link_libraries(vorlak PRIVATE vorlak_vst2)
set_target_properties(vorlak PROPERTIES PREFIX "" OUTPUT_NAME vorlak
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR} RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
target_link_options(vorlak PRIVATE -s -Wl,--gc-sections)
vorlak_version_resource(vorlak "Vorlak VST 2 instrument")

# The CLAP module, build-win/vorlak.clap, exporting clap_entry only.
add_subdirectory(formats/clap)

# Programs built here run under Wine, in a prefix of the build's own unless one is named.
find_program(VORLAK_WINE NAMES wine64 wine PATHS /usr/lib/wine /usr/lib64/wine)
if(NOT VORLAK_WINE)
  set(VORLAK_WINE wine64)  # the suites then fail rather than being skipped
endif()
set(VORLAK_WINEPREFIX ${CMAKE_BINARY_DIR}/wine CACHE PATH "Wine prefix the Windows checks run in")
# Without the overrides a new prefix would offer to install Mono and Gecko.
set(VORLAK_WINE_COMMAND ${CMAKE_COMMAND} -E env WINEPREFIX=${VORLAK_WINEPREFIX} WINEDEBUG=-all
  WINEDLLOVERRIDES=mscoree,mshtml= ${VORLAK_WINE})
set(CMAKE_CROSSCOMPILING_EMULATOR ${VORLAK_WINE_COMMAND})

add_subdirectory(tools/windows)

if(VORLAK_BUILD_TESTS)
  enable_testing()
  add_subdirectory(tests/windows)
endif()
