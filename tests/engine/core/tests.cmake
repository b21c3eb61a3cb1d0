quorrin_test(engine_core_tests
  LABELS engine-core
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/sg_object_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sg_stream_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sg_math_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sg_containers_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sg_property_test.cpp
  DEPS engine_test_support engine_core)
target_compile_definitions(engine_core_tests PRIVATE SGF_REGRESSION_DIR="${CMAKE_CURRENT_LIST_DIR}/sgf_regressions")

# Links engine_core without naming any of its classes.
quorrin_test(engine_core_link_tests
  LABELS engine-core
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/sg_link_test.cpp
  DEPS engine_core)
