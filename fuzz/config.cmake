quorrin_fuzz(config_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/config_fuzz.cpp DEPS client)
quorrin_fuzz(config_write_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/config_write_fuzz.cpp DEPS client)
