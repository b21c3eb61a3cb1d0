quorrin_fuzz(config_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/config_fuzz.cpp DEPS client)
