# Model effects: particle forces and colliders, particle systems, path controllers, morph shapes,
# property and light animators.
quorrin_test(engine_effects_tests
  LABELS animation-effects engine-hostile
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/sg_force_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sg_particle_system_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sg_path_controller_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sg_morph_shape_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sg_animators_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sg_effects_stream_test.cpp
    ${PROJECT_SOURCE_DIR}/tests/engine/animation/field_stream.cpp
  DEPS engine_test_support engine_animation)

# The effects sample model of the installation, played to the recording renderer.
quorrin_test(engine_effects_model_tests
  LABELS animation-effects
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/effects_model_test.cpp
  DEPS engine_test_support engine_animation tools_writers)
target_compile_definitions(engine_effects_model_tests PRIVATE SAMPLE_INSTALL_DIR="${QUORRIN_INSTALL_DIR}")
add_dependencies(engine_effects_model_tests sample_install)
