# Fonts come from the installation: a PCX font's column scan and its drawing.
quorrin_fuzz(font_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/font_fuzz.cpp DEPS client)
# char.bin is the user's own file, written by any earlier build or by hand.
quorrin_fuzz(char_file_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/char_file_fuzz.cpp DEPS client)
