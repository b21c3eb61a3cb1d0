# Figures: building a player figure from its template (and the per-frame figure work).
if(TARGET test_support)
  quorrin_bench(bench_figures SOURCES ${CMAKE_CURRENT_LIST_DIR}/figures_bench.cpp
    DEPS client_present tools_writers test_support)
  # The world fixture in test_support calls back into the presentation.
  target_link_libraries(bench_figures PRIVATE client_present)
endif()
