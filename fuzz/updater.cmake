quorrin_fuzz(filelist_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/filelist_fuzz.cpp DEPS updater_lib)
