# Particle systems: a steady 1,000-particle spray with the full mix beside its bare step, and a
# small spray; the first frames of hostile systems and of the worst model seed.
quorrin_bench(bench_effects SOURCES ${CMAKE_CURRENT_LIST_DIR}/effects_bench.cpp DEPS engine_animation)
target_compile_definitions(bench_effects PRIVATE SGF_SEED_DIR="${PROJECT_SOURCE_DIR}/fuzz/seeds/sgf_fuzz")
