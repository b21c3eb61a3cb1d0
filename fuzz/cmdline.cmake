quorrin_fuzz(cmdline_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/cmdline_fuzz.cpp DEPS client)
