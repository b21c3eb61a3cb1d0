# Shared helpers of the engine's test programs: the streamable-class table test.
add_library(engine_test_support STATIC ${CMAKE_CURRENT_LIST_DIR}/sg_stream_cases.cpp)
target_include_directories(engine_test_support PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(engine_test_support PUBLIC engine_geometry GTest::gtest)
target_compile_definitions(engine_test_support PRIVATE SGF_SEED_DIR="${PROJECT_SOURCE_DIR}/fuzz/seeds/sgf_fuzz")
