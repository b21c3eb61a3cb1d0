# The client tables and the Tavern state as the service's messages may leave them, through every
# Tavern page and the Tavern's input, then chat text through the console, the chat line, the
# in-game pages and the score screens.
if(TARGET test_support)
  quorrin_fuzz(tables_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/tables_fuzz.cpp DEPS client tools_writers test_support)
endif()
