quorrin_bench(bench_dispatch SOURCES ${CMAKE_CURRENT_LIST_DIR}/dispatch_bench.cpp DEPS platform)
