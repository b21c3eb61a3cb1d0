quorrin_bench(bench_sgf SOURCES ${CMAKE_CURRENT_LIST_DIR}/sgf_bench.cpp DEPS engine_core)
