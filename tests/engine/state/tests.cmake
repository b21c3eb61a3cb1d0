quorrin_test(engine_state_tests
  LABELS engine-state
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/sg_raw_image_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sg_image_file_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sg_image_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sg_texture_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sg_render_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sg_display_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sg_screen_polygon_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sg_state_stream_test.cpp
  DEPS engine_test_support engine_core tools_writers)
target_compile_definitions(engine_state_tests PRIVATE
  IMAGE_SEED_DIR="${PROJECT_SOURCE_DIR}/fuzz/seeds/image_fuzz")
target_compile_definitions(engine_state_tests PRIVATE SAMPLE_INSTALL_DIR="${QUORRIN_INSTALL_DIR}")
add_dependencies(engine_state_tests sample_install)
