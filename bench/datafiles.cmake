quorrin_bench(bench_pack SOURCES ${CMAKE_CURRENT_LIST_DIR}/pack_bench.cpp DEPS client tools_writers)
