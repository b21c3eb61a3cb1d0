# Keyed animation: evaluating a figure's keyed nodes and bone chain every frame.
quorrin_bench(bench_animation SOURCES ${CMAKE_CURRENT_LIST_DIR}/animation_bench.cpp DEPS engine_animation)
