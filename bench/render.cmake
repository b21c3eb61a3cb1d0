# The whole renderer on the arena of the sample installation: frames per second with the
# device's share split off, and the transform-and-lighting rate (it borrows the test helper's
# headless window).
if(TARGET test_support)
  quorrin_bench(bench_render_frame SOURCES ${CMAKE_CURRENT_LIST_DIR}/render_frame_bench.cpp
    DEPS engine_render tools_writers test_support)
endif()
