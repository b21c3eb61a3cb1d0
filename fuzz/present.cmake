# The arena presentation's readers of level data: the grid window and portal.dat.
if(TARGET test_support)
  quorrin_fuzz(world_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/world_fuzz.cpp DEPS client_present test_support)
  # The world fixture in test_support calls back into the presentation.
  foreach(t world_fuzz world_fuzz_replay)
    if(TARGET ${t})
      target_link_libraries(${t} PRIVATE client_present)
    endif()
  endforeach()
endif()

# Figure templates from model files: loaded, folded, cloned into figures, placed and removed.
quorrin_fuzz(figure_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/figure_fuzz.cpp DEPS client_present)
