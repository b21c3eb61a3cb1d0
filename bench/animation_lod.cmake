# Skinning and continuous level of detail: skinned transforms per frame, level steps, set-up.
quorrin_bench(bench_skin SOURCES ${CMAKE_CURRENT_LIST_DIR}/skin_bench.cpp DEPS engine_animation tools_writers)
quorrin_bench(bench_clod SOURCES ${CMAKE_CURRENT_LIST_DIR}/clod_bench.cpp DEPS engine_animation tools_writers)
