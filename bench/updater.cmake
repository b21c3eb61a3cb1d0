# The update utility: a full file list parsed against an installation, and a large file fetched
# over loopback, inflated and put in place. The download needs the test server of tests/support.
if(TARGET test_support)
  quorrin_bench(bench_updater SOURCES ${CMAKE_CURRENT_LIST_DIR}/updater_bench.cpp DEPS updater_lib test_support)
endif()
