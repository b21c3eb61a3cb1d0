# Palettes and colour tables.
quorrin_test(datafiles_screens_tests
  LABELS datafiles
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/color_tables_test.cpp
  DEPS client tools_writers)
target_compile_definitions(datafiles_screens_tests PRIVATE SAMPLE_INSTALL_DIR="${QUORRIN_INSTALL_DIR}")
add_dependencies(datafiles_screens_tests sample_install)

# Screens I: the presentation services and their double, the sine tables, the screen surface,
# fonts, window system, input and key bindings.
quorrin_test(screens_core_tests
  LABELS screens-core
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/../present/present_services_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../core/trig_tables_test.cpp
  DEPS client_present client tools_writers)
target_sources(screens_core_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/screen_fixture.cpp
  ${CMAKE_CURRENT_LIST_DIR}/screen_surface_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/fonts_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/gws_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/input_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/key_bindings_test.cpp)
target_compile_definitions(screens_core_tests PRIVATE SCREENS_GOLDEN_DIR="${CMAKE_CURRENT_LIST_DIR}/golden")
