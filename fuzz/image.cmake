# Image files (BMP, TGA, SGI and sgf raw images) come from the installation and from models.
quorrin_fuzz(image_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/image_fuzz.cpp DEPS engine_core)
