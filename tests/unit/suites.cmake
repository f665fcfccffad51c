# The unit tests split in two programs, for the Linux and the Windows builds alike: the engine,
# chain and instrument core on their own, with no plug-in format and no window system; then the
# VST 2 layer and the toolkit. Every *_test.cpp here joins one of the two.
set(VORLAK_DSP_TESTS chain_test effects_test excitation_test factory_programs_test
  filter_blocks_test ladder_limit_test midi_test rate_stability_test string_model_test
  styles_test tables_test maths_test adapter_test render_identity_test string_channels_test)
set(unit_folder ${CMAKE_CURRENT_LIST_DIR})
file(GLOB VORLAK_UNIT_TEST_SOURCES CONFIGURE_DEPENDS ${unit_folder}/*.cpp)
set(VORLAK_DSP_TEST_SOURCES "")
foreach(test IN LISTS VORLAK_DSP_TESTS)
  list(APPEND VORLAK_DSP_TEST_SOURCES ${unit_folder}/${test}.cpp)
endforeach()
list(REMOVE_ITEM VORLAK_UNIT_TEST_SOURCES ${VORLAK_DSP_TEST_SOURCES})
