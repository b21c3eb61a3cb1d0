quorrin_test(engine_scene_tests
  LABELS engine-scene
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/sg_node_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sg_camera_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sg_geometry_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sg_scene_stream_test.cpp
  DEPS engine_test_support engine_geometry tools_writers)
target_compile_definitions(engine_scene_tests PRIVATE SAMPLE_INSTALL_DIR="${QUORRIN_INSTALL_DIR}")
add_dependencies(engine_scene_tests sample_install)
