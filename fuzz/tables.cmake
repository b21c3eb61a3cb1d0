# The client tables and the Tavern state as the service's messages may leave them, through every
# Tavern page and the Tavern's input.
quorrin_fuzz(tables_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/tables_fuzz.cpp DEPS client tools_writers)
