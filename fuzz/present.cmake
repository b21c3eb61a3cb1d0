# The arena presentation's readers of level data: the grid window and portal.dat.
if(TARGET test_support)
  quorrin_fuzz(world_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/world_fuzz.cpp DEPS client_present test_support)
endif()
