quorrin_bench(bench_raster SOURCES ${CMAKE_CURRENT_LIST_DIR}/raster_bench.cpp DEPS platform common)
