# The HUD's per-frame update (panels, player list, map tiles, bars) on a full map: mean and worst
# microseconds a frame (it borrows the test helpers' recording images and display set-up).
if(TARGET test_support)
  quorrin_bench(bench_present_hud SOURCES ${CMAKE_CURRENT_LIST_DIR}/present_hud_bench.cpp
    DEPS client_present tools_writers test_support)
  target_link_libraries(bench_present_hud PRIVATE client_present)
endif()
