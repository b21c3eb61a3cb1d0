# Palettes and colour tables.
quorrin_test(datafiles_screens_tests
  LABELS datafiles
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/color_tables_test.cpp
  DEPS client tools_writers)
target_compile_definitions(datafiles_screens_tests PRIVATE SAMPLE_INSTALL_DIR="${QUORRIN_INSTALL_DIR}")
add_dependencies(datafiles_screens_tests sample_install)

# Screens I: the presentation services and their double, the sine tables, the screen surface,
# fonts, window system, input and key bindings.
quorrin_test(screens_core_tests
  LABELS screens-core player-view
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/../present/present_services_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../core/trig_tables_test.cpp
  DEPS client_present client tools_writers)
target_sources(screens_core_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/screen_fixture.cpp
  ${CMAKE_CURRENT_LIST_DIR}/screen_surface_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/fonts_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/gws_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/input_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/key_bindings_test.cpp)
target_compile_definitions(screens_core_tests PRIVATE SCREENS_GOLDEN_DIR="${CMAKE_CURRENT_LIST_DIR}/golden")

# The keyboard screen in the game's window, from the sample installation.
add_executable(screens_demo ${CMAKE_CURRENT_LIST_DIR}/screens_demo.cpp ${CMAKE_CURRENT_LIST_DIR}/demo_screen.cpp)
target_link_libraries(screens_demo PRIVATE client_present client test_support)
target_compile_definitions(screens_demo PRIVATE SAMPLE_INSTALL_DIR="${QUORRIN_INSTALL_DIR}")
add_dependencies(screens_demo sample_install)
add_test(NAME screens_demo_headless
  COMMAND ${CMAKE_COMMAND} -DDEMO=$<TARGET_FILE:screens_demo> -DINSTALL=${QUORRIN_INSTALL_DIR}
          -DWORK=${CMAKE_CURRENT_BINARY_DIR}/screens_demo_install -DSCRIPT=${CMAKE_CURRENT_LIST_DIR}/screens_demo_input.txt
          -P ${CMAKE_CURRENT_LIST_DIR}/screens_demo_run.cmake)
set_tests_properties(screens_demo_headless PROPERTIES LABELS screens-core)

# Screens II: the menus, char.bin and the character screen.
quorrin_test(screens_menus_tests
  LABELS screens-menus net-link
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/character_file_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/stored_account_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/menu_list_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/character_rules_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/main_menu_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/character_screen_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/screen_files_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/online_menus_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/rotating_image_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/screen_fixture.cpp
  DEPS client_present client tools_writers)
target_compile_definitions(screens_menus_tests PRIVATE SCREENS_GOLDEN_DIR="${CMAKE_CURRENT_LIST_DIR}/golden")

# The main menu in the game's window, from the sample installation.
add_executable(menus_demo ${CMAKE_CURRENT_LIST_DIR}/menus_demo.cpp ${CMAKE_CURRENT_LIST_DIR}/demo_screen.cpp)
target_link_libraries(menus_demo PRIVATE client_present client test_support)
target_compile_definitions(menus_demo PRIVATE SAMPLE_INSTALL_DIR="${QUORRIN_INSTALL_DIR}")
add_dependencies(menus_demo sample_install)
add_test(NAME menus_demo_headless
  COMMAND ${CMAKE_COMMAND} -DDEMO=$<TARGET_FILE:menus_demo> -DINSTALL=${QUORRIN_INSTALL_DIR}
          -DWORK=${CMAKE_CURRENT_BINARY_DIR}/menus_demo_install -DSCRIPT=${CMAKE_CURRENT_LIST_DIR}/menus_demo_input.txt
          -P ${CMAKE_CURRENT_LIST_DIR}/menus_demo_run.cmake)
set_tests_properties(menus_demo_headless PROPERTIES LABELS screens-menus)

# Screens II: the Tavern.
quorrin_test(screens_lobby_tests
  LABELS screens-lobby
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/tavern_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/screen_fixture.cpp
  DEPS client_present client tools_writers)
target_compile_definitions(screens_lobby_tests PRIVATE SCREENS_GOLDEN_DIR="${CMAKE_CURRENT_LIST_DIR}/golden"
  SAMPLE_INSTALL_DIR="${QUORRIN_INSTALL_DIR}")
add_dependencies(screens_lobby_tests sample_install)

# The Tavern in the game's window against the scripted service's lobby.
add_executable(lobby_demo ${CMAKE_CURRENT_LIST_DIR}/lobby_demo.cpp ${CMAKE_CURRENT_LIST_DIR}/demo_screen.cpp)
target_link_libraries(lobby_demo PRIVATE client_present client test_support)
target_compile_definitions(lobby_demo PRIVATE SAMPLE_INSTALL_DIR="${QUORRIN_INSTALL_DIR}")
add_dependencies(lobby_demo sample_install)
add_test(NAME lobby_demo_headless
  COMMAND ${CMAKE_COMMAND} -DDEMO=$<TARGET_FILE:lobby_demo> -DINSTALL=${QUORRIN_INSTALL_DIR}
          -DWORK=${CMAKE_CURRENT_BINARY_DIR}/lobby_demo_install -DSCRIPT=${CMAKE_CURRENT_LIST_DIR}/lobby_demo_input.txt
          -P ${CMAKE_CURRENT_LIST_DIR}/lobby_demo_run.cmake)
set_tests_properties(lobby_demo_headless PROPERTIES LABELS screens-lobby)

# Screens II (lobby and chat): the console, chat line and commands, HUD texts, pages and scores.
quorrin_test(screens_text_tests
  LABELS screens-lobby
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/chat_buffer_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/console_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/hud_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/score_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/chat_service_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/screen_fixture.cpp
  DEPS client_present client tools_writers)
target_compile_definitions(screens_text_tests PRIVATE SCREENS_GOLDEN_DIR="${CMAKE_CURRENT_LIST_DIR}/golden")
