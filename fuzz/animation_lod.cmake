quorrin_fuzz(clod_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/clod_fuzz.cpp DEPS engine_animation)
