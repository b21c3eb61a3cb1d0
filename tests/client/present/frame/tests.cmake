# Presentation III: the frame update and the automap.
quorrin_test(present_frame_tests
  LABELS present-hud
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/frame_update_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/hud_draws_test.cpp
  DEPS client_present client render_test_support engine_test_support tools_writers)
target_link_libraries(present_frame_tests PRIVATE client_present)
target_compile_definitions(present_frame_tests PRIVATE PRESENT_GOLDEN_DIR="${CMAKE_CURRENT_LIST_DIR}/golden")

# What the frame update draws into the 2D back buffer, and the automap of the sample level.
quorrin_test(present_frame_screen_tests
  LABELS present-hud
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/frame_overlays_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/arena_frames_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../../screens/screen_fixture.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../../screens/demo_screen.cpp
  DEPS client_present client tools_writers)
target_compile_definitions(present_frame_screen_tests PRIVATE SAMPLE_INSTALL_DIR="${QUORRIN_INSTALL_DIR}"
  SCREENS_GOLDEN_DIR="${CMAKE_CURRENT_LIST_DIR}/golden" PRESENT_HUD_GOLDEN_DIR="${CMAKE_CURRENT_LIST_DIR}/golden")
add_dependencies(present_frame_screen_tests sample_install)
target_link_libraries(present_frame_screen_tests PRIVATE client_present)

# A walk through the sample arena in the game's window (run it by hand; CTest runs it headless).
add_executable(arena_demo ${CMAKE_CURRENT_LIST_DIR}/arena_demo.cpp ${CMAKE_CURRENT_LIST_DIR}/../../screens/demo_screen.cpp)
target_link_libraries(arena_demo PRIVATE client_present client test_support client_present)
target_compile_definitions(arena_demo PRIVATE SAMPLE_INSTALL_DIR="${QUORRIN_INSTALL_DIR}")
add_dependencies(arena_demo sample_install)
foreach(view eye chase)
  add_test(NAME arena_demo_${view}_headless
    COMMAND ${CMAKE_COMMAND} -DDEMO=$<TARGET_FILE:arena_demo> -DINSTALL=${QUORRIN_INSTALL_DIR}
            -DWORK=${CMAKE_CURRENT_BINARY_DIR}/arena_demo_${view} -DSCRIPT=${CMAKE_CURRENT_LIST_DIR}/arena_demo_input.txt
            -DFRAMES=40 -DVIEW=$<$<STREQUAL:${view},chase>:--chase>
            -P ${CMAKE_CURRENT_LIST_DIR}/arena_demo_run.cmake)
  set_tests_properties(arena_demo_${view}_headless PROPERTIES LABELS present-hud)
endforeach()
# What a player sees in the arena's chase view and the character screen's figure, through the
# game's own presentation in the sample installation.
quorrin_test(player_view_tests
  LABELS player-view
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/chase_view_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tile_model_view_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/menu_figure_frames_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../../screens/screen_fixture.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../../screens/demo_screen.cpp
  DEPS client_present client tools_writers)
target_compile_definitions(player_view_tests PRIVATE SAMPLE_INSTALL_DIR="${QUORRIN_INSTALL_DIR}"
  SCREENS_GOLDEN_DIR="${CMAKE_CURRENT_LIST_DIR}/golden")
add_dependencies(player_view_tests sample_install)
target_link_libraries(player_view_tests PRIVATE client_present)

