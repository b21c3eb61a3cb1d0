quorrin_fuzz(wav_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/wav_fuzz.cpp DEPS platform)
