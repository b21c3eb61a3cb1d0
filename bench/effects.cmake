# Particle systems: a steady 1,000-particle spray with the full mix beside its bare step, and a
# small spray.
quorrin_bench(bench_effects SOURCES ${CMAKE_CURRENT_LIST_DIR}/effects_bench.cpp DEPS engine_animation)
