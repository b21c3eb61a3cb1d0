quorrin_test(engine_animation_tests
  LABELS animation engine-hostile
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/field_stream.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sg_animation_timing_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sg_key_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sg_position_key_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sg_rotation_key_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sg_float_key_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sg_3ds_animation_node_test.cpp
  DEPS engine_test_support engine_animation)

# The animated sample model of the installation, played to the recording renderer.
quorrin_test(engine_animation_model_tests
  LABELS animation
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/animated_model_test.cpp
  DEPS engine_test_support engine_animation tools_writers)
target_compile_definitions(engine_animation_model_tests PRIVATE SAMPLE_INSTALL_DIR="${QUORRIN_INSTALL_DIR}")
add_dependencies(engine_animation_model_tests sample_install)

# Continuous level of detail and skinning.
quorrin_test(engine_animation_lod_tests
  LABELS animation-lod engine-hostile
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/clod_oracle_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sg_clod_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sg_skin_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/lod_stream_cases_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/clod_figure_test.cpp
  DEPS engine_test_support engine_animation tools_writers test_support)
target_compile_definitions(engine_animation_lod_tests PRIVATE CLOD_SEED_DIR="${PROJECT_SOURCE_DIR}/fuzz/seeds/clod_fuzz")
target_compile_definitions(engine_animation_lod_tests PRIVATE SAMPLE_INSTALL_DIR="${QUORRIN_INSTALL_DIR}")
add_dependencies(engine_animation_lod_tests sample_install)
