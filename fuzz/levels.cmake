# The level files and the installation's definition files.
if(TARGET test_support)
  quorrin_fuzz(level_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/level_fuzz.cpp DEPS client test_support)
endif()
quorrin_fuzz(defs_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/defs_fuzz.cpp DEPS client)
