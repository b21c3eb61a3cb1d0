quorrin_bench(bench_sound SOURCES ${CMAKE_CURRENT_LIST_DIR}/sound_bench.cpp DEPS platform tools_writers)
