# The local player's movement against any level near him.
if(TARGET test_support)
  quorrin_fuzz(player_move_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/player_move_fuzz.cpp DEPS client test_support)
endif()
