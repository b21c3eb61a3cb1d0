# The renderer's palette files (a raw 768-byte palette or an 8-bit BMP).
quorrin_fuzz(palette_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/palette_fuzz.cpp DEPS engine_render)
