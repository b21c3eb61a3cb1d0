# The Direct3D renderer (label renderer).
add_library(render_test_support STATIC ${CMAKE_CURRENT_LIST_DIR}/../../support/render/render_fixture.cpp)
target_link_libraries(render_test_support PUBLIC test_support engine_render)

quorrin_test(engine_render_tests
  LABELS renderer engine-hostile
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

# The sample model and the arena through the renderer in the game's window (run it by hand;
# CTest runs it headless for a few frames).
add_executable(render_demo ${CMAKE_CURRENT_LIST_DIR}/render_demo.cpp)
target_link_libraries(render_demo PRIVATE engine_render tools_writers test_support)
target_compile_definitions(render_demo PRIVATE SAMPLE_INSTALL_DIR="${QUORRIN_INSTALL_DIR}")
add_dependencies(render_demo sample_install)
foreach(scene sample arena rooms)
  add_test(NAME render_demo_${scene}_headless
    COMMAND render_demo --headless --frames 3 --scene ${scene} --screenshot ${CMAKE_CURRENT_BINARY_DIR}/render_${scene}.png)
  set_tests_properties(render_demo_${scene}_headless PROPERTIES LABELS renderer)
endforeach()

# Images, textures and texture stages (label renderer-textures).
quorrin_test(engine_render_texture_tests
  LABELS renderer-textures engine-hostile
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/render_texture_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/render_stage_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/render_rooms_test.cpp
  DEPS render_test_support engine_render tools_writers)
target_compile_definitions(engine_render_texture_tests PRIVATE SAMPLE_INSTALL_DIR="${QUORRIN_INSTALL_DIR}"
  RENDER_GOLDEN_DIR="${CMAKE_CURRENT_LIST_DIR}/golden")
add_dependencies(engine_render_texture_tests sample_install)
