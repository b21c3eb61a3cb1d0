# The scene graph's per-frame walk (update, culling, state and draw hand-over), welding, picking
# and loading the sample model. The frame borrows the test helper's recording renderer.
if(TARGET test_support)
  quorrin_bench(bench_engine_scene SOURCES ${CMAKE_CURRENT_LIST_DIR}/engine_scene_bench.cpp
    DEPS engine_geometry tools_writers test_support)
endif()
