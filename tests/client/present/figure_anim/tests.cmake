# Presentation II: figure animation, attachments that follow body parts, the menu preview and the
# scene dump.
quorrin_test(present_figure_anim_tests
  LABELS present-figures
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/figure_anim_state_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/figure_animation_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/figure_attach_test.cpp
  DEPS client_present)
