# The 2D screen: fills, blits and text against the bare memory operations.
quorrin_bench(bench_screen SOURCES ${CMAKE_CURRENT_LIST_DIR}/screen_bench.cpp DEPS client tools_writers)
