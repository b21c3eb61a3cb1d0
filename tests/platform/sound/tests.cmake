# The sample library: WAV reading, the mixer, and the library calls with the silent backend.
quorrin_test(sound_library_tests
  LABELS sound
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/wav_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/mixer_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ail_test.cpp
  DEPS platform tools_writers common)
