# Presentation II: figure animation, attachments that follow body parts, the menu preview and the
# scene dump.
quorrin_test(present_figure_anim_tests
  LABELS present-figures
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/figure_anim_state_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/figure_animation_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/figure_attach_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/scene_dump_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/menu_figure_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/menu_figure_frame_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sample_preview_test.cpp
  DEPS client_present render_test_support)
target_compile_definitions(present_figure_anim_tests PRIVATE
  FIGURE_GOLDEN_DIR="${CMAKE_CURRENT_LIST_DIR}/golden" SAMPLE_INSTALL_DIR="${QUORRIN_INSTALL_DIR}")
add_dependencies(present_figure_anim_tests sample_install)
# The world fixture in test_support calls back into the presentation.
target_link_libraries(present_figure_anim_tests PRIVATE client_present)

# Each player type's preview figure turning in the game's window (run it by hand; CTest runs it
# headless for a few frames).
add_executable(figures_demo ${CMAKE_CURRENT_LIST_DIR}/figures_demo.cpp)
target_link_libraries(figures_demo PRIVATE client_present test_support client_present)
target_compile_definitions(figures_demo PRIVATE SAMPLE_INSTALL_DIR="${QUORRIN_INSTALL_DIR}")
add_dependencies(figures_demo sample_install)
quorrin_demo_test(figures_demo_headless DEMO figures_demo LABELS present-figures
  ARGS --frames 3 --screenshot ${CMAKE_CURRENT_BINARY_DIR}/figures_demo.png)
