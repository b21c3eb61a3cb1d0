quorrin_bench(bench_net SOURCES ${CMAKE_CURRENT_LIST_DIR}/net_bench.cpp DEPS client)
