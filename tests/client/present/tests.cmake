# Presentation I: renderer and cameras, level of detail, rooms and portals, world geometry and
# static lighting.
quorrin_test(present_world_tests
  LABELS present-world
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/camera_set_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/lod_select_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/portal_defs_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/rooms_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cell_faces_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tile_mesh_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/world_rooms_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/world_lighting_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/arena_present_test.cpp
  DEPS client_present render_test_support engine_test_support tools_writers)
# The world fixture in test_support calls back into the presentation.
target_link_libraries(present_world_tests PRIVATE client_present)

# The sample installation's world: logs and frames.
quorrin_test(present_sample_tests
  LABELS present-world
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/sample_world_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/world_frames_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/two_rooms_frame_test.cpp
  DEPS client_present render_test_support tools_writers)
target_compile_definitions(present_sample_tests PRIVATE SAMPLE_INSTALL_DIR="${QUORRIN_INSTALL_DIR}"
  PRESENT_GOLDEN_DIR="${CMAKE_CURRENT_LIST_DIR}/golden")
add_dependencies(present_sample_tests sample_install)
target_link_libraries(present_sample_tests PRIVATE client_present)

# The floor walked on is the floor drawn: the grid queries against the built cells.
quorrin_test(walked_floor_tests
  LABELS arena-player present-world arena-hostile
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/walked_floor_test.cpp
  DEPS client_present tools_writers)
target_compile_definitions(walked_floor_tests PRIVATE SAMPLE_INSTALL_DIR="${QUORRIN_INSTALL_DIR}")
add_dependencies(walked_floor_tests sample_install)
target_link_libraries(walked_floor_tests PRIVATE client_present)

# A flight through the sample's rooms in the game's window (run it by hand; CTest runs it
# headless for a few frames).
add_executable(present_demo ${CMAKE_CURRENT_LIST_DIR}/present_demo.cpp)
target_link_libraries(present_demo PRIVATE client_present tools_writers test_support client_present)
target_compile_definitions(present_demo PRIVATE SAMPLE_INSTALL_DIR="${QUORRIN_INSTALL_DIR}")
add_dependencies(present_demo sample_install)
quorrin_demo_test(present_demo_headless DEMO present_demo LABELS present-world
  ARGS --frames 3 --screenshot ${CMAKE_CURRENT_BINARY_DIR}/present_demo.png)
quorrin_demo_test(present_demo_hall_headless DEMO present_demo LABELS present-world
  ARGS --level hall --frames 3 --screenshot ${CMAKE_CURRENT_BINARY_DIR}/present_demo_hall.png)

# Presentation II: figure tables, templates, figures, textures, tints, lights and billboards.
quorrin_test(present_figure_tests
  LABELS present-figures
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/figure_table_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/figure_loader_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/figure_objects_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/figure_textures_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/figure_lights_test.cpp
  DEPS client_present render_test_support engine_test_support tools_writers)
target_link_libraries(present_figure_tests PRIVATE client_present)

# The sample installation's player figures and menu scene.
quorrin_test(present_sample_figure_tests
  LABELS present-figures
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/sample_figures_test.cpp
  DEPS client_present render_test_support tools_writers)
target_compile_definitions(present_sample_figure_tests PRIVATE SAMPLE_INSTALL_DIR="${QUORRIN_INSTALL_DIR}")
add_dependencies(present_sample_figure_tests sample_install)
target_link_libraries(present_sample_figure_tests PRIVATE client_present)

# Presentation III: the HUD's panels, map tiles, bars, indicators and items.
quorrin_test(present_hud_tests
  LABELS present-hud
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/hud_panels_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/screen_polys_test.cpp
  DEPS client_present render_test_support engine_test_support tools_writers)
target_link_libraries(present_hud_tests PRIVATE client_present)
target_compile_definitions(present_hud_tests PRIVATE SAMPLE_INSTALL_DIR="${QUORRIN_INSTALL_DIR}")
add_dependencies(present_hud_tests sample_install)

# The HUD over the sample's first room in the game's window (run it by hand; CTest runs it
# headless for a few frames).
add_executable(hud_demo ${CMAKE_CURRENT_LIST_DIR}/hud_demo.cpp)
target_link_libraries(hud_demo PRIVATE client_present tools_writers test_support client_present)
target_compile_definitions(hud_demo PRIVATE SAMPLE_INSTALL_DIR="${QUORRIN_INSTALL_DIR}")
add_dependencies(hud_demo sample_install)
quorrin_demo_test(hud_demo_headless DEMO hud_demo LABELS present-hud
  ARGS --frames 40 --screenshot ${CMAKE_CURRENT_BINARY_DIR}/hud_demo.png)

# Presentation III: world creation through the level loader, its steps, object maps and the
# crosshair.
quorrin_test(present_hud_world_tests
  LABELS present-hud
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/world_create_test.cpp
    ${PROJECT_SOURCE_DIR}/tests/client/screens/screen_fixture.cpp
  DEPS client_present render_test_support tools_writers)
target_compile_definitions(present_hud_world_tests PRIVATE SAMPLE_INSTALL_DIR="${QUORRIN_INSTALL_DIR}"
  PRESENT_GOLDEN_DIR="${CMAKE_CURRENT_LIST_DIR}/golden"
  SCREENS_GOLDEN_DIR="${PROJECT_SOURCE_DIR}/tests/client/screens/golden")
add_dependencies(present_hud_world_tests sample_install)
target_link_libraries(present_hud_world_tests PRIVATE client_present)
