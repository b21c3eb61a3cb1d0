# The software 3D device's fill rate (it borrows the test helper's device set-up, so it is there
# with the tests).
if(TARGET test_support)
  quorrin_bench(bench_raster SOURCES ${CMAKE_CURRENT_LIST_DIR}/raster_bench.cpp DEPS platform common test_support)
endif()
