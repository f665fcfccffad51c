# The project's one version (project() in the top CMakeLists.txt) as every artifact carries
# it: the generated header vorlak_version.h (link vorlak_version), the Windows modules'
# version resources (vorlak_version_resource), and, read from that header, the package and
# installer names (tools/package-deb.sh, tools/package-windows.sh).
if(NOT PROJECT_VERSION MATCHES "^[0-9]+\\.[0-9]+\\.[0-9]+$")
  message(FATAL_ERROR "The project version must be MAJOR.MINOR.PATCH, not ${PROJECT_VERSION}")
endif()
# LV2 carries no major version: a new major one is a plug-in of a new URI, not a mapping.
if(NOT PROJECT_VERSION_MAJOR EQUAL 1)
  message(FATAL_ERROR "Version ${PROJECT_VERSION}: the LV2 description maps only major 1 "
    "(see cmake/vorlak_version.h.in)")
endif()

set(VORLAK_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
configure_file(${CMAKE_CURRENT_LIST_DIR}/vorlak_version.h.in
  ${VORLAK_GENERATED_DIR}/vorlak_version.h @ONLY)
add_library(vorlak_version INTERFACE)
target_include_directories(vorlak_version INTERFACE ${VORLAK_GENERATED_DIR})

# Gives a Windows module or program its version resource:
#   vorlak_version_resource(<target> "<what Windows shows as its description>")
# Elsewhere it does nothing, so that it can be called on any target.
function(vorlak_version_resource target description)
  if(NOT WIN32)
    return()
  endif()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE")
    set(VORLAK_RC_FILETYPE VFT_APP)
  else()
    set(VORLAK_RC_FILETYPE VFT_DLL)
  endif()
  set(VORLAK_RC_TARGET ${target})
  set(VORLAK_RC_DESCRIPTION "${description}")
  configure_file(${CMAKE_SOURCE_DIR}/cmake/version.rc.in
    ${VORLAK_GENERATED_DIR}/${target}.rc.in @ONLY)
  # The file names come from the target, which only generation knows.
  file(GENERATE OUTPUT ${VORLAK_GENERATED_DIR}/${target}.rc
    INPUT ${VORLAK_GENERATED_DIR}/${target}.rc.in)
  target_sources(${target} PRIVATE ${VORLAK_GENERATED_DIR}/${target}.rc)
endfunction()
