# The update utility and the platform pieces it stands on (HTTP, dialog, programs, file
# operations), tested against a loopback HTTP server.
quorrin_test(updater_tests
  LABELS updater foundations-hostile
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/adler32_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/file_list_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/inet_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dialog_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/file_ops_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/update_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/spell_program_test.cpp
  DEPS updater_lib)
target_compile_definitions(updater_tests PRIVATE
  SPELL_PROGRAM="$<TARGET_FILE:spell>"
  GAME_PROGRAM="$<TARGET_FILE:game>"
  SAMPLE_INSTALL_DIR="${QUORRIN_INSTALL_DIR}")
add_dependencies(updater_tests spell game sample_install)

# update_server: a standalone update server over directories of files, for trying spell by hand
# (see the README).
add_executable(update_server ${CMAKE_CURRENT_LIST_DIR}/update_server_main.cpp)
target_link_libraries(update_server PRIVATE test_support)
