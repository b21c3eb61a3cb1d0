# Palettes and colour tables.
quorrin_test(datafiles_screens_tests
  LABELS datafiles
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/color_tables_test.cpp
  DEPS client tools_writers)
target_compile_definitions(datafiles_screens_tests PRIVATE SAMPLE_INSTALL_DIR="${QUORRIN_INSTALL_DIR}")
add_dependencies(datafiles_screens_tests sample_install)
