# The Direct3D renderer (label renderer).
add_library(render_test_support STATIC ${CMAKE_CURRENT_LIST_DIR}/../../support/render/render_fixture.cpp)
target_link_libraries(render_test_support PUBLIC test_support engine_render)

quorrin_test(engine_render_tests
  LABELS renderer
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/render_open_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/render_pipeline_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/render_state_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/render_lighting_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/render_scene_test.cpp
  DEPS render_test_support engine_render engine_geometry tools_writers)
target_compile_definitions(engine_render_tests PRIVATE SAMPLE_INSTALL_DIR="${QUORRIN_INSTALL_DIR}"
  RENDER_GOLDEN_DIR="${CMAKE_CURRENT_LIST_DIR}/golden")
add_dependencies(engine_render_tests sample_install)
