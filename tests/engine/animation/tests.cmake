quorrin_test(engine_animation_tests
  LABELS animation
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/field_stream.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sg_animation_timing_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sg_key_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sg_position_key_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sg_rotation_key_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sg_float_key_test.cpp
  DEPS engine_test_support engine_animation)
