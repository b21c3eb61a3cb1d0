quorrin_fuzz(sgf_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/sgf_fuzz.cpp DEPS engine_core engine_animation)
