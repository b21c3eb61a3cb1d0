# Fonts come from the installation: a PCX font's column scan and its drawing.
quorrin_fuzz(font_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/font_fuzz.cpp DEPS client)
