# The game's start-up to its first menu frame (the whole program in process, splash keys removed).
quorrin_bench(bench_game_startup SOURCES ${CMAKE_CURRENT_LIST_DIR}/game_startup_bench.cpp DEPS game_entry)
target_compile_definitions(bench_game_startup PRIVATE SAMPLE_INSTALL_DIR="${QUORRIN_INSTALL_DIR}")
add_dependencies(bench_game_startup sample_install)
