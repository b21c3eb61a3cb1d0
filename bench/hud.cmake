# The lobby's and the HUD's text pages, each against FillRect16 of the area it covers.
if(TARGET test_support)
  quorrin_bench(bench_hud SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_hud.cpp ${CMAKE_CURRENT_LIST_DIR}/hud_bench.cpp
    DEPS client tools_writers test_support)
endif()
