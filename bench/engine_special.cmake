quorrin_bench(bench_collision SOURCES ${CMAKE_CURRENT_LIST_DIR}/collision_bench.cpp DEPS engine_geometry)
