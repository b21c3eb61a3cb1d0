if(TARGET test_support)
  quorrin_bench(bench_arena SOURCES ${CMAKE_CURRENT_LIST_DIR}/arena_bench.cpp
    DEPS client tools_writers test_support client)
endif()
