quorrin_bench(bench_engine_state SOURCES ${CMAKE_CURRENT_LIST_DIR}/engine_state_bench.cpp
  DEPS engine_core tools_writers test_support)
