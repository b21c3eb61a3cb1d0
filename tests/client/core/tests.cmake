# Level packs, PCX pictures and the spell files.
quorrin_test(datafiles_core_tests
  LABELS datafiles foundations-hostile
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/pack_file_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/game_file_bytes_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/pcx_image_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../arena/spell_files_test.cpp
  DEPS client tools_writers)
target_compile_definitions(datafiles_core_tests PRIVATE SAMPLE_INSTALL_DIR="${QUORRIN_INSTALL_DIR}")
add_dependencies(datafiles_core_tests sample_install)

# Sound and music: the front end and the sample layer over the silent backend.
quorrin_test(client_sound_tests
  LABELS sound
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/sound_test.cpp
  DEPS client platform tools_writers common)
target_compile_definitions(client_sound_tests PRIVATE
  SOUNDCHECK_PROGRAM="$<TARGET_FILE:soundcheck>"
  SAMPLE_INSTALL_DIR="${QUORRIN_INSTALL_DIR}")
add_dependencies(client_sound_tests soundcheck sample_install)
