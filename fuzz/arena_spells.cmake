# Spell records of every class cast by the player and by monsters, then frames of the simulation.
if(TARGET test_support)
  quorrin_fuzz(spell_sim_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/spell_sim_fuzz.cpp DEPS client test_support client)
endif()
