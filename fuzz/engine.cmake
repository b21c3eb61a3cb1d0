quorrin_fuzz(sgf_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/sgf_fuzz.cpp DEPS engine_geometry engine_animation engine_portal)
