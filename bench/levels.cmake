if(TARGET test_support)
  quorrin_bench(bench_level SOURCES ${CMAKE_CURRENT_LIST_DIR}/level_bench.cpp DEPS client tools_writers test_support)
endif()
