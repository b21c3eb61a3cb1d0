# The whole arena frame over the sample installation (it borrows the test helpers' headless
# window and the screen demos' start).
if(TARGET test_support)
  quorrin_bench(bench_arena_frame SOURCES ${CMAKE_CURRENT_LIST_DIR}/arena_frame_bench.cpp
    ${PROJECT_SOURCE_DIR}/tests/client/screens/demo_screen.cpp
    DEPS client_present client tools_writers test_support)
  target_link_libraries(bench_arena_frame PRIVATE client_present)
  target_compile_definitions(bench_arena_frame PRIVATE SAMPLE_INSTALL_DIR="${QUORRIN_INSTALL_DIR}")
endif()
