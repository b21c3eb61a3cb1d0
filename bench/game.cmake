# The whole game loop of screen 1 on the sample arena with a scripted walk, and in the same run the
# 2D present alone and the world view alone.
if(TARGET test_support)
  quorrin_bench(bench_game SOURCES ${CMAKE_CURRENT_LIST_DIR}/game_bench.cpp
    DEPS client_present client tools_writers test_support)
  target_link_libraries(bench_game PRIVATE client_present)
  target_compile_definitions(bench_game PRIVATE SAMPLE_INSTALL_DIR="${QUORRIN_INSTALL_DIR}")
endif()
