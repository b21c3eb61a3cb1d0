if(TARGET test_support)
  quorrin_bench(bench_arena_player SOURCES ${CMAKE_CURRENT_LIST_DIR}/arena_player_bench.cpp
    DEPS client tools_writers test_support)
endif()
