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
