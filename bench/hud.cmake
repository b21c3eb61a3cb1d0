# The lobby's and the HUD's text pages, each against FillRect16 of the area it covers.
quorrin_bench(bench_hud SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_hud.cpp DEPS client tools_writers)
