quorrin_test(engine_portal_tests
  LABELS renderer-textures engine-hostile
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/sg_portal_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sg_portal_stream_test.cpp
  DEPS engine_test_support engine_portal tools_writers)
